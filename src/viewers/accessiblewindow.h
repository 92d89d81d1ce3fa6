#pragma once

// The viewers are plain widgets shown as windows of their own. Qt tells assistive technology
// such a widget is a client area; this makes every one of them a window named by its title,
// as dialogs and main windows are. Installed once.
void installViewerWindowAccessibility();
