#include "importcontrols.h"

#include "common/errordisplay.h"
#include "common/periodchoice.h"
#include "common/programpaths.h"
#include "common/settings.h"
#include "common/shellvalues.h"
#include "db/queryobject.h"
#include "workbench/sqlworkbench.h"
#include "import/importwindow.h"

#include <QLabel>
#include <QPushButton>

ImportControls::ImportControls(QWidget* form, QObject* parent) : QObject(parent)
{
    period = new PeriodChoice(form, QStringLiteral("Import type:"), QRect(824, 548, 169, 97),
                              QPoint(944, 586), QPoint(944, 614));
    importDriversButton = new QPushButton(QStringLiteral("Import Driver Data"), form);
    importDriversButton->setObjectName(QStringLiteral("importDriversButton"));
    importDriversButton->setGeometry(640, 656, 178, 32);
    importLeaderboardsButton = new QPushButton(QStringLiteral("Import Leaderboard Data"), form);
    importLeaderboardsButton->setObjectName(QStringLiteral("importLeaderboardsButton"));
    importLeaderboardsButton->setGeometry(824, 656, 170, 32);
}

void ImportControls::attach(ImportWindow* progress, QueryObject& dataSet, SqlWorkbench& workbench, const ShellValues& shell)
{
    m_progress = progress;
    m_workbench = &workbench;
    m_shell = &shell;
    progress->attach(dataSet.connection(), [this] { return inputs(); });
    connect(importLeaderboardsButton, &QPushButton::clicked, this, [this] { guarded([this] { importLeaderboards(); }); });
    connect(importDriversButton, &QPushButton::clicked, this, [this] { guarded([this] { importDrivers(); }); });
}

ImportInputs ImportControls::inputs() const
{
    ImportInputs values;
    values.serviceBase = m_shell->serviceBase();
    values.shard = m_shell->currentShard();
    values.drivers = m_shell->driverList();
    values.periodType = period->periodType();
    values.periodValue = period->periodValue();
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
