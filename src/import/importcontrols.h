#pragma once

#include "import/jobhost.h"

#include <QList>
#include <QObject>

class PeriodChoice;
class QPushButton;
class QueryObject;
class QWidget;
class ShellValues;
class SqlWorkbench;
class ImportWindow;

// The main window's import controls: the import type with its day and week numbers, and the
// two buttons that start an import. Made on the window's form under their names (periodGroup
// "Import type:", daysEdit, daysBeforeToday, weekEdit, weekNumber, importDriversButton,
// importLeaderboardsButton); the window's layout places them.
class ImportControls : public QObject {
    Q_OBJECT

public:
    explicit ImportControls(QWidget* form, QObject* parent = nullptr);

    // Once, after the progress window exists: the buttons start imports in `progress`, whose
    // query object works on the connection of `dataSet`. The starters close `dataSet` and reset
    // the workbench's status line; the jobs read the shard, the driver names and the service
    // base from `shell`.
    void attach(ImportWindow* progress, QueryObject& dataSet, SqlWorkbench& workbench, const ShellValues& shell);

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
    ImportWindow* m_progress = nullptr;
    SqlWorkbench* m_workbench = nullptr;
    const ShellValues* m_shell = nullptr;
};
