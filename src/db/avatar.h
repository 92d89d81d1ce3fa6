#pragma once

#include <QImage>
#include <QString>
#include <QVariant>
#include <optional>

namespace avatar {

// The avatar number an `image` value stands for: a whole number, given as a number or as text.
// Anything else (null, a fraction, other text) names no file.
std::optional<qint64> number(const QVariant& value);

// <program folder>/avatars/<number>.bmp
QString path(qint64 number);

// The bitmap for a value, read from disk each time; a null image when there is none.
QImage load(const QVariant& value);

} // namespace avatar
