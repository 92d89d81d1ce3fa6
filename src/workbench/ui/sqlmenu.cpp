#include "workbench/ui/sqlmenu.h"

#include "common/ui/dialogs.h"
#include "workbench/ui/sqleditor.h"
#include "workbench/ui/sqlworkbench.h"
#include "common/ui/errordisplay.h"

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
    m_menu = new QMenu(QStringLiteral("&SQL"), menuBar);
    m_menu->setObjectName(QStringLiteral("sqlMenu"));
    const auto add = [this](const char* name, const QString& text, const QList<QKeySequence>& keys) {
        QAction* action = m_menu->addAction(text);
        action->setObjectName(QLatin1String(name));
        action->setShortcuts(keys);
        return action;
    };

    // The buttons do the work, so a disabled button (procedure mode) also refuses its key, and
    // the menu follows the buttons' state when it opens.
    QAction* executeAction = add("executeAction", QStringLiteral("&Execute SQL"),
                      {QKeySequence(Qt::CTRL | Qt::Key_Enter), QKeySequence(Qt::CTRL | Qt::Key_Return),
                       QKeySequence(Qt::Key_F5)});
    QAction* executeAtCursorAction = add("executeAtCursorAction", QStringLiteral("Execute the statement at the &cursor"),
                                {QKeySequence(Qt::SHIFT | Qt::Key_F5)});
    QAction* openAction = add("openAction", QStringLiteral("&Open SQL…"), {QKeySequence(Qt::CTRL | Qt::Key_O)});
    QAction* saveAction = add("saveAction", QStringLiteral("&Save SQL…"), {QKeySequence(Qt::CTRL | Qt::Key_S)});
    connect(executeAction, &QAction::triggered, &workbench, &SqlWorkbench::clickRun);
    connect(executeAtCursorAction, &QAction::triggered, this, [this] {
        if (m_workbench.runEnabled())
            guarded([this] { m_workbench.runStatementAtCursor(); });
    });
    connect(openAction, &QAction::triggered, &workbench, &SqlWorkbench::clickOpen);
    connect(saveAction, &QAction::triggered, &workbench, &SqlWorkbench::clickSave);
    connect(m_menu, &QMenu::aboutToShow, this, [=, this] {
        executeAction->setEnabled(m_workbench.runEnabled());
        executeAtCursorAction->setEnabled(m_workbench.runEnabled());
        openAction->setEnabled(m_workbench.fileCommandsEnabled());
        saveAction->setEnabled(m_workbench.fileCommandsEnabled());
    });

    m_menu->addSeparator();
    // In the grid or a list, Ctrl+Up and Ctrl+Down keep their own meaning.
    QAction* previousAction = add("previousAction", QStringLiteral("&Previous statement"), {QKeySequence(Qt::CTRL | Qt::Key_Up)});
    QAction* nextAction = add("nextAction", QStringLiteral("&Next statement"), {QKeySequence(Qt::CTRL | Qt::Key_Down)});
    for (QAction* action : {previousAction, nextAction})
        workbench.addEditorAction(action);
    connect(previousAction, &QAction::triggered, this, [this] {
        if (const auto text = m_history.older(m_workbench.statement()))
            m_workbench.setStatement(*text, true);
    });
    connect(nextAction, &QAction::triggered, this, [this] {
        if (const auto text = m_history.newer())
            m_workbench.setStatement(*text, true);
    });
    m_historyMenu = m_menu->addMenu(QStringLiteral("&History"));
    m_historyMenu->setObjectName(QStringLiteral("historyMenu"));
    connect(m_historyMenu, &QMenu::aboutToShow, this, &SqlMenu::fillHistory);
    // A statement is kept whether it succeeds or not: a failed one is the one most often fixed
    // and run again. The history is a comfort, so a file that cannot be written stops nothing.
    connect(&workbench, &SqlWorkbench::statementRun, this, [this](const QString& text) { m_history.add(text); });
    // Said once, when the window is up rather than while it is being made.
    if (!m_history.problem().isEmpty())
        QTimer::singleShot(0, this, [this] {
            Dialogs::instance().message(QStringLiteral("RACR tool"), m_history.problem(), Dialogs::Icon::Information);
        });

    m_menu->addSeparator();
    QAction* lineNumbersAction = m_menu->addAction(QStringLiteral("&Line numbers"));
    lineNumbersAction->setObjectName(QStringLiteral("lineNumbersAction"));
    lineNumbersAction->setCheckable(true);
    lineNumbersAction->setChecked(workbench.lineNumbersShown());
    connect(lineNumbersAction, &QAction::toggled, &workbench, &SqlWorkbench::setLineNumbersShown);

    menuBar->addMenu(m_menu);
}

void SqlMenu::fillHistory()
{
    m_historyMenu->clear();
    const QStringList entries = m_history.entries();
    for (qsizetype i = entries.size() - 1; i >= 0 && i >= entries.size() - listed; --i) {
        const QString statement = entries.at(i);
        QAction* action = m_historyMenu->addAction(menuText(statement));
        action->setToolTip(statement);
        connect(action, &QAction::triggered, this, [this, statement] { m_workbench.setStatement(statement, true); });
    }
    if (entries.isEmpty())
        m_historyMenu->addAction(QStringLiteral("(no statements yet)"))->setEnabled(false);
}
