#include "workbench/statementat.h"

#include <QList>

#include <sqlite3.h>

namespace statementat {

namespace {
bool isBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

Range trimmed(const QByteArray& text, qsizetype begin, qsizetype end)
{
    while (begin < end && isBlank(text[begin]))
        ++begin;
    while (end > begin && isBlank(text[end - 1]))
        --end;
    return {begin, end};
}
} // namespace

Range around(const QByteArray& utf8, qsizetype position)
{
    // The statements' ends: each `;` after which the text since the last end is complete.
    QList<Range> statements;
    qsizetype begin = 0;
    for (qsizetype i = utf8.indexOf(';'); i >= 0; i = utf8.indexOf(';', i + 1)) {
        const QByteArray piece = utf8.mid(begin, i + 1 - begin);
        if (sqlite3_complete(piece.constData())) {
            statements.append({begin, i + 1});
            begin = i + 1;
        }
    }
    statements.append({begin, utf8.size()});

    for (qsizetype s = 0; s < statements.size(); ++s) {
        if (position > statements[s].end)
            continue;
        const Range found = trimmed(utf8, statements[s].begin, statements[s].end);
        // Only blanks after the last `;`: the caret sits after the statement before.
        if (found.begin == found.end && s > 0)
            return trimmed(utf8, statements[s - 1].begin, statements[s - 1].end);
        return found;
    }
    return {utf8.size(), utf8.size()};
}

} // namespace statementat
