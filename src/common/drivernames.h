#pragma once

#include <QStringList>

// Splits the driver-name list into the names the driver import asks for, one by one:
// - blanks and control characters (codes 1 to 32) around names are skipped;
// - a name that begins with a double quote runs to the closing quote, two quotes in a row inside
//   it standing for one; without a closing quote it runs to the end of the text;
// - any other name runs up to the next comma, blank or control character;
// - a comma ends a name; a comma that is the very last character adds one empty name, a comma at
//   the start or two commas with only blanks between them give an empty name there;
// - a character other than a blank or a comma right after a closing quote begins the next name;
// - a NUL character ends the text.
// So "kestrel,pilot000" and "kestrel pilot000" both give two names, "kestrel,,pilot000" three.
QStringList splitDriverNames(const QString& list);

// The driver-name list as a leaderboard request's `dn` value carries it: the names split by the
// rule above (so a quoted name loses its quotes, as in the driver import), joined by commas. A
// name that holds a comma would read as two there; it is left out and listed in `unsendable`.
struct LeaderboardDriverList {
    QString value;
    QStringList unsendable;
};
LeaderboardDriverList leaderboardDriverList(const QString& list);
