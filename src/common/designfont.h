#pragma once

#include <QFont>
#include <QFontMetrics>
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

// Room between the end of a label's text and the control beside it.
inline constexpr int labelGap = 4;

// The font narrowed just enough, down to three quarters of its width, for `text` to take at most
// `width` pixels. Labels are placed for the narrow dialog font; in a wider stand-in they would
// run into the control beside them, and the controls keep their places.
inline QFont narrowedToFit(QFont font, const QString& text, int width)
{
    for (int stretch = 99; stretch >= 75 && QFontMetrics(font).horizontalAdvance(text) > width; --stretch)
        font.setStretch(stretch);
    return font;
}
