#include "svgchart.h"

#include <algorithm>
#include <set>

namespace publish {

namespace {

constexpr double kWidth = 640;
constexpr double kHeight = 280;
constexpr double kLeft = 56;
constexpr double kRight = 12;
constexpr double kTop = 12;
constexpr double kBottom = 40;
constexpr int kTicks = 5;

QString number(double value)
{
    return QString::number(value, 'f', 1);
}

QString seconds(double value)
{
    return QString::number(value, 'f', 3);
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
        low -= 0.5;
        high += 0.5;
    }
    const double plotWidth = kWidth - kLeft - kRight;
    const double plotHeight = kHeight - kTop - kBottom;
    const auto x = [&](int week) {
        const auto at = std::lower_bound(weeks.begin(), weeks.end(), week) - weeks.begin();
        return weeks.size() == 1 ? kLeft + plotWidth / 2 : kLeft + plotWidth * double(at) / double(weeks.size() - 1);
    };
    // Faster is higher on the chart.
    const auto y = [&](double best) { return kTop + plotHeight * (best - low) / (high - low); };

    QString svg = QStringLiteral("<svg class=\"chart\" viewBox=\"0 0 %1 %2\" role=\"img\" aria-labelledby=\"%3\">\n")
                      .arg(kWidth)
                      .arg(kHeight)
                      .arg(id);
    for (int t = 0; t <= kTicks; ++t) {
        const double value = low + (high - low) * t / kTicks;
        svg += QStringLiteral("<line class=\"grid\" x1=\"%1\" x2=\"%2\" y1=\"%3\" y2=\"%3\"/>"
                              "<text class=\"axis\" x=\"%4\" y=\"%5\" text-anchor=\"end\">%6</text>\n")
                   .arg(number(kLeft), number(kWidth - kRight), number(y(value)), number(kLeft - 4),
                        number(y(value) + 4), seconds(value));
    }
    svg += QStringLiteral("<text class=\"axis\" x=\"%1\" y=\"%2\">%3</text>"
                          "<text class=\"axis\" x=\"%4\" y=\"%2\" text-anchor=\"end\">%5</text>\n")
               .arg(number(kLeft), number(kHeight - 12), weekText(weeks.front()), number(kWidth - kRight),
                    weekText(weeks.back()));
    for (std::size_t s = 0; s < series.size(); ++s) {
        const ChartSeries& line = series[s];
        QStringList points;
        for (const ChartPoint& point : line.points)
            points.append(number(x(point.week)) + QLatin1Char(',') + number(y(point.best)));
        svg += QStringLiteral("<polyline class=\"line s%1\" points=\"%2\"/>\n").arg(s).arg(points.join(QLatin1Char(' ')));
        for (const ChartPoint& point : line.points) {
            svg += QStringLiteral("<circle class=\"dot s%1\" cx=\"%2\" cy=\"%3\" r=\"3\"/>\n")
                       .arg(s)
                       .arg(number(x(point.week)), number(y(point.best)));
        }
    }
    svg += QStringLiteral("</svg>\n");

    // The caption names the chart; the legend and the table give its values in text.
    QString legend = QStringLiteral("<ul class=\"legend\">");
    for (std::size_t s = 0; s < series.size(); ++s)
        legend += QStringLiteral("<li><span class=\"key s%1\" aria-hidden=\"true\"></span>%2</li>")
                      .arg(s)
                      .arg(series[s].label.toHtmlEscaped());
    legend += QStringLiteral("</ul>\n");

    QString table = QStringLiteral("<details><summary>The chart's values</summary>\n<div class=\"wide\"><table>\n"
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
                         .arg(point == line.points.end() ? QString() : seconds(point->best));
        }
        table += QStringLiteral("</tr>\n");
    }
    table += QStringLiteral("</tbody></table></div></details>\n");

    return QStringLiteral("<figure>\n%1<figcaption id=\"%2\">%3 (lower is faster; seconds by ISO week)"
                          "</figcaption>\n%4%5</figure>\n")
        .arg(svg, id, caption.toHtmlEscaped(), legend, table);
}

} // namespace publish
