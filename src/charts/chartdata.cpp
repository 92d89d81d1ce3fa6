#include "charts/chartdata.h"

#include <QDateTime>
#include <QHash>
#include <algorithm>
#include <charconv>
#include <cmath>
#include <numeric>

namespace chartdata {

namespace {

// A plain decimal text such as the service's "86.372" read directly: QString::toDouble takes
// most of a million-point chart's time. Anything else goes the general way.
std::optional<double> plainDecimal(QStringView text)
{
    char bytes[40];
    if (text.isEmpty() || text.size() >= qsizetype(sizeof bytes))
        return std::nullopt;
    qsizetype length = 0;
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        if (!((u >= u'0' && u <= u'9') || u == u'.' || u == u'-' || u == u'e' || u == u'E'))
            return std::nullopt;
        bytes[length++] = char(u);
    }
    double number = 0;
    const auto [end, error] = std::from_chars(bytes, bytes + length, number);
    if (error != std::errc() || end != bytes + length)
        return std::nullopt;
    return number;
}

} // namespace

std::optional<double> numberOf(const QVariant& value)
{
    switch (value.typeId()) {
    case QMetaType::Int:
    case QMetaType::LongLong:
    case QMetaType::UInt:
    case QMetaType::ULongLong:
    case QMetaType::Double:
        if (std::isfinite(value.toDouble()))
            return value.toDouble();
        return std::nullopt;
    case QMetaType::QString: {
        const QString text = value.toString();
        if (const auto plain = plainDecimal(QStringView(text).trimmed()))
            return plain;
        // "nan" and "inf" read as numbers too, but have no place on an axis.
        bool ok = false;
        const double number = text.trimmed().toDouble(&ok);
        if (ok && std::isfinite(number))
            return number;
        return std::nullopt;
    }
    default:
        return std::nullopt;
    }
}

namespace {

// The digits of text[from, from + count) as a number; -1 when any is not a digit.
int digitsAt(QStringView text, qsizetype from, qsizetype count)
{
    if (from + count > text.size())
        return -1;
    int number = 0;
    for (qsizetype i = from; i < from + count; ++i) {
        const char16_t c = text[i].unicode();
        if (c < u'0' || c > u'9')
            return -1;
        number = number * 10 + (c - u'0');
    }
    return number;
}

// Milliseconds since 1970 of a local date and time. Converting local time is slow and a chart may
// read a million dates, so the offset from UTC is kept per day; a day on which the offset
// changes (a switch to or from summer time) is converted moment by moment.
qint64 localMSecs(QDate date, QTime time)
{
    static thread_local QHash<qint64, std::optional<int>> dayOffsets;
    auto found = dayOffsets.constFind(date.toJulianDay());
    if (found == dayOffsets.constEnd()) {
        const int morning = QDateTime(date, QTime(0, 0)).offsetFromUtc();
        const int night = QDateTime(date, QTime(23, 59, 59)).offsetFromUtc();
        found = dayOffsets.insert(date.toJulianDay(), morning == night ? std::optional<int>(morning) : std::nullopt);
    }
    if (!found->has_value())
        return QDateTime(date, time).toMSecsSinceEpoch();
    constexpr qint64 dayMs = 24 * 3600 * 1000;
    constexpr qint64 julianDayOf1970 = 2440588;
    return (date.toJulianDay() - julianDayOf1970) * dayMs + time.msecsSinceStartOfDay() - qint64(**found) * 1000;
}

} // namespace

std::optional<qint64> timeOf(const QVariant& value)
{
    if (value.typeId() == QMetaType::QDateTime)
        return value.toDateTime().toMSecsSinceEpoch();
    if (value.typeId() == QMetaType::QDate)
        return value.toDate().startOfDay().toMSecsSinceEpoch();
    if (value.typeId() != QMetaType::QString)
        return std::nullopt;
    // "yyyy-MM-dd", then nothing, or "T" or blanks and "hh:mm" with ":ss" and "Z" optional.
    const QString whole = value.toString();
    const QStringView text = QStringView(whole).trimmed();
    if (text.size() < 10 || text[4] != QLatin1Char('-') || text[7] != QLatin1Char('-'))
        return std::nullopt;
    const QDate date(digitsAt(text, 0, 4), digitsAt(text, 5, 2), digitsAt(text, 8, 2));
    if (!date.isValid())
        return std::nullopt;
    QTime time(0, 0);
    if (text.size() > 10) {
        qsizetype at = 10;
        if (text[at] == QLatin1Char('T'))
            ++at;
        else
            while (at < text.size() && text[at].isSpace())
                ++at;
        if (at == 10)
            return std::nullopt;   // a date run into other text
        const int hour = digitsAt(text, at, 2);
        const bool colon = at + 2 < text.size() && text[at + 2] == QLatin1Char(':');
        const int minute = colon ? digitsAt(text, at + 3, 2) : -1;
        qsizetype end = at + 5;
        int second = 0;
        if (end < text.size() && text[end] == QLatin1Char(':')) {
            second = digitsAt(text, end + 1, 2);
            end += 3;
        }
        if (end < text.size() && text[end] == QLatin1Char('Z'))
            ++end;
        if (hour < 0 || minute < 0 || second < 0 || end != text.size())
            return std::nullopt;
        time = QTime(hour, minute, second);
        if (!time.isValid())
            return std::nullopt;
    }
    return localMSecs(date, time);
}

