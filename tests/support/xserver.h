#pragma once

#include <QProcess>
#include <QString>
#include <QWidget>

// A private X server (Xvfb) for tests whose fault lies in the window system's path: a close
// sent by the window manager, keys typed through the server. Start it before the QApplication
// and the program's windows talk to it over the xcb platform.
class XServer {
public:
    XServer();   // starts Xvfb on a free display and points DISPLAY at it
    ~XServer();
    XServer(const XServer&) = delete;
    XServer& operator=(const XServer&) = delete;

    QString display() const { return m_display; }

private:
    QProcess m_process;
    QString m_display;
};

// What a window manager sends when the user clicks a window's close button: a WM_DELETE_WINDOW
// client message, through the X server, to the window's X window. Returns false when the server
// could not be reached.
bool sendCloseRequest(const QWidget& window);

// Types keys as a keyboard does, through the X server's XTEST extension, to the window that has
// the input focus: X key names joined by '+' for chords ("ctrl+Return", "KP_Enter", "F5").
// Returns false when xdotool is missing or failed (apt-get install xdotool).
bool typeKeys(const QStringList& keys);
