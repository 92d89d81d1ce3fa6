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
    QAction* executeAction;    // Ctrl+Enter, F5: the selection, or the whole text
    QAction* executeAtCursorAction;   // Shift+F5: the statement at the caret
    QAction* openAction;       // Ctrl+O
    QAction* saveAction;       // Ctrl+S
    QAction* previousAction;   // Ctrl+Up
    QAction* nextAction;       // Ctrl+Down
    QMenu* historyMenu;         // the latest statements, newest first
    QAction* lineNumbersAction;

    static constexpr int listed = 25;   // statements in the History submenu

private:
    void fillHistory();

    SqlWorkbench& m_workbench;
    SqlHistory m_history;
};
