#pragma once

#include <QObject>

class QSocketNotifier;

// Hands SIGTERM and SIGHUP (a session's logout, `kill`) to the event loop as received(), so the
// program can close its main window as the user would: the settings are saved and an import
// under way stops. A signal that was ignored when the program started (nohup) stays ignored.
// One object at a time; the signals' earlier handling comes back when it goes.
class CloseSignals : public QObject {
    Q_OBJECT
public:
    explicit CloseSignals(QObject* parent = nullptr);
    ~CloseSignals() override;
    CloseSignals(const CloseSignals&) = delete;
    CloseSignals& operator=(const CloseSignals&) = delete;

Q_SIGNALS:
    void received();

private:
    QSocketNotifier* m_notifier = nullptr;
};
