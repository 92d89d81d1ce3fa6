#pragma once

#include "db/sqlhistory.h"

#include <QObject>

class QAction;
class QMenu;
class QMenuBar;
class SqlWorkbench;

// The main window's menu "SQL": the workbench's buttons with their keys, the statement history
// and the editor's line numbers. The keys work wherever the main window has the focus; those
// that walk the history only in the editor.
class SqlMenu : public QObject {
    Q_OBJECT

public:
    // Appended to the menu bar; the history lives in the file historyPath.
    SqlMenu(QMenuBar* menuBar, SqlWorkbench& workbench, const QString& historyPath, QObject* parent = nullptr);

    QMenu* menu;
    QAction* ExecuteSql1;    // Ctrl+Enter, F5
    QAction* OpenSql1;       // Ctrl+O
    QAction* SaveSql1;       // Ctrl+S
    QAction* PreviousSql1;   // Ctrl+Up
    QAction* NextSql1;       // Ctrl+Down
    QMenu* History1;         // the latest statements, newest first
    QAction* LineNumbers1;

    static constexpr int listed = 25;   // statements in the History submenu

private:
    void fillHistory();

    SqlWorkbench& m_workbench;
    SqlHistory m_history;
};
