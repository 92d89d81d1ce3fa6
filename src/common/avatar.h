#pragma once

#include <QImage>
#include <QString>
#include <QVariant>
#include <optional>

namespace avatar {

// The avatar number an `image` value stands for: a whole number, given as a number or as text.
// Anything else (null, a fraction, other text) names no file.
std::optional<qint64> number(const QVariant& value);

// Where the bitmap of a file name ("7.bmp") is found: the program folder's avatars/ first (the
// user's own pictures), then the set that comes with the program: avatars/ beside the executable
// (a build or an unpacked copy), then the installed data folder racr/avatars (<prefix>/share, or
// the XDG data folders). When none holds it, the path in the program folder, where it belongs.
QString locate(const QString& fileName);

// The bitmap file of an avatar number: locate("<number>.bmp").
QString path(qint64 number);

// The bitmap for a value, read from disk each time; a null image when there is none.
QImage load(const QVariant& value);

} // namespace avatar
