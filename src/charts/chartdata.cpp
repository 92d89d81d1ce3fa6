#include "chartdata.h"

#include <QDateTime>
#include <QHash>
#include <QRegularExpression>
#include <algorithm>

namespace chartdata {

std::optional<double> numberOf(const QVariant& value)
{
    switch (value.typeId()) {
    case QMetaType::Int:
    case QMetaType::LongLong:
    case QMetaType::UInt:
    case QMetaType::ULongLong:
    case QMetaType::Double:
        return value.toDouble();
    case QMetaType::QString: {
        bool ok = false;
        const double number = value.toString().trimmed().toDouble(&ok);
        if (ok)
            return number;
        return std::nullopt;
    }
    default:
        return std::nullopt;
    }
}

std::optional<qint64> timeOf(const QVariant& value)
{
    if (value.typeId() == QMetaType::QDateTime)
        return value.toDateTime().toMSecsSinceEpoch();
    if (value.typeId() == QMetaType::QDate)
        return value.toDate().startOfDay().toMSecsSinceEpoch();
    if (value.typeId() != QMetaType::QString)
        return std::nullopt;
    static const QRegularExpression dateText(
        QStringLiteral(R"(^\s*(\d{4})-(\d{2})-(\d{2})(?:(?:T|\s+)(\d{2}):(\d{2})(?::(\d{2}))?Z?)?\s*$)"));
    const QRegularExpressionMatch m = dateText.match(value.toString());
    if (!m.hasMatch())
        return std::nullopt;
    const QDate date(m.captured(1).toInt(), m.captured(2).toInt(), m.captured(3).toInt());
    const QTime time = m.capturedLength(4) > 0 ? QTime(m.captured(4).toInt(), m.captured(5).toInt(), m.captured(6).toInt())
                                               : QTime(0, 0);
    if (!date.isValid() || !time.isValid())
        return std::nullopt;
    return QDateTime(date, time).toMSecsSinceEpoch();
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
    // Series asked for by name come in that order, even when some get no points.
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
    for (Series& series : chart.series)
        std::stable_sort(series.points.begin(), series.points.end(),
                         [](const QPointF& a, const QPointF& b) { return a.x() < b.x(); });
    return chart;
}

} // namespace chartdata
