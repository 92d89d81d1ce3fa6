#pragma once

#include "import/jobhost.h"

#include <QDialog>
#include <atomic>
#include <functional>

class Connection;
class CylinderGauge;
class QPlainTextEdit;
class QTimer;
class OpenResult;

// The modal import progress window: the log and the gauge of one import job. The job runs from
// the window's one-shot timer; a close request sets the cancel flag, which the job reads after
// each unit of work. The log and the gauge are its own; tests and assistive technology find them
// by their object names.
class ImportWindow : public QDialog, public JobHost {
    Q_OBJECT

public:
    explicit ImportWindow(QWidget* mainWindow);
    ~ImportWindow() override;

    // Once, before the first show: the import's query is made on `connection`, and a job reads its values
    // from `inputs` when it starts (the main window takes no input meanwhile).
    void attach(Connection& connection, std::function<ImportInputs()> inputs);

    int importMode = 1;   // 1 leaderboard import, 2 driver data import; written by the starters
    int cancelFlag = 0;   // 0 go on, -1 the window was asked to close

    bool jobRunning() const { return m_running; }

    // A close while a job runs waits for the job to return; the modal show then ends at once.
    void done(int result) override;

    void logLine(const QString& line) override;
    void setGaugeMaximum(int maximum) override;
    int gaugeMaximum() const override;
    void setGaugePosition(int position) override;
    void stepGauge() override;
    void processPendingEvents() override;
    bool cancelRequested() const override { return cancelFlag != 0; }
    void runRequest(const std::function<void()>& request) override;
    const std::atomic<bool>* abortFlag() const override { return &m_abort; }

public Q_SLOTS:
    void startJob();
    void gaugeDone();
    void gaugeClicked();

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void changeEvent(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void prepareJob();
    void runJob();

    QPlainTextEdit* m_importLog;
    CylinderGauge* m_gauge;
    QTimer* m_jobTimer;
    OpenResult* m_importQuery = nullptr;
    std::function<ImportInputs()> m_inputs;
    bool m_running = false;
    bool m_closeWhenDone = false;
    std::atomic<bool> m_abort = false;   // the request under way is dropped (a close request)
};
