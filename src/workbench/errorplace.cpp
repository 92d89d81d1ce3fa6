#include "workbench/errorplace.h"

#include <algorithm>

namespace {
// Whether text[i] ends a line; the LF of a CR LF does, its CR does not.
bool endsLine(const QString& text, qsizetype i)
{
    const QChar c = text.at(i);
    return c == u'\n' || (c == u'\r' && (i + 1 == text.size() || text.at(i + 1) != u'\n'));
}

// The place of `index`, an index into `text` (UTF-16 units).
TextPlace placeIn(const QString& text, qsizetype index)
{
    TextPlace place;
    const qsizetype end = std::clamp<qsizetype>(index, 0, text.size());
    for (qsizetype i = 0; i < end; ++i) {
        if (endsLine(text, i)) {
            ++place.line;
            place.column = 1;
        } else if (text.at(i) != u'\r' && !text.at(i).isLowSurrogate()) {
            ++place.column;
        }
    }
    return place;
}
} // namespace

qsizetype indexOf(const QString& text, TextPlace place)
{
    qsizetype i = 0;
    for (int line = 1; line < place.line && i < text.size(); ++i)
        if (endsLine(text, i))
            ++line;
    for (int column = 1; i < text.size() && text.at(i) != u'\r' && text.at(i) != u'\n'; ++i) {
        if (text.at(i).isLowSurrogate())
            continue;
        if (column++ == place.column)
            break;
    }
    return i;
}

TextPlace placeInEditor(const QString& text, qsizetype start, const QString& sent, qsizetype position)
{
    const TextPlace first = placeIn(text, start);
    const TextPlace inSent = placeIn(sent, position);
    if (inSent.line == 1)
        return {first.line, first.column + inSent.column - 1};
    return {first.line + inSent.line - 1, inSent.column};
}
