#pragma once

#include <QString>

#include "db/rowcursor.h"

class OpenResult;

// Writes the open result of an open result to a semicolon-separated file for a spreadsheet:
// a header line of the field names, each followed by ";", then one line per row in the order
// the grid shows, every value between double quotes. Lines end with CR LF; the text is UTF-8.
//
// The export walks the result with first()/next() and leaves the first row current; views that
// follow the current row are told only of that last move. A target that cannot be written throws
// racr::Error saying why (a full disk in those words).
//
// A regular file (or a new one) is written beside its name and renamed over it at the end, so a
// failed export leaves an older file whole. Any other target that exists (a FIFO, a terminal, a
// device such as /dev/stdout) is written in place: a rename would put a regular file where it was.
void exportCsv(OpenResult& openResult, const QString& path);

// The same text from rows read one after the other, and that text on standard output
// (`racr export ... -`).
void exportCsv(RowCursor& rows, const QString& path);
void exportCsvToStandardOutput(RowCursor& rows);
