#include "publish/svgchart.h"

#include "publish/laptime.h"

#include <algorithm>
#include <set>

namespace publish {

namespace {

// The chart is as wide as the page and as tall as below, in CSS pixels. Its texts sit in that
// pixel space, so they keep their size from a phone to a desktop; only the lines and dots stretch
// with the width, in a plot of kPlot by kPlot units.
constexpr int kHeight = 240;
constexpr int kTop = 20;         // room for the label above the top grid line
constexpr int kPlotHeight = 192;
constexpr double kPlot = 1000;
constexpr double kInset = 20;    // keeps the first and last dots whole
constexpr int kTicks = 4;

QString number(double value)
{
    return QString::number(value, 'f', 1);
}

} // namespace

QString weeklyChart(const std::vector<ChartSeries>& series, const QString& caption, const QString& id)
{
    std::set<int> weekSet;
    double low = 0;
    double high = 0;
    bool any = false;
    for (const ChartSeries& line : series) {
        for (const ChartPoint& point : line.points) {
            weekSet.insert(point.week);
            low = any ? std::min(low, point.best) : point.best;
            high = any ? std::max(high, point.best) : point.best;
            any = true;
        }
    }
    if (!any)
        return {};
    const std::vector<int> weeks(weekSet.begin(), weekSet.end());
    if (high - low < 0.001) {
        low = std::max(0.0, low - 0.5);
        high += 0.5;
    }
    const auto x = [&](int week) {
        const auto at = std::lower_bound(weeks.begin(), weeks.end(), week) - weeks.begin();
        return weeks.size() == 1 ? kPlot / 2 : kInset + (kPlot - 2 * kInset) * double(at) / double(weeks.size() - 1);
    };
    // The usual way up: the longer time higher, so a faster lap is lower, as the caption says.
    const auto y = [&](double best) { return kPlot * (high - best) / (high - low); };

    QString svg = QStringLiteral("<svg class=\"chart\" width=\"100%\" height=\"%1\" role=\"img\" aria-labelledby=\"%2\">\n")
                      .arg(kHeight)
                      .arg(id);
    // Each time stands just above its grid line at the left, over the lines.
    QString labels;
    for (int t = 0; t <= kTicks; ++t) {
        const double value = low + (high - low) * t / kTicks;
        const double lineY = kTop + kPlotHeight * (high - value) / (high - low);
        svg += QStringLiteral("<line class=\"grid\" x1=\"0\" x2=\"100%\" y1=\"%1\" y2=\"%1\"/>\n").arg(number(lineY));
        labels += QStringLiteral("<text class=\"axis\" x=\"0\" y=\"%1\">%2</text>\n").arg(number(lineY - 4), lapTime(value));
    }
    svg += QStringLiteral("<svg class=\"plot\" y=\"%1\" width=\"100%\" height=\"%2\" viewBox=\"0 0 %3 %3\" "
                          "preserveAspectRatio=\"none\">\n")
               .arg(kTop)
               .arg(kPlotHeight)
               .arg(kPlot);
    for (std::size_t s = 0; s < series.size(); ++s) {
        const ChartSeries& line = series[s];
        QStringList points;
        QString dots;
        for (const ChartPoint& point : line.points) {
            const QString at = number(x(point.week)) + QLatin1Char(',') + number(y(point.best));
            points.append(at);
            // A path of no length drawn with round ends: a dot that stays round however the plot stretches.
            dots += QStringLiteral("M%1h0").arg(at);
        }
        svg += QStringLiteral("<polyline class=\"line s%1\" points=\"%2\"/>\n<path class=\"dot s%1\" d=\"%3\"/>\n")
                   .arg(s)
                   .arg(points.join(QLatin1Char(' ')), dots);
    }
    svg += QStringLiteral("</svg>\n") + labels;
    svg += QStringLiteral("<text class=\"axis\" x=\"0\" y=\"%1\">%2</text>"
                          "<text class=\"axis\" x=\"100%\" y=\"%1\" text-anchor=\"end\">%3</text>\n")
               .arg(kHeight - 6)
               .arg(weekText(weeks.front()), weekText(weeks.back()));
    svg += QStringLiteral("</svg>\n");

    // The caption names the chart; the legend and the table give its values in text.
    QString legend = QStringLiteral("<ul class=\"legend\">");
    for (std::size_t s = 0; s < series.size(); ++s)
        legend += QStringLiteral("<li><span class=\"key s%1\" aria-hidden=\"true\"></span>%2</li>")
                      .arg(s)
                      .arg(series[s].label.toHtmlEscaped());
    legend += QStringLiteral("</ul>\n");

    QString table = QStringLiteral("<details><summary>The chart's values</summary>\n<div class=\"wide\" tabindex=\"0\"><table>\n"
                                   "<caption>%1</caption>\n<thead><tr><th scope=\"col\">Week</th>")
                        .arg(caption.toHtmlEscaped());
    for (const ChartSeries& line : series)
        table += QStringLiteral("<th scope=\"col\">%1</th>").arg(line.label.toHtmlEscaped());
    table += QStringLiteral("</tr></thead>\n<tbody>\n");
    for (const int week : weeks) {
        table += QStringLiteral("<tr><th scope=\"row\">%1</th>").arg(weekText(week));
        for (const ChartSeries& line : series) {
            const auto point = std::find_if(line.points.begin(), line.points.end(),
                                            [&](const ChartPoint& p) { return p.week == week; });
            table += QStringLiteral("<td class=\"num\">%1</td>")
                         .arg(point == line.points.end() ? QString() : lapTime(point->best));
        }
        table += QStringLiteral("</tr>\n");
    }
    table += QStringLiteral("</tbody></table></div></details>\n");

    // The caption comes first: a figure's caption may only be its first or its last child.
    return QStringLiteral("<figure>\n<figcaption id=\"%1\">%2 (lower is faster; seconds by ISO week)"
                          "</figcaption>\n%3%4%5</figure>\n")
        .arg(id, caption.toHtmlEscaped(), svg, legend, table);
}

} // namespace publish
