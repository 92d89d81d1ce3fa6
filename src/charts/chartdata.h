#pragma once

#include <QList>
#include <QPointF>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <functional>
#include <optional>

// The points of a chart of a result: x from one column, y from one or more, one series per value
// of a splitting column (the driver, say). Values come as the database holds them; the service's
// numbers and dates are texts, so texts that read as numbers or dates count as such.
namespace chartdata {

enum class AxisKind { Number, Time };

// A number, or a text that reads as one ("86.372"); nothing for null, empty or other text.
std::optional<double> numberOf(const QVariant& value);

// The service's date texts, with or without the time of day: "2011-06-01T12:34:56" (with or
// without a trailing Z), "2011-06-01  12:34:56" as the leaderboard import stores them, or
// "2011-06-01". Read as local time, in milliseconds since 1970, as a time axis shows them.
std::optional<qint64> timeOf(const QVariant& value);

// The result as the chart reads it: its field names, its rows and any cell's value.
struct Source {
    QStringList fields;
    int rowCount = 0;
    std::function<QVariant(int row, int field)> value;
};

// Only rows whose field shows this text.
struct Filter {
    int field = -1;
    QString text;
};

struct Request {
    int xField = -1;
    QList<int> yFields;
    int splitField = -1;          // -1: one series per y column
    QList<Filter> filters;
    QStringList onlySplitValues;  // when not empty: only these series (any case), in this order,
                                  // each that has points
};

struct Series {
    QString name;
    QList<QPointF> points;        // in x order; x of a time is milliseconds since 1970
};

struct Chart {
    AxisKind xKind = AxisKind::Number;
    QString xTitle;
    QString yTitle;
    QList<Series> series;         // only series with points
    int leftOut = 0;              // rows taken whose x or y does not read as a value
};

// A time axis when the first x value that reads at all reads as a date, else a number axis.
Chart build(const Source& source, const Request& request);

} // namespace chartdata
