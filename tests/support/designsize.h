#pragma once

#include <QMap>
#include <QRect>
#include <QString>

class QWidget;

// Qt's own Fusion style and palette, and Liberation Sans (fonts-liberation2, a build dependency)
// as the application's font: the windows then look the same on every machine the build's
// dependencies are installed on, whatever the desktop's theme. Called before a window is made.
void useDesignSizeLook();

// Compares a shown window at its design size with the table `folder/name.json` (the place of
// every named control in the window) and the picture `folder/name.png`. With RACR_WRITE_DESIGNSIZE
// set in the environment it writes both instead: that is how they were taken from the windows as
// they were before the controls were placed by tables.
void expectAsDesigned(QWidget& window, const QString& folder, const QString& name);

// The place of every named control in the window, by name (a repeated name counted on: "down#2").
QMap<QString, QRect> controlPlaces(const QWidget& window);

// Resizes a shown window to `size` and waits until its controls are laid out for it.
void resizeShown(QWidget& window, const QSize& size);
