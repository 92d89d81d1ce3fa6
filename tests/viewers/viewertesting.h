#pragma once

#include "support/qtprinting.h"

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
