#include "publish/publisher.h"

#include "publish/pagenames.h"
#include "publish/sitefolder.h"
#include "publish/sitepages.h"

#include <algorithm>
#include <atomic>
#include <exception>
#include <map>
#include <mutex>
#include <system_error>
#include <thread>
#include <vector>

namespace publish {

namespace {

struct Page {
    QString name;
    std::function<QByteArray()> make;
};

// The pages are made and written on every core: a club of thousands of drivers has as many
// pages, which otherwise take as long as reading the database. The calling thread takes pages
// too and tells the progress after each of its own, so a window's progress bar is only ever
// touched from the window's thread. The first failure stops the rest and is thrown here.
void writePages(SiteFolder& site, const std::vector<Page>& pages, const std::function<void(int written)>& progress)
{
    std::atomic<std::size_t> next = 0;
    std::atomic<int> written = 0;
    std::atomic<bool> failed = false;
    std::mutex failureMutex;
    std::exception_ptr failure;
    const auto work = [&](bool tells) {
        for (std::size_t i; !failed && (i = next++) < pages.size();) {
            // A failing progress report counts as a failure too: the helpers must be joined.
            try {
                site.write(pages[i].name, pages[i].make());
                ++written;
                if (tells)
                    progress(written);
            } catch (...) {
                const std::lock_guard lock(failureMutex);
                if (!failure)
                    failure = std::current_exception();
                failed = true;
                return;
            }
        }
    };
    std::vector<std::thread> helpers;
    const unsigned cores = std::max(1u, std::thread::hardware_concurrency());
    try {
        for (unsigned h = 1; h < cores && h < pages.size(); ++h)
            helpers.emplace_back(work, false);
    } catch (const std::system_error&) {
        // No thread to be had: the pages are made by those that started and this one.
    }
    work(true);
    for (std::thread& helper : helpers)
        helper.join();
    if (failure)
        std::rethrow_exception(failure);
    progress(written);
}

} // namespace

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

    std::vector<Page> pages{
        {QStringLiteral("style.css"), [] { return styleSheet(); }},
        {QStringLiteral("index.html"), [&] { return indexPage(data); }},
        {QStringLiteral("weeks.html"), [&] { return weeksPage(data); }},
    };
    for (const auto& [trackId, boards] : tracks)
        pages.push_back({pagenames::trackPage(trackId), [&data, &boards = boards] { return trackPage(data, boards); }});
    for (std::size_t d = 0; d < data.drivers.size(); ++d) {
        if (data.drivers[d].hasPage)
            pages.push_back({data.drivers[d].page, [&data, d] { return driverPage(data, int(d)); }});
    }
    const int total = int(pages.size());
    writePages(site, pages, [&](int written) { step(written, total); });
    site.commit();
    report.pages = 2 + report.tracks + report.drivers;
    return report;
}

} // namespace publish
