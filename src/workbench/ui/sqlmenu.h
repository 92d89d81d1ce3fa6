#pragma once

#include "workbench/sqlhistory.h"

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

    // Named sqlMenu; its entries executeAction (Ctrl+Enter, F5: the selection, or the whole
    // text), executeAtCursorAction (Shift+F5: the statement at the caret), openAction (Ctrl+O),
    // saveAction (Ctrl+S), previousAction (Ctrl+Up), nextAction (Ctrl+Down), historyMenu (the
    // latest statements, newest first) and lineNumbersAction.

    static constexpr int listed = 25;   // statements in the History submenu

private:
    void fillHistory();

    SqlWorkbench& m_workbench;
    SqlHistory m_history;
    QMenu* m_menu;
    QMenu* m_historyMenu;
};
