#pragma once

#include <QFont>
#include <QStringList>

// The windows' controls are placed for the classic 8-point dialog font (11 pixels high). Where
// that family is missing, one with the same narrow metrics keeps texts inside their controls.
inline QFont designFont(int pixelSize, bool bold = false)
{
    QFont font;
    font.setFamilies({QStringLiteral("MS Sans Serif"), QStringLiteral("Microsoft Sans Serif"), QStringLiteral("Arial"),
                      QStringLiteral("Liberation Sans"), QStringLiteral("Nimbus Sans"), QStringLiteral("Helvetica")});
    font.setStyleHint(QFont::SansSerif);
    font.setPixelSize(pixelSize);
    font.setBold(bold);
    return font;
}
