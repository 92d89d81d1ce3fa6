#include "app/closesignals.h"

#include <QSocketNotifier>

#include <array>
#include <csignal>
#include <sys/socket.h>
#include <unistd.h>

namespace {

constexpr std::array kCloseSignals = {SIGTERM, SIGHUP};

// A handler may do next to nothing: it writes one byte, which the event loop reads.
int wakeFds[2] = {-1, -1};
struct sigaction previous[kCloseSignals.size()] = {};

void onCloseSignal(int)
{
    const char byte = 1;
    [[maybe_unused]] const ssize_t written = ::write(wakeFds[0], &byte, 1);
}

} // namespace

CloseSignals::CloseSignals(QObject* parent) : QObject(parent)
{
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0, wakeFds) != 0)
        return;   // no way to hear the signals: they end the program as before
    m_notifier = new QSocketNotifier(wakeFds[1], QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, [this] {
        char bytes[16];
        while (::read(wakeFds[1], bytes, sizeof bytes) > 0) {
        }
        Q_EMIT received();
    });
    struct sigaction action = {};
    action.sa_handler = onCloseSignal;
    action.sa_flags = SA_RESTART;
    sigemptyset(&action.sa_mask);
    for (std::size_t i = 0; i < kCloseSignals.size(); ++i) {
        sigaction(kCloseSignals[i], nullptr, &previous[i]);
        if (previous[i].sa_handler != SIG_IGN)
            sigaction(kCloseSignals[i], &action, nullptr);
    }
}

CloseSignals::~CloseSignals()
{
    if (m_notifier == nullptr)
        return;
    for (std::size_t i = 0; i < kCloseSignals.size(); ++i)
        sigaction(kCloseSignals[i], &previous[i], nullptr);
    delete m_notifier;
    ::close(wakeFds[0]);
    ::close(wakeFds[1]);
    wakeFds[0] = wakeFds[1] = -1;
}
