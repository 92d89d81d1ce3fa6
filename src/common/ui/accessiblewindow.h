#pragma once

struct QMetaObject;

// The viewers are plain widgets shown as windows of their own. Qt tells assistive technology
// such a widget is a client area; this makes every widget of the given class a window named by
// its title, as dialogs and main windows are. Each class is registered once.
void installWindowAccessibility(const QMetaObject& windowClass);
