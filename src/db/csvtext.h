#pragma once

#include "db/cellview.h"

#include <QByteArray>
#include <QByteArrayView>

class QLocale;

// A UTF-8 value between double quotes with every quote inside it doubled: the one escape that
// spreadsheets and CSV readers undo, so separators and line breaks stay inside their cell.
void appendCsvQuoted(QByteArray& out, QByteArrayView utf8);

// A cell's text as the grid shows it, in UTF-8: nothing for null, a fraction in its shortest
// exact form, a blob's bytes read as UTF-8. Bytes that are not valid UTF-8 come out as U+FFFD,
// as they do in the grid.
void appendCellText(QByteArray& out, const CellView& cell);

// The same text quoted for the CSV file, but a fraction in `locale`'s notation with 15
// significant digits, as a spreadsheet reads it.
void appendCsvCell(QByteArray& out, const CellView& cell, const QLocale& locale);
