#pragma once

#include <QSize>

class QWidget;

namespace windowstyle {

// A window that opens with its client area at the design size and may grow (the system menu,
// minimise and maximise boxes) but not become smaller: its controls are placed for that size.
void makeGrowable(QWidget* window, const QSize& designSize);

// Escape and Ctrl+W close the window, as they close a dialog.
void closeWithKeys(QWidget* window);

// Shrinks a window, frame included, to the screen's available area.
void fitIntoScreen(QWidget* window);

// Moves a window so that it is centred on another one (or on its screen when `over` is null).
void centreOn(QWidget* window, const QWidget* over);

} // namespace windowstyle
