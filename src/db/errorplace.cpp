#include "errorplace.h"

TextPlace placeIn(const QString& text, qsizetype position)
{
    TextPlace place;
    const qsizetype end = std::min(position, text.size());
    for (qsizetype i = 0; i < end; ++i) {
        const QChar c = text.at(i);
        if (c == u'\r' && i + 1 < end && text.at(i + 1) == u'\n')
            continue;   // the LF that follows ends the line
        if (c == u'\r' || c == u'\n') {
            ++place.line;
            place.column = 1;
        } else {
            ++place.column;
        }
    }
    return place;
}
