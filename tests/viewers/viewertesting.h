#pragma once

#include <QString>
#include <QTextDocument>

// What a reader sees of a page: its text as the page area lays it out, non-breaking spaces
// read as blanks.
inline QString pageText(const QString& html)
{
    QTextDocument document;
    document.setHtml(html);
    return document.toPlainText().replace(QChar(0x00A0), QLatin1Char(' '));
}

#include <ostream>

// Readable failure messages for texts and lists of texts.
inline void PrintTo(const QString& text, std::ostream* out)
{
    *out << '"' << text.toStdString() << '"';
}
