#include "publish/sitepages.h"

#include "publish/laptime.h"
#include "publish/pagenames.h"
#include "publish/svgchart.h"

#include <QDate>

#include <algorithm>

namespace publish {

namespace {

QString esc(const QString& text)
{
    return text.toHtmlEscaped();
}

QString raceType(bool multiplayer)
{
    return multiplayer ? QStringLiteral("MP") : QStringLiteral("SP");
}

QString raceTypeName(bool multiplayer)
{
    return multiplayer ? QStringLiteral("Multiplayer") : QStringLiteral("Single player");
}

QString link(const QString& href, const QString& text)
{
    return QStringLiteral("<a href=\"%1\">%2</a>").arg(href, esc(text));
}

QString driverLink(const Site& site, int driver)
{
    if (driver < 0)
        return {};
    const Driver& d = site.drivers[driver];
    return d.hasPage ? link(d.page, d.name) : esc(d.name);
}

QString driverLinkByName(const Site& site, const QString& name)
{
    const int index = site.driverIndex(name);
    return index >= 0 ? driverLink(site, index) : esc(name);
}

QString trackLink(const Site& site, int trackId)
{
    return link(pagenames::trackPage(trackId), site.trackName(trackId));
}

// A track whose results hold no time has no page: its name stays plain text.
QString trackLinkIfAny(const Site& site, int trackId)
{
    const bool hasPage = std::any_of(site.boards.begin(), site.boards.end(),
                                     [&](const Board& board) { return board.trackId == trackId; });
    return hasPage ? trackLink(site, trackId) : esc(site.trackName(trackId));
}

// A table that may be wider than a phone scrolls inside its own box, never the page.
QString table(const QString& caption, const QStringList& headers, const QString& rows)
{
    QString head;
    for (const QString& header : headers)
        head += QStringLiteral("<th scope=\"col\">%1</th>").arg(esc(header));
    return QStringLiteral("<div class=\"wide\" tabindex=\"0\"><table>\n<caption>%1</caption>\n<thead><tr>%2</tr></thead>\n"
                          "<tbody>\n%3</tbody>\n</table></div>\n")
        .arg(esc(caption), head, rows);
}

QString cell(const QString& html, const QString& cssClass = {})
{
    return cssClass.isEmpty() ? QStringLiteral("<td>%1</td>").arg(html)
                              : QStringLiteral("<td class=\"%1\">%2</td>").arg(cssClass, html);
}

QString rowHeader(const QString& html)
{
    return QStringLiteral("<th scope=\"row\">%1</th>").arg(html);
}

// The newest day as "9 July 2011" (Qt names months in English whatever the machine's locale).
QString newestDay(const Site& site)
{
    const QDate day = QDate::fromString(site.newestDay, Qt::ISODate);
    return QStringLiteral("<time datetime=\"%1\">%2</time>")
        .arg(site.newestDay, day.toString(QStringLiteral("d MMMM yyyy")));
}

// description: what the page holds in a sentence or two of plain text, for search engines and
// for the preview a chat or a social site shows of a link.
QByteArray page(const Site& site, const QString& heading, const QString& description, const QString& body)
{
    const QString title = heading == site.options.title ? esc(heading) : esc(heading) + QStringLiteral(" – ") + esc(site.options.title);
    // The day of the data keeps a rerun on unchanged data byte-identical; the run's time only on request.
    QString footer;
    if (!site.newestDay.isEmpty())
        footer += QStringLiteral("<p>Results up to %1.</p>").arg(newestDay(site));
    if (!site.options.stamp.isEmpty())
        footer += QStringLiteral("<p>Made %1.</p>").arg(esc(site.options.stamp));
    // data: as the icon keeps a browser from asking the folder or the server for favicon.ico.
    return QStringLiteral(
               "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n"
               "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">\n"
               "<meta name=\"color-scheme\" content=\"light dark\">\n<title>%1</title>\n"
               "<meta name=\"description\" content=\"%6\">\n<meta property=\"og:type\" content=\"website\">\n"
               "<meta property=\"og:site_name\" content=\"%2\">\n<meta property=\"og:title\" content=\"%1\">\n"
               "<meta property=\"og:description\" content=\"%6\">\n"
               "<link rel=\"icon\" href=\"data:,\">\n<link rel=\"stylesheet\" href=\"style.css\">\n</head>\n<body>\n"
               "<header><nav aria-label=\"Site\"><a href=\"index.html\">%2</a> <a href=\"weeks.html\">Weekly bests</a>"
               "</nav></header>\n<main>\n<h1>%3</h1>\n%4</main>\n<footer>%5</footer>\n</body>\n</html>\n")
        .arg(title, esc(site.options.title), esc(heading), body, footer, esc(description))
        .toUtf8();
}

// " with results up to 9 July 2011" as plain text, for the descriptions.
QString upTo(const Site& site)
{
    const QDate day = QDate::fromString(site.newestDay, Qt::ISODate);
    return day.isValid() ? QStringLiteral(", with results up to ") + day.toString(QStringLiteral("d MMMM yyyy")) : QString();
}

QString recordsTable(const Site& site)
{
    QString rows;
    for (const Board& board : site.boards) {
        if (board.standings.empty())
            continue;
        rows += QStringLiteral("<tr>") + rowHeader(trackLink(site, board.trackId)) + cell(raceType(board.multiplayer))
              + cell(lapTime(board.standings.front().best), QStringLiteral("num"))
              + cell(driverLink(site, board.recordHolder)) + cell(esc(board.recordCar)) + cell(esc(board.recordDate))
              + QStringLiteral("</tr>\n");
    }
    return table(QStringLiteral("The record of every track and race type"),
                 {QStringLiteral("Track"), QStringLiteral("Race"), QStringLiteral("Best time"), QStringLiteral("Driver"),
                  QStringLiteral("Car"), QStringLiteral("Date")},
                 rows);
}

QString standingsTable(const Site& site)
{
    QString rows;
    int place = 0;
    for (const int index : site.standings) {
        const Driver& driver = site.drivers[index];
        rows += QStringLiteral("<tr>") + cell(QString::number(++place), QStringLiteral("num"))
              + rowHeader(driverLink(site, index)) + cell(QString::number(driver.records), QStringLiteral("num"))
              + cell(QString::number(driver.boards.size()), QStringLiteral("num"))
              + cell(QString::number(driver.results), QStringLiteral("num")) + QStringLiteral("</tr>\n");
    }
    return table(QStringLiteral("Drivers by records held"),
                 {QStringLiteral("Place"), QStringLiteral("Driver"), QStringLiteral("Records"), QStringLiteral("Tracks"),
                  QStringLiteral("Results")},
                 rows);
}

QString latestTable(const Site& site)
{
    QString rows;
    for (const LatestResult& result : site.latest) {
        rows += QStringLiteral("<tr>") + cell(esc(result.date)) + rowHeader(driverLinkByName(site, result.driver))
              + cell(trackLinkIfAny(site, result.trackId)) + cell(raceType(result.multiplayer))
              + cell(esc(lapTimeText(result.besttime)), QStringLiteral("num")) + cell(esc(result.car)) + QStringLiteral("</tr>\n");
    }
    return table(QStringLiteral("The latest results imported, newest first"),
                 {QStringLiteral("Date"), QStringLiteral("Driver"), QStringLiteral("Track"), QStringLiteral("Race"),
                  QStringLiteral("Time"), QStringLiteral("Car")},
                 rows);
}

QString linkList(const QStringList& links)
{
    QString items;
    for (const QString& item : links)
        items += QStringLiteral("<li>%1</li>").arg(item);
    return QStringLiteral("<ul class=\"links\">%1</ul>\n").arg(items);
}

QString gap(const Standing& standing, double leader)
{
    return standing.rank == 1 ? QStringLiteral("–") : QStringLiteral("+") + lapTime(standing.best - leader);
}

} // namespace

QByteArray indexPage(const Site& site)
{
    QStringList tracks;
    int lastTrack = 0;
    for (std::size_t b = 0; b < site.boards.size(); ++b) {
        if (b == 0 || site.boards[b].trackId != lastTrack)
            tracks.append(trackLink(site, site.boards[b].trackId));
        lastTrack = site.boards[b].trackId;
    }
    QStringList drivers;
    for (std::size_t d = 0; d < site.drivers.size(); ++d) {
        if (site.drivers[d].hasPage)
            drivers.append(driverLink(site, int(d)));
    }
    // What the site is and how current, in its first sentence: without --stamp nothing else says so.
    const QString what = QStringLiteral("The lap records and standings of %1: %2 drivers on %3 tracks")
                             .arg(site.options.title)
                             .arg(site.drivers.size())
                             .arg(tracks.size());
    QString about = esc(what);
    if (!site.newestDay.isEmpty())
        about += QStringLiteral(", with results up to ") + newestDay(site);
    const QString body = QStringLiteral("<p class=\"about\">%1.</p>\n").arg(about)
                       + QStringLiteral("<section>\n<h2>Track records</h2>\n") + recordsTable(site)
                       + QStringLiteral("</section>\n<section>\n<h2>Standings</h2>\n") + standingsTable(site)
                       + QStringLiteral("</section>\n<section>\n<h2>Latest results</h2>\n") + latestTable(site)
                       + QStringLiteral("</section>\n<section>\n<h2>Tracks</h2>\n") + linkList(tracks)
                       + QStringLiteral("</section>\n<section>\n<h2>Drivers</h2>\n") + linkList(drivers)
                       + QStringLiteral("</section>\n");
    return page(site, site.options.title, what + upTo(site) + QLatin1Char('.'), body);
}

QByteArray trackPage(const Site& site, const std::vector<int>& boards)
{
    const QString name = site.trackName(site.boards[boards.front()].trackId);
    QString body;
    for (const int b : boards) {
        const Board& board = site.boards[b];
        const double leader = board.standings.front().best;
        QString rows;
        for (const Standing& standing : board.standings) {
            rows += QStringLiteral("<tr>") + cell(QString::number(standing.rank), QStringLiteral("num rank"))
                  + rowHeader(driverLink(site, standing.driver)) + cell(lapTime(standing.best), QStringLiteral("num best"))
                  + cell(gap(standing, leader), QStringLiteral("num gap"))
                  + cell(QString::number(standing.results), QStringLiteral("num results")) + cell(esc(standing.car), QStringLiteral("car"))
                  + cell(esc(standing.date), QStringLiteral("date")) + QStringLiteral("</tr>\n");
        }
        const QString type = raceTypeName(board.multiplayer);
        body += QStringLiteral("<section class=\"board %1\">\n<h2>%2</h2>\n").arg(raceType(board.multiplayer), type)
              + table(name + QStringLiteral(", ") + type.toLower() + QStringLiteral(": each driver's best"),
                      {QStringLiteral("Rank"), QStringLiteral("Driver"), QStringLiteral("Best time"), QStringLiteral("Gap"),
                       QStringLiteral("Results"), QStringLiteral("Car"), QStringLiteral("Date")},
                      rows)
              + weeklyChart(board.chart, name + QStringLiteral(", ") + type.toLower() + QStringLiteral(": the leaders' best per week"),
                            QStringLiteral("chart-") + raceType(board.multiplayer))
              + QStringLiteral("</section>\n");
    }
    QStringList types;
    for (const int b : boards)
        types.append(raceTypeName(site.boards[b].multiplayer).toLower());
    return page(site, name,
                name + QStringLiteral(" on ") + site.options.title + QStringLiteral(": each driver's best lap, ")
                    + types.join(QStringLiteral(" and ")) + QStringLiteral(", with rank, gap, car and date") + upTo(site)
                    + QLatin1Char('.'),
                body);
}

QByteArray driverPage(const Site& site, int index)
{
    const Driver& driver = site.drivers[index];
    QString rows;
    for (const auto& [b, s] : driver.boards) {
        const Board& board = site.boards[b];
        const Standing& standing = board.standings[s];
        rows += QStringLiteral("<tr>") + rowHeader(trackLink(site, board.trackId)) + cell(raceType(board.multiplayer))
              + cell(lapTime(standing.best), QStringLiteral("num best"))
              + cell(QStringLiteral("%1 of %2").arg(standing.rank).arg(board.standings.size()), QStringLiteral("num rank"))
              + cell(gap(standing, board.standings.front().best), QStringLiteral("num gap"))
              + cell(QString::number(standing.results), QStringLiteral("num results")) + cell(esc(standing.car), QStringLiteral("car"))
              + cell(esc(standing.date), QStringLiteral("date")) + QStringLiteral("</tr>\n");
    }
    QString body = QStringLiteral("<section>\n<h2>Best per track</h2>\n")
                 + table(QStringLiteral("Best time per track and race type, with the rank among all drivers"),
                         {QStringLiteral("Track"), QStringLiteral("Race"), QStringLiteral("Best time"), QStringLiteral("Rank"),
                          QStringLiteral("Gap"), QStringLiteral("Results"), QStringLiteral("Car"), QStringLiteral("Date")},
                         rows)
                 + QStringLiteral("</section>\n<section>\n<h2>Statistics</h2>\n");
    if (driver.stats.empty()) {
        body += QStringLiteral("<p>No statistics stored: the driver import has not fetched this driver.</p>\n");
    } else {
        QString statRows;
        for (const DriverStat& stat : driver.stats)
            statRows += QStringLiteral("<tr>") + rowHeader(esc(stat.label)) + cell(esc(stat.value)) + QStringLiteral("</tr>\n");
        body += QStringLiteral("<div class=\"wide\" tabindex=\"0\"><table class=\"stats\">\n<caption>The statistics stored by the driver "
                               "import</caption>\n<tbody>\n%1</tbody>\n</table></div>\n")
                    .arg(statRows);
    }
    body += QStringLiteral("</section>\n");
    const QString chart = weeklyChart(driver.chart, QStringLiteral("Best per week on the most raced tracks"),
                                      QStringLiteral("chart-progress"));
    if (!chart.isEmpty())
        body += QStringLiteral("<section>\n<h2>Progress</h2>\n") + chart + QStringLiteral("</section>\n");
    return page(site, driver.name,
                driver.name + QStringLiteral(" on ") + site.options.title
                    + QStringLiteral(": the best lap per track and race type with rank, gap, car and date") + upTo(site)
                    + QLatin1Char('.'),
                body);
}

// The weekly bests' columns as a reader names them; a column of a weeklybest changed by hand
// that is not among them keeps the database's name.
QString weekColumnTitle(const QString& column)
{
    static const std::pair<const char*, const char*> titles[] = {
        {"trackname", "Track"}, {"racetype", "Race"}, {"besttime", "Best time"}, {"driver", "Driver"},
        {"car", "Car"},         {"date", "Date"},     {"week", "Week"},
    };
    for (const auto& [name, title] : titles) {
        if (column.compare(QLatin1String(name), Qt::CaseInsensitive) == 0)
            return QString::fromLatin1(title);
    }
    return column;
}

QByteArray weeksPage(const Site& site)
{
    // The week comes first, where a phone shows it without scrolling the table sideways.
    const QStringList& columns = site.weeks.columns;
    std::vector<int> order;
    for (int f = 0; f < columns.size(); ++f)
        order.push_back(f);
    std::stable_partition(order.begin(), order.end(), [&](int f) {
        return columns[f].compare(QLatin1String("week"), Qt::CaseInsensitive) == 0;
    });
    QStringList headers;
    for (const int f : order)
        headers.append(weekColumnTitle(columns[f]));
    QString rows;
    for (const QStringList& row : site.weeks.rows) {
        rows += QStringLiteral("<tr>");
        for (const int f : order) {
            QString html = esc(row[f]);
            if (f == site.weeks.driverColumn)
                html = driverLinkByName(site, row[f]);
            else if (columns[f].compare(QLatin1String("besttime"), Qt::CaseInsensitive) == 0)
                html = esc(lapTimeText(row[f]));
            rows += f == order.front() ? rowHeader(html) : cell(html);
        }
        rows += QStringLiteral("</tr>\n");
    }
    QString scope;
    if (site.weeks.everyShard)
        scope = QStringLiteral(" of every shard");
    else if (!site.options.shard.isEmpty())
        scope = QStringLiteral(" on shard ") + site.options.shard;
    const QString caption =
        QStringLiteral("The fastest result per week, track and race type%1 (the saved query weeklybest)").arg(scope);
    return page(site, QStringLiteral("Weekly bests"),
                QStringLiteral("The fastest result per week, track and race type%1 on %2").arg(scope, site.options.title)
                    + upTo(site) + QLatin1Char('.'),
                table(caption, headers, rows));
}

} // namespace publish
