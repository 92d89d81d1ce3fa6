#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <functional>

// Cells of the grid as text that a spreadsheet pastes cell for cell (one line per row, cells
// separated by tabs, every line ended by a line break), and the same cells as an HTML table,
// which office programs paste as a table.
namespace rangecopy {

// A value as it goes into one cell: unchanged, or between double quotes with its quotes doubled
// when it holds a tab, a line break or a quote (otherwise the paste would split or merge cells).
QString cellText(const QString& value);

struct Copied {
    QString text;   // tab-separated
    QString html;   // a table, every value escaped
};

enum class Titles { Without, With };

// The text(row, column) of each given row in the given columns, under a line of the columns'
// titles when asked.
Copied copy(const QStringList& titles, const QList<int>& rows, const QList<int>& columns,
            const std::function<QString(int row, int column)>& text, Titles withTitles);

} // namespace rangecopy
