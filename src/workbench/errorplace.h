#pragma once

#include <QString>

// A place in a statement's text as its author sees it: line and column, both counted from 1. A
// CR LF, a CR or an LF each end one line, so a place is the same in the editor's text and in the
// text sent to the engine (each line closed by CR LF). A column counts characters: a letter that
// takes two UTF-16 units counts once.
struct TextPlace {
    int line = 1;
    int column = 1;
};

// The index of `place` in `text`; a column past the end of its line gives the line's end.
qsizetype indexOf(const QString& text, TextPlace place);

// Where the engine's `position` (an index into `sent`) lies in the editor's `text`, when `sent`
// is the part of it from `start` on (a selection, one statement of several, or all of it) with
// its lines closed by CR LF.
TextPlace placeInEditor(const QString& text, qsizetype start, const QString& sent, qsizetype position);
