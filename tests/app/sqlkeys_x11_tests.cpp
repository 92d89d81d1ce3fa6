#include "app/programwindows.h"
#include "charts/ui/chartwindow.h"
#include "workbench/ui/resultgrid.h"
#include "workbench/ui/sqleditor.h"
#include "workbench/ui/sqlmenu.h"
#include "workbench/ui/sqlworkbench.h"
#include "support/fakedialogs.h"
#include "support/temphome.h"
#include "support/x11program.h"

#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QTest>
#include <gtest/gtest.h>
#include <functional>
#include <memory>

// Keys typed through the X server reach the program as a user's do: past the input method, the
// editor's own key bindings and Qt's shortcut map, which an event sent to a widget would skip.


TEST(SqlKeysX11, KeysTypedInTheEditorRunOpenAndSaveAndEnterBreaksTheLine)
{
    TempHome home;
    FakeDialogs dialogs;
    X11Program program;
    SqlEditor* editor = program.editor();

    editor->setTextAtEnd("select 1");
    EXPECT_TRUE(program.type({"ctrl+Return"}, [&] { return program.records() == "Records: 1"; })) << program.records().toStdString();
    editor->setTextAtEnd("select 1 union select 2");
    EXPECT_TRUE(program.type({"ctrl+KP_Enter"}, [&] { return program.records() == "Records: 2"; })) << program.records().toStdString();
    editor->setTextAtEnd("select 1 union select 2 union select 3");
    EXPECT_TRUE(program.type({"F5"}, [&] { return program.records() == "Records: 3"; })) << program.records().toStdString();
    EXPECT_TRUE(dialogs.messages.isEmpty()) << dialogs.messages.value(0).text.toStdString();
    EXPECT_TRUE(editor->hasFocus());   // the keyboard stays in the editor for the next change

    // Both dialogs are cancelled: the editor keeps its text.
    EXPECT_TRUE(program.type({"ctrl+o", "ctrl+s"}, [&] { return dialogs.fileRequests.size() == 2; }));
    ASSERT_EQ(dialogs.fileRequests.size(), 2);
    EXPECT_EQ(dialogs.fileRequests[0].caption, "Open SQL");
    EXPECT_EQ(dialogs.fileRequests[1].caption, "Save SQL");

    program.workbench()->closeResult();
    EXPECT_TRUE(program.type({"Return", "KP_Enter"}, [&] { return editor->text() == "select 1 union select 2 union select 3\n\n"; }))
        << editor->text().toStdString();
    EXPECT_EQ(program.records(), "Records: ");   // a line break, not a run
}

TEST(SqlKeysX11, StatementsRunAreRecalledWithCtrlUpAfterARestart)
{
    TempHome home;
    FakeDialogs dialogs;
    {
        X11Program program;
        for (const QString& statement : {"select 'first'", "select 'second',\n  'two lines'"}) {
            program.editor()->setTextAtEnd(statement);
            ASSERT_TRUE(program.type({"ctrl+Return"}, [&] { return program.records() == "Records: 1"; }));
            program.workbench()->closeResult();
        }
        program.windows->main.close();
    }

    X11Program program;
    SqlEditor* editor = program.editor();
    editor->setTextAtEnd("select 'draft'");
    EXPECT_TRUE(program.type({"ctrl+Up"}, [&] { return editor->text() == "select 'second',\n  'two lines'"; }))
        << editor->text().toStdString();
    EXPECT_TRUE(program.type({"ctrl+Up"}, [&] { return editor->text() == "select 'first'"; })) << editor->text().toStdString();
    EXPECT_TRUE(program.type({"ctrl+Down", "ctrl+Down"}, [&] { return editor->text() == "select 'draft'"; }))
        << editor->text().toStdString();

    // The History menu lists them newest first; its entry puts the statement in the editor.
    QMenu* history = program.main().findChild<QMenu*>("historyMenu");
    Q_EMIT history->aboutToShow();
    ASSERT_EQ(history->actions().size(), 2);
    EXPECT_EQ(history->actions().at(0)->text(), "select 'second', 'two lines'");
    history->actions().at(1)->trigger();
    EXPECT_EQ(editor->text(), "select 'first'");
}

TEST(SqlKeysX11, CtrlTabLeavesTheEditorAndTabWalksTheWorkbenchInReadingOrder)
{
    TempHome home;
    FakeDialogs dialogs;
    X11Program program;
    SqlEditor* editor = program.editor();
    SqlWorkbench* workbench = program.workbench();
    editor->setTextAtEnd("select 1");

    // Tab still indents.
    EXPECT_TRUE(program.type({"Tab"}, [&] { return editor->text() == "select 1\t"; })) << editor->text().toStdString();
    const auto focusIs = [](QWidget* widget) { return [widget] { return QApplication::focusWidget() == widget; }; };
    // Stop is disabled while nothing runs, so the chain passes over it.
    EXPECT_TRUE(program.type({"ctrl+Tab"}, focusIs(program.main().findChild<QPushButton*>("executeButton"))));
    EXPECT_TRUE(program.type({"Tab"}, focusIs(program.main().findChild<QPushButton*>("openSqlButton"))));
    EXPECT_TRUE(program.type({"Tab"}, focusIs(program.main().findChild<QPushButton*>("saveSqlButton"))));
    EXPECT_TRUE(program.type({"Tab"}, focusIs(program.main().findChild<QWidget*>("grid"))));
    EXPECT_TRUE(program.type({"shift+Tab", "shift+Tab", "shift+Tab", "shift+Tab"}, focusIs(editor)));
    EXPECT_TRUE(program.type({"ctrl+shift+Tab"}, [&] { return QApplication::focusWidget() != editor; }));
    EXPECT_EQ(editor->text(), "select 1\t");
}

TEST(SqlKeysX11, EscapeAndCtrlWCloseTheViewersAndTheChart)
{
    TempHome home;
    FakeDialogs dialogs;
    X11Program program;
    ProgramWindows& w = *program.windows;
    program.main().findChild<QAction*>("chartAction")->trigger();
    int round = 0;
    for (QWidget* window : std::initializer_list<QWidget*>{&w.driverInfo, &w.leaderboard, &w.events,
                                                            w.main.chartWindow()}) {
        ASSERT_NE(window, nullptr);
        for (const char* keys : {"Escape", "ctrl+w"}) {
            window->show();
            window->activateWindow();
            ASSERT_TRUE(QTest::qWaitForWindowActive(window)) << qPrintable(window->windowTitle());
            EXPECT_TRUE(program.type({keys}, [&] { return !window->isVisible(); }))
                << keys << " left " << qPrintable(window->windowTitle()) << " open";
            ++round;
        }
    }
    EXPECT_EQ(round, 8);
    EXPECT_TRUE(w.main.isVisible());
}
