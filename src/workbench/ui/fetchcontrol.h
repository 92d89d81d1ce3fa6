#pragma once

#include <QObject>
#include <QString>

class QLabel;
class QPushButton;
class QShortcut;
class OpenResult;
class QWidget;
class StatementWait;

// The workbench's view of a result that is still being read: the first rows show at once and
// the rest come in the background; the status line counts them, a busy cursor shows while the
// window must wait for the engine, and Escape or the Stop button stops the statement.
class FetchControl : public QObject {
    Q_OBJECT

public:
    FetchControl(QWidget* area, OpenResult& openResult, QLabel* recordsLabel, QObject* parent = nullptr);

    // For the workbench's Tab order.
    QPushButton* stopButton() const { return m_stop; }

    // The status line's count: "Records: N" once every row is read, "Records: N…" while rows
    // are still to come, and "(stopped)" after it when the rest was dropped; under a filter
    // "Records: <shown> of <read>".
    static QString recordsText(const OpenResult& openResult);

private:
    void stop();
    void showState();

    OpenResult& m_openResult;
    QPushButton* m_stop;
    QLabel* m_records;
    QShortcut* m_escape;
    StatementWait* m_wait;
    bool m_waiting = false;
};