namespace {

std::optional<double> xOf(const QVariant& value, AxisKind kind)
{
    if (kind == AxisKind::Number)
        return numberOf(value);
    if (const auto time = timeOf(value))
        return double(*time);
    return std::nullopt;
}

QString textOf(const QVariant& value)
{
    return value.isNull() ? QString() : value.toString();
}

} // namespace


Builder::Builder(const QStringList& fields, const Request& request, const QList<int>& choiceFields)
    : m_request(request), m_fields(fields)
{
    const auto at = [this](int field) {
        if (field < 0)
            return -1;
        if (!m_read.contains(field))
            m_read.append(field);
        return int(m_read.indexOf(field));
    };
    m_chart.xTitle = fields.value(request.xField);
    QStringList yNames;
    for (const int field : request.yFields)
        yNames.append(fields.value(field));
    m_chart.yTitle = yNames.join(QStringLiteral(", "));
    for (const int field : choiceFields)
        m_choiceAt.append(at(field));
    m_choices.resize(choiceFields.size());
    if (request.xField < 0 || request.yFields.isEmpty())
        return;   // nothing to draw: only the choices are read
    m_xAt = at(request.xField);
    for (const int field : request.yFields)
        m_yAt.append(at(field));
    m_splitAt = at(request.splitField);
    if (m_splitAt < 0)
        m_groups.append({QString(), false, QList<int>(m_yAt.size(), -1)});   // one series per y column
    for (const Filter& filter : request.filters)
        m_filterAt.append(at(filter.field));

    // Series asked for by name come in that order (those that get no points are left out).
    m_onlyListed = m_splitAt >= 0 && !request.onlySplitValues.isEmpty();
    for (const QString& wanted : request.onlySplitValues) {
        const int group = groupOf(wanted.trimmed());
        if (m_groups[group].listed)
            continue;
        m_groups[group].listed = true;
        for (int y = 0; y < m_yAt.size(); ++y)
            seriesOf(group, y);
    }
}

int Builder::groupOf(const QString& splitText)
{
    if (const auto found = m_groupOfText.constFind(splitText); found != m_groupOfText.constEnd())
        return *found;
    const QString folded = splitText.toCaseFolded();
    int group = m_groupOfFolded.value(folded, -1);
    if (group < 0) {
        group = int(m_groups.size());
        m_groupOfFolded.insert(folded, group);
        m_groups.append({splitText, false, QList<int>(m_yAt.size(), -1)});
    }
    m_groupOfText.insert(splitText, group);
    return group;
}

int Builder::seriesOf(int group, int yAt)
{
    int& index = m_groups[group].series[yAt];
    if (index < 0) {
        const QString yName = m_fields.value(m_request.yFields.at(yAt));
        QString name = yName;
        if (m_splitAt >= 0) {
            const QString& text = m_groups[group].name;
            name = text.isEmpty() ? QStringLiteral("(empty)") : text;
            if (m_yAt.size() > 1)
                name += QStringLiteral(": ") + yName;
        }
        index = int(m_chart.series.size());
        m_chart.series.append({name, {}});
    }
    return index;
}

void Builder::add(const QList<QVariant>& cells)
{
    const qsizetype width = m_read.size();
    if (width == 0)
        return;
    for (qsizetype row = 0; row + width <= cells.size(); row += width) {
        const QVariant* values = cells.constData() + row;
        for (qsizetype c = 0; c < m_choiceAt.size(); ++c) {
            const QVariant& choice = values[m_choiceAt[c]];
            // Results come ordered by these columns often: a value like the row before's is in.
            if (row == 0 || choice != cells[row - width + m_choiceAt[c]])
                m_choices[c].insert(choice.toString());
        }
        if (m_xAt < 0)
            continue;
        bool taken = true;
        for (qsizetype f = 0; f < m_filterAt.size() && taken; ++f)
            taken = textOf(values[m_filterAt[f]]) == m_request.filters[f].text;
        if (!taken)
            continue;
        const QVariant& xValue = values[m_xAt];
        // The axis kind comes from the first x among the rows taken that reads at all.
        if (!m_kindKnown) {
            if (numberOf(xValue)) {
                m_chart.xKind = AxisKind::Number;
                m_kindKnown = true;
            } else if (timeOf(xValue)) {
                m_chart.xKind = AxisKind::Time;
                m_kindKnown = true;
            }
        }
        const int group = m_splitAt >= 0 ? groupOf(textOf(values[m_splitAt])) : 0;
        if (m_onlyListed && !m_groups[group].listed)
            continue;
        const auto x = m_kindKnown ? xOf(xValue, m_chart.xKind) : std::nullopt;
        if (!x) {
            ++m_chart.leftOut;
            continue;
        }
        bool missing = false;
        for (int y = 0; y < m_yAt.size(); ++y) {
            const auto value = numberOf(values[m_yAt[y]]);
            if (!value) {
                missing = true;
                continue;
            }
            m_chart.series[seriesOf(group, y)].points.append(QPointF(*x, *value));
        }
        if (missing)
            ++m_chart.leftOut;
    }
}

