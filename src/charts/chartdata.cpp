#include "chartdata.h"

#include <QDateTime>
#include <QHash>
#include <algorithm>
#include <cmath>

namespace chartdata {

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
        // "nan" and "inf" read as numbers too, but have no place on an axis.
        bool ok = false;
        const double number = value.toString().trimmed().toDouble(&ok);
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
        if (!text[i].isDigit())
            return -1;
        number = number * 10 + text[i].digitValue();
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
    return QDateTime(date, time, Qt::UTC).toMSecsSinceEpoch() - qint64(**found) * 1000;
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


Chart build(const Source& source, const Request& request)
{
    Chart chart;
    chart.xTitle = source.fields.value(request.xField);
    QStringList yNames;
    for (const int field : request.yFields)
        yNames.append(source.fields.value(field));
    chart.yTitle = yNames.join(QStringLiteral(", "));
    if (request.xField < 0 || request.yFields.isEmpty())
        return chart;

    const auto taken = [&](int row) {
        return std::all_of(request.filters.begin(), request.filters.end(), [&](const Filter& filter) {
            return textOf(source.value(row, filter.field)) == filter.text;
        });
    };

    // The axis kind comes from the first x among the rows taken that reads at all.
    bool kindKnown = false;
    for (int row = 0; row < source.rowCount && !kindKnown; ++row) {
        if (!taken(row))
            continue;
        const QVariant x = source.value(row, request.xField);
        if (numberOf(x)) {
            chart.xKind = AxisKind::Number;
            kindKnown = true;
        } else if (timeOf(x)) {
            chart.xKind = AxisKind::Time;
            kindKnown = true;
        }
    }

    // Series keyed by split value (compared without regard to case) and y column.
    QHash<QString, qsizetype> seriesIndex;
    const bool split = request.splitField >= 0;
    const auto keyOf = [](const QString& splitText, int yField) {
        return splitText.toCaseFolded() + QChar(0) + QString::number(yField);
    };
    const auto nameOf = [&](const QString& splitText, int yField) {
        if (!split)
            return source.fields.value(yField);
        const QString shown = splitText.isEmpty() ? QStringLiteral("(empty)") : splitText;
        return request.yFields.size() == 1 ? shown : shown + QStringLiteral(": ") + source.fields.value(yField);
    };
    // Series asked for by name come in that order (those that get no points are left out below).
    for (const QString& wanted : request.onlySplitValues)
        for (const int yField : request.yFields)
            if (!seriesIndex.contains(keyOf(wanted.trimmed(), yField))) {
                seriesIndex.insert(keyOf(wanted.trimmed(), yField), chart.series.size());
                chart.series.append({nameOf(wanted.trimmed(), yField), {}});
            }
    const bool onlyListed = split && !request.onlySplitValues.isEmpty();

    for (int row = 0; row < source.rowCount; ++row) {
        if (!taken(row))
            continue;
        const QString splitText = split ? textOf(source.value(row, request.splitField)) : QString();
        if (onlyListed && !seriesIndex.contains(keyOf(splitText, request.yFields.first())))
            continue;
        const auto x = xOf(source.value(row, request.xField), chart.xKind);
        if (!x) {
            ++chart.leftOut;
            continue;
        }
        bool missing = false;
        for (const int yField : request.yFields) {
            const auto y = numberOf(source.value(row, yField));
            if (!y) {
                missing = true;
                continue;
            }
            const QString key = keyOf(splitText, yField);
            auto found = seriesIndex.constFind(key);
            if (found == seriesIndex.constEnd()) {
                found = seriesIndex.insert(key, chart.series.size());
                chart.series.append({nameOf(splitText, yField), {}});
            }
            chart.series[*found].points.append(QPointF(*x, *y));
        }
        if (missing)
            ++chart.leftOut;
    }

    // Without a list, series of a split come in the order of their names, as in the legend.
    if (split && !onlyListed)
        std::stable_sort(chart.series.begin(), chart.series.end(),
                         [](const Series& a, const Series& b) { return a.name.localeAwareCompare(b.name) < 0; });
    // A driver of the list without a result here would only take a colour and a legend entry.
    chart.series.removeIf([](const Series& series) { return series.points.isEmpty(); });
    for (Series& series : chart.series)
        std::stable_sort(series.points.begin(), series.points.end(),
                         [](const QPointF& a, const QPointF& b) { return a.x() < b.x(); });
    return chart;
}

} // namespace chartdata
