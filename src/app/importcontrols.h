#pragma once

#include "import/jobhost.h"

#include <QList>
#include <QObject>

class PeriodChoice;
class QPushButton;
class OpenResult;
class QWidget;
class CurrentChoices;
class SqlWorkbench;
class ImportWindow;

// The main window's import controls: the import type with its day and week numbers, and the
// two buttons that start an import. Made on the main window's editor area under their names (periodGroup
// "Import type:", daysEdit, daysBeforeToday, weekEdit, weekNumber, importDriversButton,
// importLeaderboardsButton); the window's layout places them.
class ImportControls : public QObject {
    Q_OBJECT

public:
    explicit ImportControls(QWidget* area, QObject* parent = nullptr);

    // Once, after the progress window exists: the buttons start imports in `importWindow`, whose
    // open result works on the connection of `openResult`. The starters close `openResult` and reset
    // the workbench's status line; the jobs read the shard, the driver names and the service
    // base from `choices`.
    void attach(ImportWindow* importWindow, OpenResult& openResult, SqlWorkbench& workbench, const CurrentChoices& choices);

    // What a job started now works with.
    ImportInputs inputs() const;

    void setWeekNumber(int week);

    // The controls in the order Tab walks them.
    QList<QWidget*> tabOrder() const;

public Q_SLOTS:
    void importLeaderboards();
    void importDrivers();

private:
    void start(int importMode, const QString& caption);

    PeriodChoice* m_period;
    QPushButton* m_importDrivers;        // "Import Driver Data"
    QPushButton* m_importLeaderboards;   // "Import Leaderboard Data"
    ImportWindow* m_importWindow = nullptr;
    SqlWorkbench* m_workbench = nullptr;
    const CurrentChoices* m_choices = nullptr;
};
