#pragma once

#include <QObject>

// While it lives, the user's clicks, keys and wheel turns go nowhere: a window waiting for the
// service must not start a second action, and nothing is queued to run after the answer either.
// Close requests from the window manager still arrive (unlike with
// QEventLoop::ExcludeUserInputEvents, which on X11 holds them back too), and so does Escape on
// `escapeWindow`, which is that window's own close key.
class InputBlocker : public QObject {
public:
    explicit InputBlocker(QObject* escapeWindow = nullptr);
    ~InputBlocker() override;
    InputBlocker(const InputBlocker&) = delete;
    InputBlocker& operator=(const InputBlocker&) = delete;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QObject* m_escapeWindow;
};
