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
    Button5 = new QPushButton(QStringLiteral("Import Driver Data"), form);
    Button5->setObjectName(QStringLiteral("Button5"));
    Button5->setGeometry(640, 656, 178, 32);
    Button3 = new QPushButton(QStringLiteral("Import Leaderboard Data"), form);
    Button3->setObjectName(QStringLiteral("Button3"));
    Button3->setGeometry(824, 656, 170, 32);
}

void ImportControls::attach(TForm2* progress, QueryObject& dataSet, SqlWorkbench& workbench, const ShellValues& shell)
{
    m_progress = progress;
    m_workbench = &workbench;
    m_shell = &shell;
    progress->attach(dataSet.connection(), [this] { return inputs(); });
    connect(Button3, &QPushButton::clicked, this, [this] { guarded([this] { Button3Click(); }); });
    connect(Button5, &QPushButton::clicked, this, [this] { guarded([this] { Button5Click(); }); });
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

void ImportControls::Button3Click()
{
    start(1, QStringLiteral("Race Data import progress - "));
}

void ImportControls::Button5Click()
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
