#include "xserver.h"

#include "testwatchdog.h"

#include <QThread>

#include <xcb/xcb.h>

#include <cstdlib>
#include <cstring>
#include <memory>
#include <stdexcept>
#include <unistd.h>

namespace {
// RACR_TEST_SCREEN sets the screen of a test program that needs a smaller one (e.g. 1280x800x24).
QString screenSize()
{
    const QString asked = qEnvironmentVariable("RACR_TEST_SCREEN");
    return asked.isEmpty() ? QStringLiteral("1280x1024x24") : asked;
}
} // namespace

XServer::XServer()
{
    int fds[2];
    if (::pipe(fds) != 0)
        throw std::runtime_error("no pipe for Xvfb's display number");
    // -displayfd: Xvfb picks a free display and writes its number once it accepts connections.
    m_process.setProgram(QStringLiteral("Xvfb"));
    m_process.setArguments({QStringLiteral("-displayfd"), QString::number(fds[1]), QStringLiteral("-screen"),
                            QStringLiteral("0"), screenSize(), QStringLiteral("-nolisten"),
                            QStringLiteral("tcp")});
    m_process.setChildProcessModifier([fd = fds[0]] {
        ::close(fd);
        endWithParent();
    });
    m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    m_process.start();
    ::close(fds[1]);
    if (!m_process.waitForStarted(10'000)) {
        ::close(fds[0]);
        throw std::runtime_error("Xvfb did not start (apt-get install xvfb)");
    }
    QByteArray number;
    char c = 0;
    while (::read(fds[0], &c, 1) == 1 && c != '\n')
        number.append(c);
    ::close(fds[0]);
    if (number.isEmpty())
        throw std::runtime_error("Xvfb named no display");
    m_display = QStringLiteral(":") + QString::fromLatin1(number);
    qputenv("DISPLAY", m_display.toLatin1());
}

XServer::~XServer()
{
    m_process.terminate();
    m_process.waitForFinished(5'000);
}

namespace {

xcb_atom_t atom(xcb_connection_t* connection, const char* name)
{
    const xcb_intern_atom_cookie_t cookie = xcb_intern_atom(connection, 0, uint16_t(std::strlen(name)), name);
    std::unique_ptr<xcb_intern_atom_reply_t, decltype(&std::free)> reply(
        xcb_intern_atom_reply(connection, cookie, nullptr), &std::free);
    return reply ? reply->atom : XCB_ATOM_NONE;
}

} // namespace

bool sendCloseRequest(const QWidget& window)
{
    std::unique_ptr<xcb_connection_t, decltype(&xcb_disconnect)> connection(xcb_connect(nullptr, nullptr),
                                                                          &xcb_disconnect);
    if (xcb_connection_has_error(connection.get()))
        return false;
    xcb_client_message_event_t event = {};
    event.response_type = XCB_CLIENT_MESSAGE;
    event.format = 32;
    event.window = xcb_window_t(window.window()->winId());
    event.type = atom(connection.get(), "WM_PROTOCOLS");
    event.data.data32[0] = atom(connection.get(), "WM_DELETE_WINDOW");
    event.data.data32[1] = XCB_CURRENT_TIME;
    // Checked, so the server has handled the request before this connection goes: requests still
    // unread when a client disconnects may be dropped.
    const xcb_void_cookie_t cookie = xcb_send_event_checked(connection.get(), 0, event.window,
                                                            XCB_EVENT_MASK_NO_EVENT, reinterpret_cast<const char*>(&event));
    std::unique_ptr<xcb_generic_error_t, decltype(&std::free)> error(xcb_request_check(connection.get(), cookie),
                                                                     &std::free);
    return error == nullptr;
}

bool typeKeys(const QStringList& keys)
{
    return QProcess::execute(QStringLiteral("xdotool"), QStringList{QStringLiteral("key")} + keys) == 0;
}