Chart Builder::finish(int columns, int mostSeries)
{
    Chart chart = std::move(m_chart);
    m_chart = {};
    // Without a list, series of a split come in the order of their names, as in the legend.
    if (m_splitAt >= 0 && !m_onlyListed)
        std::stable_sort(chart.series.begin(), chart.series.end(),
                         [](const Series& a, const Series& b) { return a.name.localeAwareCompare(b.name) < 0; });
    // A driver of the list without a result here would only take a colour and a legend entry.
    chart.series.removeIf([](const Series& series) { return series.points.isEmpty(); });
    if (mostSeries > 0 && chart.series.size() > mostSeries) {
        QList<qsizetype> bySize(chart.series.size());
        std::iota(bySize.begin(), bySize.end(), 0);
        std::stable_sort(bySize.begin(), bySize.end(), [&](qsizetype a, qsizetype b) {
            return chart.series[a].points.size() > chart.series[b].points.size();
        });
        QList<bool> kept(chart.series.size(), false);
        for (qsizetype i = 0; i < mostSeries; ++i)
            kept[bySize[i]] = true;
        QList<Series> drawn;
        for (qsizetype i = 0; i < chart.series.size(); ++i)
            if (kept[i])
                drawn.append(std::move(chart.series[i]));
        chart.seriesLeftOut = int(chart.series.size() - drawn.size());
        chart.series = std::move(drawn);
    }
    for (Series& series : chart.series) {
        const auto byX = [](const QPointF& a, const QPointF& b) { return a.x() < b.x(); };
        if (!std::is_sorted(series.points.begin(), series.points.end(), byX))
            std::stable_sort(series.points.begin(), series.points.end(), byX);
        const bool first = chart.pointCount == 0;
        chart.xLow = first ? series.points.first().x() : std::min(chart.xLow, series.points.first().x());
        chart.xHigh = first ? series.points.last().x() : std::max(chart.xHigh, series.points.last().x());
        for (const QPointF& p : series.points) {
            chart.yLow = chart.pointCount == 0 ? p.y() : std::min(chart.yLow, p.y());
            chart.yHigh = chart.pointCount++ == 0 ? p.y() : std::max(chart.yHigh, p.y());
        }
    }
    if (columns > 0)
        for (Series& series : chart.series)
            series.points = thinned(series.points, chart.xLow, chart.xHigh, columns);
    return chart;
}

QList<QStringList> Builder::choices() const
{
    QList<QStringList> lists;
    for (const QSet<QString>& seen : m_choices) {
        QStringList values(seen.begin(), seen.end());
        values.sort(Qt::CaseInsensitive);
        lists.append(values);
    }
    return lists;
}

QList<QPointF> thinned(const QList<QPointF>& points, double xLow, double xHigh, int columns)
{
    if (points.size() <= qsizetype(columns) * 4 || !(xHigh > xLow))
        return points;
    QList<QPointF> kept;
    kept.reserve(qsizetype(columns) * 4);
    const double scale = columns / (xHigh - xLow);
    qsizetype from = 0;
    while (from < points.size()) {
        const int column = std::min(columns - 1, int((points[from].x() - xLow) * scale));
        qsizetype to = from;
        qsizetype low = from, high = from;
        while (to < points.size() && std::min(columns - 1, int((points[to].x() - xLow) * scale)) == column) {
            if (points[to].y() < points[low].y())
                low = to;
            if (points[to].y() > points[high].y())
                high = to;
            ++to;
        }
        // In x order, each point once.
        qsizetype chosen[4] = {from, std::min(low, high), std::max(low, high), to - 1};
        for (int i = 0; i < 4; ++i)
            if (i == 0 || chosen[i] != chosen[i - 1])
                kept.append(points[chosen[i]]);
        from = to;
    }
    return kept;
}

} // namespace chartdata
