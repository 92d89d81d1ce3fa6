#pragma once

#include <QByteArray>

// Where the statement around a place in a script of several statements begins and ends, the
// statements separated by `;`. A `;` inside a string, a quoted name, a comment or a trigger's
// body does not end a statement: SQLite's own reading of a complete statement decides.
namespace statementat {

struct Range {
    qsizetype begin = 0;   // byte offsets in the UTF-8 text; begin == end when there is none
    qsizetype end = 0;
};

// The statement that holds `position`, or ends just before it (the caret after a `;`), without
// the blanks around it; after the last `;` with only blanks behind it, the last statement.
Range around(const QByteArray& utf8, qsizetype position);

} // namespace statementat
