#pragma once

#include <QString>
#include <ostream>

// Readable failure messages for texts, and for lists of them, instead of their bytes.
inline void PrintTo(const QString& text, std::ostream* out)
{
    *out << '"' << text.toStdString() << '"';
}
