#pragma once

#include <QObject>

class QAbstractButton;
class QMouseEvent;

// While the engine works long on one statement, the windows keep painting and take Escape, a
// click on the Stop button and a close request, each of which asks to stop the statement. Any
// other input is dropped: nothing may use the connection in the middle of a statement.
class StatementWait : public QObject {
public:
    explicit StatementWait(QAbstractButton* stopButton, QObject* parent = nullptr);

    // Handles what waits in the event queue; true when the user asked to stop.
    bool operator()();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    bool pressesStopButton(QObject* watched, const QMouseEvent* press) const;

    QAbstractButton* m_stopButton;
    bool m_stopAsked = false;
};
