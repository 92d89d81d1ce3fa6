#pragma once

// Makes the widgets in a main window's menu bar corners (the "Info" bar at the right) part of
// what assistive technology sees: Qt's own menu bar interface lists the bar's entries only.
// Installed once; it serves the menu bar of every QMainWindow.
void installCornerAwareMenuBarAccessibility();
