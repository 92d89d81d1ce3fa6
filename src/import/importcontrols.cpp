#include "importcontrols.h"

#include "common/errordisplay.h"
#include "common/periodchoice.h"
#include "common/radiogroup.h"
#include "common/programpaths.h"
#include "common/settings.h"
#include "common/shellvalues.h"
#include "db/queryobject.h"
#include "workbench/sqlworkbench.h"
#include "import/importwindow.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

ImportControls::ImportControls(QWidget* form, QObject* parent) : QObject(parent)
{
    m_period = new PeriodChoice(form, QStringLiteral("Import type:"));
    m_importDrivers = new QPushButton(QStringLiteral("Import Driver Data"), form);
    m_importDrivers->setObjectName(QStringLiteral("importDriversButton"));
    m_importLeaderboards = new QPushButton(QStringLiteral("Import Leaderboard Data"), form);
    m_importLeaderboards->setObjectName(QStringLiteral("importLeaderboardsButton"));
}

void ImportControls::setWeekNumber(int week)
{
    m_period->setWeekNumber(week);
}

QList<QWidget*> ImportControls::tabOrder() const
{
    return {m_period->periodGroup, m_period->daysEdit, m_period->weekEdit, m_importLeaderboards, m_importDrivers};
}

void ImportControls::attach(ImportWindow* progress, QueryObject& dataSet, SqlWorkbench& workbench, const ShellValues& shell)
{
    m_progress = progress;
    m_workbench = &workbench;
    m_shell = &shell;
    progress->attach(dataSet.connection(), [this] { return inputs(); });
    connect(m_importLeaderboards, &QPushButton::clicked, this, [this] { guarded([this] { importLeaderboards(); }); });
    connect(m_importDrivers, &QPushButton::clicked, this, [this] { guarded([this] { importDrivers(); }); });
}

ImportInputs ImportControls::inputs() const
{
    ImportInputs values;
    values.serviceBase = m_shell->serviceBase();
    values.shard = m_shell->currentShard();
    values.drivers = m_shell->driverList();
    values.periodType = m_period->periodType();
    values.periodValue = m_period->periodValue();
    // Read at every start, so an edit of racr.ini counts from the next import on.
    values.parallel = settings::parallelRequests(ProgramPaths::file(QStringLiteral("racr.ini")),
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
    if (m_progress->isVisible())
        return;
    m_progress->importMode = importMode;
    m_progress->setWindowTitle(caption + m_shell->currentShard());
    // The grid is emptied: the import changes the tables under an open result.
    m_workbench->closeResult();
    m_progress->exec();
}
