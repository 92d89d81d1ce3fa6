#include "app/importcontrols.h"

#include "common/ui/errordisplay.h"
#include "common/ui/periodchoice.h"
#include "common/ui/radiogroup.h"
#include "common/programpaths.h"
#include "common/settings.h"
#include "common/currentchoices.h"
#include "db/openresult.h"
#include "workbench/ui/sqlworkbench.h"
#include "import/ui/importwindow.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

ImportControls::ImportControls(QWidget* area, QObject* parent) : QObject(parent)
{
    m_period = new PeriodChoice(area, QStringLiteral("Import type:"));
    m_importDrivers = new QPushButton(QStringLiteral("Import Driver Data"), area);
    m_importDrivers->setObjectName(QStringLiteral("importDriversButton"));
    m_importLeaderboards = new QPushButton(QStringLiteral("Import Leaderboard Data"), area);
    m_importLeaderboards->setObjectName(QStringLiteral("importLeaderboardsButton"));
}

void ImportControls::setWeekNumber(int week)
{
    m_period->setWeekNumber(week);
}

QList<QWidget*> ImportControls::tabOrder() const
{
    return m_period->tabOrder() + QList<QWidget*>{m_importLeaderboards, m_importDrivers};
}

void ImportControls::attach(ImportWindow* importWindow, OpenResult& openResult, SqlWorkbench& workbench, const CurrentChoices& choices)
{
    m_importWindow = importWindow;
    m_workbench = &workbench;
    m_choices = &choices;
    importWindow->attach(openResult.connection(), [this] { return inputs(); });
    connect(m_importLeaderboards, &QPushButton::clicked, this, [this] { guarded([this] { importLeaderboards(); }); });
    connect(m_importDrivers, &QPushButton::clicked, this, [this] { guarded([this] { importDrivers(); }); });
}

ImportInputs ImportControls::inputs() const
{
    ImportInputs values;
    values.serviceBase = m_choices->serviceBase();
    values.shard = m_choices->currentShard();
    values.drivers = m_choices->driverList();
    values.periodType = m_period->periodType();
    values.periodValue = m_period->periodValue();
    // Read at every start, so an edit of racr.ini counts from the next import on.
    values.parallel = settings::parallelRequests(ProgramPaths::settingsFile(),
                                                 racr::ParallelFetch::kDefaultParallel, racr::ParallelFetch::kMaxParallel);
    return values;
}

void ImportControls::importLeaderboards()
{
    start(1, QStringLiteral("Race Data import progress - "));
}

void ImportControls::importDrivers()
{
    start(2, QStringLiteral("Driver Data import progress - "));
}

void ImportControls::start(int importMode, const QString& caption)
{
    // One import at a time: the window is modal, but assistive technology can still press a
    // button of the main window behind it.
    if (m_importWindow->isVisible())
        return;
    m_importWindow->importMode = importMode;
    m_importWindow->setWindowTitle(caption + m_choices->currentShard());
    // The grid is emptied: the import changes the tables under an open result.
    m_workbench->closeResult();
    m_importWindow->exec();
}
