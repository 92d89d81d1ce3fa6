#pragma once

#include <QString>

// A place in a statement's text as its author sees it: line and column, both counted from 1.
// A CR LF, a CR or an LF each end one line, so the place is the same in the editor's text and in
// the text sent to the engine.
struct TextPlace {
    int line = 1;
    int column = 1;
};

TextPlace placeIn(const QString& text, qsizetype position);
