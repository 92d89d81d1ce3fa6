#pragma once

#include <QHash>
#include <QList>
#include <QPointF>
#include <QSet>
#include <QString>
#include <QStringList>
#include <QVariant>
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
    // The extent and number of the points of the series kept, also where they were thinned for
    // drawing: the axes show all of their data.
    double xLow = 0, xHigh = 0, yLow = 0, yHigh = 0;
    qsizetype pointCount = 0;
    int seriesLeftOut = 0;        // series past the most that are drawn
};

// Builds a chart from rows handed over in blocks, so that reading the result and building can
// run on two threads and stop between blocks. One thread at a time uses a builder. The x axis is
// a time axis when the first x value that reads at all reads as a date, else a number axis.
class Builder {
public:
    // `choiceFields`: fields whose distinct texts are collected over every row (for the
    // window's filter boxes).
    Builder(const QStringList& fields, const Request& request, const QList<int>& choiceFields = {});

    // The fields each row of add() gives, in this order.
    const QList<int>& fieldsRead() const { return m_read; }
    // Rows of values, fieldsRead().size() per row.
    void add(const QList<QVariant>& cells);
    // The chart of the rows added. With `columns` above 0 each series is thinned to at most four
    // points in each of that many columns across the x range: the first, lowest, highest and last
    // of the column, so a line through them shows every peak and valley the full line shows at
    // that width. With `mostSeries` above 0 only that many series stay, those with the most
    // points, in their order.
    Chart finish(int columns, int mostSeries = 0);
    // The distinct texts of each choice field, sorted without regard to case.
    QList<QStringList> choices() const;

private:
    // A value of the splitting column, without regard to case, and its series.
    struct Group {
        QString name;
        bool listed = false;
        QList<int> series;   // per y column; -1 until it has a series
    };
    int groupOf(const QString& splitText);
    int seriesOf(int group, int yAt);

    Request m_request;
    QStringList m_fields;
    QList<int> m_read;
    int m_xAt = -1, m_splitAt = -1;
    QList<int> m_yAt, m_filterAt, m_choiceAt;
    QList<QSet<QString>> m_choices;
    bool m_kindKnown = false;
    bool m_onlyListed = false;
    Chart m_chart;
    QList<Group> m_groups;
    QHash<QString, int> m_groupOfText;     // the split text as it came
    QHash<QString, int> m_groupOfFolded;   // the same without regard to case
};

// Points in x order, thinned as Builder::finish() says, for the x range [xLow, xHigh].
QList<QPointF> thinned(const QList<QPointF>& points, double xLow, double xHigh, int columns);

} // namespace chartdata
