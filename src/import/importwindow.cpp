#include "importwindow.h"

#include "common/error.h"
#include "common/errordisplay.h"
#include "common/responsive.h"
#include "common/designfont.h"
#include "common/windowstyle.h"
#include "db/queryobject.h"
#include "import/driverimport.h"
#include "import/leaderboardimport.h"
#include "import/cylindergauge.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QKeyEvent>
#include <QPlainTextEdit>
#include <QShowEvent>
#include <QTimer>
#include <QWindowStateChangeEvent>

TForm2::TForm2(QWidget* mainWindow) : QDialog(mainWindow)
{
    setObjectName(QStringLiteral("TForm2"));
    setWindowTitle(QStringLiteral("Data import progress"));
    windowstyle::makeFixed(this, QSize(354, 194));
    setFont(designFont(11));

    Memo1 = new QPlainTextEdit(this);
    Memo1->setObjectName(QStringLiteral("Memo1"));
    Memo1->setGeometry(16, 16, 321, 113);
    Memo1->setReadOnly(true);
    Memo1->setAccessibleName(QStringLiteral("Import log"));
    Memo1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);

    ProgressCyl1 = new ProgressCyl(this);
    ProgressCyl1->setObjectName(QStringLiteral("ProgressCyl1"));
    ProgressCyl1->setGeometry(16, 144, 321, 41);
    ProgressCyl1->setAccessibleName(QStringLiteral("Import progress"));
    connect(ProgressCyl1, &ProgressCyl::progressDone, this, &TForm2::ProgressCyl1ProgressDone);

    Timer1 = new QTimer(this);
    Timer1->setObjectName(QStringLiteral("Timer1"));
    Timer1->setInterval(110);
    connect(Timer1, &QTimer::timeout, this, &TForm2::Timer1Timer);
}

TForm2::~TForm2() = default;

void TForm2::attach(Connection& connection, std::function<ImportInputs()> inputs)
{
    if (ADOQuery1 == nullptr)
        ADOQuery1 = new QueryObject(connection, QStringLiteral("ADOQuery1"), this);
    m_inputs = std::move(inputs);
}

void TForm2::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    // A restore from the task bar shows the window again without being a new show.
    if (event->spontaneous())
        return;
    windowstyle::centreOn(this, parentWidget());
    FormShow();
}

void TForm2::FormShow()
{
    cancelFlag = 0;
    m_abort = false;
    m_closeWhenDone = false;
    ProgressCyl1->setPosition(0);
    Memo1->clear();
    Timer1->start();
}

void TForm2::Timer1Timer()
{
    Timer1->stop();   // one job per show
    m_running = true;
    guarded([this] { runJob(); });
    m_running = false;
    if (m_closeWhenDone) {
        m_closeWhenDone = false;
        QDialog::done(QDialog::Rejected);
    }
}

void TForm2::runJob()
{
    if (ADOQuery1 == nullptr || !m_inputs)
        throw racr::Error(QStringLiteral("The import window was shown before it was given a database connection."));
    const ImportInputs inputs = m_inputs();
    if (importMode == 1)
        LeaderboardImport(inputs, *ADOQuery1, *this).run();
    else
        DriverImport(inputs, *ADOQuery1, *this).run();
}

void TForm2::closeEvent(QCloseEvent* event)
{
    cancelFlag = -1;
    if (m_running && !m_abort.exchange(true))
        logLine(QStringLiteral("Stopping\u2026"));
    QDialog::closeEvent(event);
}

void TForm2::done(int result)
{
    if (m_running) {
        // The request under way is dropped; the window closes as soon as the job has returned.
        m_closeWhenDone = true;
        return;
    }
    // Closed before the timer fired: the job never starts.
    Timer1->stop();
    QDialog::done(result);
}

void TForm2::keyPressEvent(QKeyEvent* event)
{
    // Escape is a close request like the close button, so it stops a running job too.
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        close();
        return;
    }
    QDialog::keyPressEvent(event);
}

void TForm2::changeEvent(QEvent* event)
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

void TForm2::ProgressCyl1ProgressDone()
{
    connect(ProgressCyl1, &ProgressCyl::clicked, this, &TForm2::pclick, Qt::UniqueConnection);
}

void TForm2::pclick()
{
    done(QDialog::Rejected);
}

void TForm2::logLine(const QString& line)
{
    Memo1->appendPlainText(line);
}

void TForm2::setGaugeMaximum(int maximum)
{
    ProgressCyl1->setMaximum(maximum);
}

int TForm2::gaugeMaximum() const
{
    return ProgressCyl1->maximum();
}

void TForm2::setGaugePosition(int position)
{
    ProgressCyl1->setPosition(position);
}

void TForm2::stepGauge()
{
    ProgressCyl1->stepIt();
}

void TForm2::processPendingEvents()
{
    QCoreApplication::processEvents();
}

void TForm2::runRequest(const std::function<void()>& request)
{
    runResponsive(request, &m_abort, this);
}
