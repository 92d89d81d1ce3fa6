#include "publisher.h"

#include "publish/pagenames.h"
#include "publish/sitefolder.h"
#include "publish/sitepages.h"

#include <map>

namespace publish {

PublishReport publishSite(Connection& connection, const QString& folder, const SiteOptions& options,
                          const Progress& progress)
{
    const auto step = [&](int done, int total) {
        if (progress)
            progress(done, total);
    };
    // The folder is checked first: a wrong name must not wait for the queries.
    SiteFolder site(folder);
    step(0, 1);
    const Site data = readSite(connection, options);

    std::map<int, std::vector<int>> tracks;
    for (std::size_t b = 0; b < data.boards.size(); ++b)
        tracks[data.boards[b].trackId].push_back(int(b));
    PublishReport report;
    report.tracks = int(tracks.size());
    for (const Driver& driver : data.drivers)
        report.drivers += driver.hasPage ? 1 : 0;
    const int total = 3 + report.tracks + report.drivers;
    int done = 0;

    site.write(QStringLiteral("style.css"), styleSheet());
    site.write(QStringLiteral("index.html"), indexPage(data));
    site.write(QStringLiteral("weeks.html"), weeksPage(data));
    step(done += 3, total);
    for (const auto& [trackId, boards] : tracks) {
        site.write(pagenames::trackPage(trackId), trackPage(data, boards));
        step(++done, total);
    }
    for (std::size_t d = 0; d < data.drivers.size(); ++d) {
        if (!data.drivers[d].hasPage)
            continue;
        site.write(data.drivers[d].page, driverPage(data, int(d)));
        step(++done, total);
    }
    site.commit();
    report.pages = 2 + report.tracks + report.drivers;
    return report;
}

} // namespace publish
