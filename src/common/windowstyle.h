#pragma once

#include <QSize>

class QWidget;

namespace windowstyle {

// A single fixed border with the system menu and a minimise box only; the client area is
// exactly `client` and cannot be resized or maximised.
void makeFixed(QWidget* window, const QSize& client);

// Escape and Ctrl+W close the window, as they close a dialog.
void closeWithKeys(QWidget* window);

// Shrinks a window, frame included, to the screen's available area.
void fitIntoScreen(QWidget* window);

// Moves a window so that it is centred on another one (or on its screen when `over` is null).
void centreOn(QWidget* window, const QWidget* over);

} // namespace windowstyle
