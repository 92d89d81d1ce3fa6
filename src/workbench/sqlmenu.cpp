#include "sqlmenu.h"

#include "workbench/sqleditor.h"
#include "workbench/sqlworkbench.h"

#include <QMenu>
#include <QMenuBar>
#include <QPushButton>

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
    menu->setObjectName(QStringLiteral("Sql1"));
    const auto add = [this](const char* name, const QString& text, const QList<QKeySequence>& keys) {
        QAction* action = menu->addAction(text);
        action->setObjectName(QLatin1String(name));
        action->setShortcuts(keys);
        return action;
    };

    // The buttons do the work, so a disabled button (procedure mode) also refuses its key, and
    // the menu follows the buttons' state when it opens.
    ExecuteSql1 = add("ExecuteSql1", QStringLiteral("&Execute SQL"),
                      {QKeySequence(Qt::CTRL | Qt::Key_Enter), QKeySequence(Qt::CTRL | Qt::Key_Return),
                       QKeySequence(Qt::Key_F5)});
    OpenSql1 = add("OpenSql1", QStringLiteral("&Open SQL…"), {QKeySequence(Qt::CTRL | Qt::Key_O)});
    SaveSql1 = add("SaveSql1", QStringLiteral("&Save SQL…"), {QKeySequence(Qt::CTRL | Qt::Key_S)});
    connect(ExecuteSql1, &QAction::triggered, workbench.Speedbutton1, &QPushButton::click);
    connect(OpenSql1, &QAction::triggered, workbench.Button1, &QPushButton::click);
    connect(SaveSql1, &QAction::triggered, workbench.Button2, &QPushButton::click);
    connect(menu, &QMenu::aboutToShow, this, [this] {
        ExecuteSql1->setEnabled(m_workbench.Speedbutton1->isEnabled());
        OpenSql1->setEnabled(m_workbench.Button1->isEnabled());
        SaveSql1->setEnabled(m_workbench.Button2->isEnabled());
    });

    menu->addSeparator();
    // In the grid or a list, Ctrl+Up and Ctrl+Down keep their own meaning.
    PreviousSql1 = add("PreviousSql1", QStringLiteral("&Previous statement"), {QKeySequence(Qt::CTRL | Qt::Key_Up)});
    NextSql1 = add("NextSql1", QStringLiteral("&Next statement"), {QKeySequence(Qt::CTRL | Qt::Key_Down)});
    SqlEditor* editor = workbench.Memo1;
    for (QAction* action : {PreviousSql1, NextSql1}) {
        action->setShortcutContext(Qt::WidgetShortcut);
        editor->addAction(action);
    }
    connect(PreviousSql1, &QAction::triggered, this, [this, editor] {
        if (const auto text = m_history.older(editor->text()))
            editor->setTextAtEnd(*text);
    });
    connect(NextSql1, &QAction::triggered, this, [this, editor] {
        if (const auto text = m_history.newer())
            editor->setTextAtEnd(*text);
    });
    History1 = menu->addMenu(QStringLiteral("&History"));
    History1->setObjectName(QStringLiteral("History1"));
    connect(History1, &QMenu::aboutToShow, this, &SqlMenu::fillHistory);
    // A statement is kept whether it succeeds or not: a failed one is the one most often fixed
    // and run again. The history is a comfort, so a file that cannot be written stops nothing.
    connect(&workbench, &SqlWorkbench::statementRun, this, [this](const QString& text) { m_history.add(text); });

    menu->addSeparator();
    LineNumbers1 = menu->addAction(QStringLiteral("&Line numbers"));
    LineNumbers1->setObjectName(QStringLiteral("LineNumbers1"));
    LineNumbers1->setCheckable(true);
    LineNumbers1->setChecked(editor->lineNumbersShown());
    connect(LineNumbers1, &QAction::toggled, editor, &SqlEditor::setLineNumbersShown);

    menuBar->addMenu(menu);
}

void SqlMenu::fillHistory()
{
    History1->clear();
    const QStringList entries = m_history.entries();
    for (qsizetype i = entries.size() - 1; i >= 0 && i >= entries.size() - listed; --i) {
        const QString statement = entries.at(i);
        QAction* action = History1->addAction(menuText(statement));
        action->setToolTip(statement);
        connect(action, &QAction::triggered, this, [this, statement] { m_workbench.Memo1->setTextAtEnd(statement); });
    }
    if (entries.isEmpty())
        History1->addAction(QStringLiteral("(no statements yet)"))->setEnabled(false);
}
