#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <functional>

// Cells of the grid as text that a spreadsheet pastes cell for cell: a line of column titles,
// then one line per row, cells separated by tabs, every line ended by a line break.
namespace rangecopy {

// A value as it goes into one cell: unchanged, or between double quotes with its quotes doubled
// when it holds a tab, a line break or a quote (otherwise the paste would split or merge cells).
QString cellText(const QString& value);

// The titles of the given columns, then the text(row, column) of each given row in those columns.
QString tabSeparated(const QStringList& titles, const QList<int>& rows, const QList<int>& columns,
                     const std::function<QString(int row, int column)>& text);

} // namespace rangecopy
