#pragma once

#include <QSqlError>
#include <QString>

// A column of a result as the program reads and writes it: what a row source hands over to
// whoever keeps its rows.
namespace queryresult {

// How a column takes the text typed into the grid: a number goes to a numeric column as a
// number, anything else as text.
enum class Affinity { Integer, Real, Text, None };

struct Field {
    QString name;
    QString table;      // as the catalogue names it, for messages and the key lookup
    QString qualified;  // the table as written in our own statements
    QString origin;     // the table's column; empty for an expression (read-only)
    Affinity affinity = Affinity::None;
};

// The engine's own words, without Qt's "Unable to execute statement" tail.
inline QString engineText(const QSqlError& error)
{
    const QString text = error.databaseText().trimmed();
    return text.isEmpty() ? error.text().trimmed() : text;
}

} // namespace queryresult
