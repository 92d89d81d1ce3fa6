#include "sitepages.h"

#include "publish/pagenames.h"
#include "publish/svgchart.h"

#include <algorithm>

namespace publish {

namespace {

QString esc(const QString& text)
{
    return text.toHtmlEscaped();
}

QString seconds(double value)
{
    return QString::number(value, 'f', 3);
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
    return QStringLiteral("<div class=\"wide\"><table>\n<caption>%1</caption>\n<thead><tr>%2</tr></thead>\n"
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

QByteArray page(const Site& site, const QString& heading, const QString& body)
{
    const QString title = heading == site.options.title ? esc(heading) : esc(heading) + QStringLiteral(" – ") + esc(site.options.title);
    const QString stamp = site.options.stamp.isEmpty() ? QString()
                                                       : QStringLiteral("<p>Made %1.</p>").arg(esc(site.options.stamp));
    // data: as the icon keeps a browser from asking the folder or the server for favicon.ico.
    return QStringLiteral(
               "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n"
               "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">\n"
               "<meta name=\"color-scheme\" content=\"light dark\">\n<title>%1</title>\n"
               "<link rel=\"icon\" href=\"data:,\">\n<link rel=\"stylesheet\" href=\"style.css\">\n</head>\n<body>\n"
               "<header><nav aria-label=\"Site\"><a href=\"index.html\">%2</a> <a href=\"weeks.html\">Weekly bests</a>"
               "</nav></header>\n<main>\n<h1>%3</h1>\n%4</main>\n<footer>%5</footer>\n</body>\n</html>\n")
        .arg(title, esc(site.options.title), esc(heading), body, stamp)
        .toUtf8();
}

QString recordsTable(const Site& site)
{
    QString rows;
    for (const Board& board : site.boards) {
        if (board.standings.empty())
            continue;
        rows += QStringLiteral("<tr>") + rowHeader(trackLink(site, board.trackId)) + cell(raceType(board.multiplayer))
              + cell(seconds(board.standings.front().best), QStringLiteral("num"))
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
              + cell(esc(result.besttime), QStringLiteral("num")) + cell(esc(result.car)) + QStringLiteral("</tr>\n");
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
    return standing.rank == 1 ? QStringLiteral("–") : QStringLiteral("+") + seconds(standing.best - leader);
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
    const QString body = QStringLiteral("<section>\n<h2>Track records</h2>\n") + recordsTable(site)
                       + QStringLiteral("</section>\n<section>\n<h2>Standings</h2>\n") + standingsTable(site)
                       + QStringLiteral("</section>\n<section>\n<h2>Latest results</h2>\n") + latestTable(site)
                       + QStringLiteral("</section>\n<section>\n<h2>Tracks</h2>\n") + linkList(tracks)
                       + QStringLiteral("</section>\n<section>\n<h2>Drivers</h2>\n") + linkList(drivers)
                       + QStringLiteral("</section>\n");
    return page(site, site.options.title, body);
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
                  + rowHeader(driverLink(site, standing.driver)) + cell(seconds(standing.best), QStringLiteral("num best"))
                  + cell(gap(standing, leader), QStringLiteral("num gap"))
                  + cell(QString::number(standing.results), QStringLiteral("num results")) + QStringLiteral("</tr>\n");
        }
        const QString type = raceTypeName(board.multiplayer);
        body += QStringLiteral("<section class=\"board %1\">\n<h2>%2</h2>\n").arg(raceType(board.multiplayer), type)
              + table(name + QStringLiteral(", ") + type.toLower() + QStringLiteral(": each driver's best"),
                      {QStringLiteral("Rank"), QStringLiteral("Driver"), QStringLiteral("Best time"), QStringLiteral("Gap"),
                       QStringLiteral("Results")},
                      rows)
              + weeklyChart(board.chart, name + QStringLiteral(", ") + type.toLower() + QStringLiteral(": the leaders' best per week"),
                            QStringLiteral("chart-") + raceType(board.multiplayer))
              + QStringLiteral("</section>\n");
    }
    return page(site, name, body);
}

QByteArray driverPage(const Site& site, int index)
{
    const Driver& driver = site.drivers[index];
    QString rows;
    for (const auto& [b, s] : driver.boards) {
        const Board& board = site.boards[b];
        const Standing& standing = board.standings[s];
        rows += QStringLiteral("<tr>") + rowHeader(trackLink(site, board.trackId)) + cell(raceType(board.multiplayer))
              + cell(seconds(standing.best), QStringLiteral("num best"))
              + cell(QStringLiteral("%1 of %2").arg(standing.rank).arg(board.standings.size()), QStringLiteral("num rank"))
              + cell(gap(standing, board.standings.front().best), QStringLiteral("num gap"))
              + cell(QString::number(standing.results), QStringLiteral("num results")) + QStringLiteral("</tr>\n");
    }
    QString body = QStringLiteral("<section>\n<h2>Best per track</h2>\n")
                 + table(QStringLiteral("Best time per track and race type, with the rank among all drivers"),
                         {QStringLiteral("Track"), QStringLiteral("Race"), QStringLiteral("Best time"), QStringLiteral("Rank"),
                          QStringLiteral("Gap"), QStringLiteral("Results")},
                         rows)
                 + QStringLiteral("</section>\n<section>\n<h2>Statistics</h2>\n");
    if (driver.stats.empty()) {
        body += QStringLiteral("<p>No statistics stored: the driver import has not fetched this driver.</p>\n");
    } else {
        QString statRows;
        for (const DriverStat& stat : driver.stats)
            statRows += QStringLiteral("<tr>") + rowHeader(esc(stat.label)) + cell(esc(stat.value)) + QStringLiteral("</tr>\n");
        body += QStringLiteral("<div class=\"wide\"><table class=\"stats\">\n<caption>The statistics stored by the driver "
                               "import</caption>\n<tbody>\n%1</tbody>\n</table></div>\n")
                    .arg(statRows);
    }
    body += QStringLiteral("</section>\n");
    const QString chart = weeklyChart(driver.chart, QStringLiteral("Best per week on the most raced tracks"),
                                      QStringLiteral("chart-progress"));
    if (!chart.isEmpty())
        body += QStringLiteral("<section>\n<h2>Progress</h2>\n") + chart + QStringLiteral("</section>\n");
    return page(site, driver.name, body);
}

QByteArray weeksPage(const Site& site)
{
    QString rows;
    for (const QStringList& row : site.weeks.rows) {
        rows += QStringLiteral("<tr>");
        for (int f = 0; f < row.size(); ++f) {
            if (f == 0)
                rows += rowHeader(esc(row[f]));
            else
                rows += cell(f == site.weeks.driverColumn ? driverLinkByName(site, row[f]) : esc(row[f]));
        }
        rows += QStringLiteral("</tr>\n");
    }
    QString scope;
    if (site.weeks.everyShard)
        scope = QStringLiteral(" of every shard");
    else if (!site.options.shard.isEmpty())
        scope = QStringLiteral(" on shard ") + site.options.shard;
    return page(site, QStringLiteral("Weekly bests"),
                table(QStringLiteral("The fastest result per week, track and race type%1 (the saved query weeklybest)").arg(scope),
                      site.weeks.columns, rows));
}

} // namespace publish
