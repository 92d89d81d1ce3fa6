#include "import/ui/importwindow.h"

#include "common/error.h"
#include "common/ui/errordisplay.h"
#include "common/ui/responsive.h"
#include "common/designfont.h"
#include "common/ui/designlayout.h"
#include "common/ui/windowstyle.h"
#include "db/openresult.h"
#include "import/driverimport.h"
#include "import/leaderboardimport.h"
#include "import/ui/cylindergauge.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QKeyEvent>
#include <QPlainTextEdit>
#include <QShowEvent>
#include <QTimer>
#include <QWindowStateChangeEvent>

ImportWindow::ImportWindow(QWidget* mainWindow) : QDialog(mainWindow)
{
    setObjectName(QStringLiteral("ImportWindow"));
    setWindowTitle(QStringLiteral("Data import progress"));
    const QSize designSize(354, 194);
    windowstyle::makeGrowable(this, designSize);
    setFont(designFont(11));

    m_importLog = new QPlainTextEdit(this);
    m_importLog->setObjectName(QStringLiteral("importLog"));
    m_importLog->setReadOnly(true);
    m_importLog->setAccessibleName(QStringLiteral("Import log"));
    m_importLog->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);

    m_gauge = new CylinderGauge(this);
    m_gauge->setObjectName(QStringLiteral("gauge"));
    m_gauge->setAccessibleName(QStringLiteral("Import progress"));
    connect(m_gauge, &CylinderGauge::progressDone, this, &ImportWindow::gaugeDone);

    // A larger window gives its room to the log; the gauge stays below it, as wide.
    auto* table = new DesignLayout(this, designSize);
    table->place(m_importLog, QRect(16, 16, 321, 113), Qt::RightEdge | Qt::BottomEdge);
    table->place(m_gauge, QRect(16, 144, 321, 41), Qt::RightEdge | Qt::TopEdge | Qt::BottomEdge);

    m_jobTimer = new QTimer(this);
    m_jobTimer->setObjectName(QStringLiteral("jobTimer"));
    m_jobTimer->setInterval(110);
    connect(m_jobTimer, &QTimer::timeout, this, &ImportWindow::startJob);
}

ImportWindow::~ImportWindow() = default;

void ImportWindow::attach(Connection& connection, std::function<ImportInputs()> inputs)
{
    if (m_importQuery == nullptr)
        m_importQuery = new OpenResult(connection, kImportMessageName, this);
    m_inputs = std::move(inputs);
}

void ImportWindow::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    // A restore from the task bar shows the window again without being a new show.
    if (event->spontaneous())
        return;
    windowstyle::centreOn(this, parentWidget());
    prepareJob();
}

void ImportWindow::prepareJob()
{
    cancelFlag = 0;
    m_abort = false;
    m_closeWhenDone = false;
    m_gauge->setPosition(0);
    m_importLog->clear();
    m_jobTimer->start();
}

void ImportWindow::startJob()
{
    m_jobTimer->stop();   // one job per show
    m_running = true;
    guarded([this] { runJob(); });
    m_running = false;
    if (m_closeWhenDone) {
        m_closeWhenDone = false;
        QDialog::done(QDialog::Rejected);
    }
}

void ImportWindow::runJob()
{
    if (m_importQuery == nullptr || !m_inputs)
        throw racr::Error(QStringLiteral("The import window was shown before it was given a database connection."));
    const ImportInputs inputs = m_inputs();
    if (importMode == 1)
        LeaderboardImport(inputs, *m_importQuery, *this).run();
    else
        DriverImport(inputs, *m_importQuery, *this).run();
}

void ImportWindow::closeEvent(QCloseEvent* event)
{
    cancelFlag = -1;
    if (m_running && !m_abort.exchange(true))
        logLine(QStringLiteral("Stopping\u2026"));
    QDialog::closeEvent(event);
}

void ImportWindow::done(int result)
{
    if (m_running) {
        // The request under way is dropped; the window closes as soon as the job has returned.
        m_closeWhenDone = true;
        return;
    }
    // Closed before the timer fired: the job never starts.
    m_jobTimer->stop();
    QDialog::done(result);
}

void ImportWindow::keyPressEvent(QKeyEvent* event)
{
    // Escape is a close request like the close button, so it stops a running job too.
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        close();
        return;
    }
    QDialog::keyPressEvent(event);
}

void ImportWindow::changeEvent(QEvent* event)
{
    QDialog::changeEvent(event);
    if (event->type() != QEvent::WindowStateChange || parentWidget() == nullptr)
        return;
    // The main window follows: the program goes to the task bar and comes back as a whole.
    QWidget* mainWindow = parentWidget()->window();
    const auto* change = static_cast<QWindowStateChangeEvent*>(event);
    if (windowState() & Qt::WindowMinimized)
        mainWindow->setWindowState(mainWindow->windowState() | Qt::WindowMinimized);
    else if (change->oldState() & Qt::WindowMinimized)
        mainWindow->setWindowState(mainWindow->windowState() & ~Qt::WindowMinimized);
}

void ImportWindow::gaugeDone()
{
    connect(m_gauge, &CylinderGauge::clicked, this, &ImportWindow::gaugeClicked, Qt::UniqueConnection);
}

void ImportWindow::gaugeClicked()
{
    done(QDialog::Rejected);
}

void ImportWindow::logLine(const QString& line)
{
    m_importLog->appendPlainText(line);
}

void ImportWindow::setGaugeMaximum(int maximum)
{
    m_gauge->setMaximum(maximum);
}

int ImportWindow::gaugeMaximum() const
{
    return m_gauge->maximum();
}

void ImportWindow::setGaugePosition(int position)
{
    m_gauge->setPosition(position);
}

void ImportWindow::stepGauge()
{
    m_gauge->stepIt();
}

void ImportWindow::processPendingEvents()
{
    QCoreApplication::processEvents();
}

void ImportWindow::runRequest(const std::function<void()>& request)
{
    runResponsive(request, &m_abort, this);
}
