#pragma once

#include <QString>

class QueryObject;

// Writes the open result of a query object to a semicolon-separated file for a spreadsheet:
// a header line of the field names, each followed by ";", then one line per row in the order
// the grid shows, every value between double quotes. Lines end with CR LF; the text is UTF-8.
//
// The export walks the result with first()/next() and leaves the first row current; views that
// follow the current row are told only of that last move. A file that cannot be written throws
// racr::Error.
void exportCsv(QueryObject& dataSet, const QString& path);
