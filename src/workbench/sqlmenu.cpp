#include "sqlmenu.h"

#include "common/dialogs.h"
#include "workbench/sqleditor.h"
#include "workbench/sqlworkbench.h"
#include "common/errordisplay.h"

#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QTimer>

namespace {
// One line of a menu: the statement's words on a line, shortened, ampersands shown as such.
QString menuText(const QString& statement)
{
    QString text = statement.simplified();
    if (text.size() > 70)
        text = text.left(69) + QChar(0x2026);
    return text.replace(QLatin1Char('&'), QStringLiteral("&&"));
}
} // namespace

SqlMenu::SqlMenu(QMenuBar* menuBar, SqlWorkbench& workbench, const QString& historyPath, QObject* parent)
    : QObject(parent), m_workbench(workbench), m_history(historyPath)
{
    menu = new QMenu(QStringLiteral("&SQL"), menuBar);
    menu->setObjectName(QStringLiteral("sqlMenu"));
    const auto add = [this](const char* name, const QString& text, const QList<QKeySequence>& keys) {
        QAction* action = menu->addAction(text);
        action->setObjectName(QLatin1String(name));
        action->setShortcuts(keys);
        return action;
    };

    // The buttons do the work, so a disabled button (procedure mode) also refuses its key, and
    // the menu follows the buttons' state when it opens.
    executeAction = add("executeAction", QStringLiteral("&Execute SQL"),
                      {QKeySequence(Qt::CTRL | Qt::Key_Enter), QKeySequence(Qt::CTRL | Qt::Key_Return),
                       QKeySequence(Qt::Key_F5)});
    executeAtCursorAction = add("executeAtCursorAction", QStringLiteral("Execute the statement at the &cursor"),
                                {QKeySequence(Qt::SHIFT | Qt::Key_F5)});
    openAction = add("openAction", QStringLiteral("&Open SQL…"), {QKeySequence(Qt::CTRL | Qt::Key_O)});
    saveAction = add("saveAction", QStringLiteral("&Save SQL…"), {QKeySequence(Qt::CTRL | Qt::Key_S)});
    connect(executeAction, &QAction::triggered, workbench.executeButton, &QPushButton::click);
    connect(executeAtCursorAction, &QAction::triggered, this, [this] {
        if (m_workbench.executeButton->isEnabled())
            guarded([this] { m_workbench.runStatementAtCursor(); });
    });
    connect(openAction, &QAction::triggered, workbench.openSqlButton, &QPushButton::click);
    connect(saveAction, &QAction::triggered, workbench.saveSqlButton, &QPushButton::click);
    connect(menu, &QMenu::aboutToShow, this, [this] {
        executeAction->setEnabled(m_workbench.executeButton->isEnabled());
        executeAtCursorAction->setEnabled(m_workbench.executeButton->isEnabled());
        openAction->setEnabled(m_workbench.openSqlButton->isEnabled());
        saveAction->setEnabled(m_workbench.saveSqlButton->isEnabled());
    });

    menu->addSeparator();
    // In the grid or a list, Ctrl+Up and Ctrl+Down keep their own meaning.
    previousAction = add("previousAction", QStringLiteral("&Previous statement"), {QKeySequence(Qt::CTRL | Qt::Key_Up)});
    nextAction = add("nextAction", QStringLiteral("&Next statement"), {QKeySequence(Qt::CTRL | Qt::Key_Down)});
    SqlEditor* editor = workbench.sqlEditor;
    for (QAction* action : {previousAction, nextAction}) {
        action->setShortcutContext(Qt::WidgetShortcut);
        editor->addAction(action);
    }
    connect(previousAction, &QAction::triggered, this, [this, editor] {
        if (const auto text = m_history.older(editor->text()))
            editor->setTextAtEnd(*text);
    });
    connect(nextAction, &QAction::triggered, this, [this, editor] {
        if (const auto text = m_history.newer())
            editor->setTextAtEnd(*text);
    });
    historyMenu = menu->addMenu(QStringLiteral("&History"));
    historyMenu->setObjectName(QStringLiteral("historyMenu"));
    connect(historyMenu, &QMenu::aboutToShow, this, &SqlMenu::fillHistory);
    // A statement is kept whether it succeeds or not: a failed one is the one most often fixed
    // and run again. The history is a comfort, so a file that cannot be written stops nothing.
    connect(&workbench, &SqlWorkbench::statementRun, this, [this](const QString& text) { m_history.add(text); });
    // Said once, when the window is up rather than while it is being made.
    if (!m_history.problem().isEmpty())
        QTimer::singleShot(0, this, [this] {
            Dialogs::instance().message(QStringLiteral("RACR tool"), m_history.problem(), Dialogs::Icon::Information);
        });

    menu->addSeparator();
    lineNumbersAction = menu->addAction(QStringLiteral("&Line numbers"));
    lineNumbersAction->setObjectName(QStringLiteral("lineNumbersAction"));
    lineNumbersAction->setCheckable(true);
    lineNumbersAction->setChecked(editor->lineNumbersShown());
    connect(lineNumbersAction, &QAction::toggled, editor, &SqlEditor::setLineNumbersShown);

    menuBar->addMenu(menu);
}

void SqlMenu::fillHistory()
{
    historyMenu->clear();
    const QStringList entries = m_history.entries();
    for (qsizetype i = entries.size() - 1; i >= 0 && i >= entries.size() - listed; --i) {
        const QString statement = entries.at(i);
        QAction* action = historyMenu->addAction(menuText(statement));
        action->setToolTip(statement);
        connect(action, &QAction::triggered, this, [this, statement] { m_workbench.sqlEditor->setTextAtEnd(statement); });
    }
    if (entries.isEmpty())
        historyMenu->addAction(QStringLiteral("(no statements yet)"))->setEnabled(false);
}
