#include "app/programwindows.h"
#include "db/openresult.h"
#include "workbench/ui/errorpane.h"
#include "workbench/ui/findbar.h"
#include "workbench/ui/resultgrid.h"
#include "workbench/ui/sqleditor.h"
#include "workbench/ui/sqlworkbench.h"
#include "support/fakedialogs.h"
#include "support/temphome.h"
#include "support/findnamed.h"
#include "support/x11program.h"

#include <QApplication>
#include <QClipboard>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QPushButton>
#include <QTest>
#include <gtest/gtest.h>
#include <functional>
#include <memory>

// What runs on Execute SQL and Shift+F5, the editor's find bar and the grid's copy keys, with keys
// typed through the X server: the widgets' own bindings and Qt's shortcut map decide who gets them.


TEST(EditorToolsX11, ASelectionRunsAloneAndShiftF5RunsTheStatementAtTheCaret)
{
    TempHome home;
    FakeDialogs dialogs;
    X11Program program;
    SqlEditor* editor = program.editor();
    SqlWorkbench* workbench = program.workbench();
    const QString script = "select 'a;b';\n"
                           "select 1 union select 2;\n"
                           "select 1 union select 2 union select 3";
    editor->setText(script);
    const qsizetype second = script.indexOf("select 1 union select 2;");

    program.select(second, second + 23);
    EXPECT_TRUE(program.type({"ctrl+Return"}, [&] { return program.records() == "Records: 2"; })) << program.records().toStdString();
    workbench->closeResult();
    EXPECT_TRUE(program.type({"F5"}, [&] { return program.records() == "Records: 2"; })) << program.records().toStdString();
    EXPECT_TRUE(dialogs.messages.isEmpty()) << dialogs.messages.value(0).text.toStdString();

    // Shift+F5: the `;` inside the string does not end the first statement.
    program.select(3, 3);
    EXPECT_TRUE(program.type({"shift+F5"}, [&] { return program.records() == "Records: 1"; })) << program.records().toStdString();
    EXPECT_EQ(program.windows->main.openResult().fieldText(0), "a;b");
    EXPECT_EQ(editor->selectedText(), "select 'a;b';");   // what ran is shown selected
    program.select(script.size(), script.size());
    EXPECT_TRUE(program.type({"shift+F5"}, [&] { return program.records() == "Records: 3"; })) << program.records().toStdString();
    // The caret right after a `;` belongs to the statement it ends.
    program.select(second + 24, second + 24);
    EXPECT_TRUE(program.type({"shift+F5"}, [&] { return program.records() == "Records: 2"; })) << program.records().toStdString();
    EXPECT_TRUE(dialogs.messages.isEmpty()) << dialogs.messages.value(0).text.toStdString();
    EXPECT_EQ(editor->text(), script);
}

namespace {
// The X key names that type `text`.
QStringList keysOf(const QString& text)
{
    QStringList keys;
    for (const QChar c : text)
        keys.append(c == ' ' ? "space" : c == ',' ? "comma" : c == '\n' ? "Return" : QString(c));
    return keys;
}
} // namespace

// An engine's error shows under the editor with its place marked in the text, and the result of
// the statement before stays where it was, rows and count; the next good statement clears it.
TEST(EditorToolsX11, AFaultyStatementShowsItsPlaceUnderTheEditorAndKeepsThePreviousRows)
{
    TempHome home;
    FakeDialogs dialogs;
    X11Program program;
    SqlEditor* editor = program.editor();
    SqlWorkbench* workbench = program.workbench();
    QWidget* pane = program.main().findChild<QWidget*>("sqlErrorPane");
    const QRect editorPlace = editor->geometry();
    const QRect executePlace = program.main().findChild<QPushButton*>("executeButton")->geometry();
    editor->setText("select trackname from TRACKLIST");
    ASSERT_TRUE(program.type({"F5"}, [&] { return program.records() == "Records: 90"; })) << program.records().toStdString();
    EXPECT_FALSE(pane->isVisible());

    editor->clear();
    ASSERT_TRUE(program.type(keysOf("select 1,\nfrom TRACKLIST"), [&] { return editor->text() == "select 1,\nfrom TRACKLIST"; }))
        << editor->text().toStdString();
    ASSERT_TRUE(program.type({"F5"}, [&] { return pane->isVisible(); }));
    const auto paneText = [&] { return qobject_cast<QLabel*>(pane)->text(); };
    EXPECT_EQ(paneText(), "Error at line 2, column 1: near \"from\": syntax error");
    EXPECT_EQ(pane->accessibleName(), "SQL error");
    EXPECT_EQ(pane->accessibleDescription(), paneText());
    EXPECT_TRUE(dialogs.messages.isEmpty()) << dialogs.messages.value(0).text.toStdString();
    // "from" is underlined and the caret put before it; the keyboard stays in the editor.
    const auto marked = [&](qsizetype byte) { return editor->SendScintilla(QsciScintillaBase::SCI_INDICATORALLONFOR, static_cast<unsigned long>(byte)) != 0; };
    EXPECT_TRUE(marked(10) && marked(13));
    EXPECT_FALSE(marked(0) || marked(15));
    EXPECT_EQ(editor->SendScintilla(QsciScintillaBase::SCI_GETCURRENTPOS), 10);
    EXPECT_TRUE(editor->hasFocus());
    // The rows before stay, with their count.
    EXPECT_EQ(program.records(), "Records: 90");
    EXPECT_EQ(program.windows->main.openResult().recordCount(), 90);
    // The pane takes its room from the editor's foot; nothing else moves.
    EXPECT_EQ(pane->geometry().bottom(), editorPlace.bottom());
    EXPECT_LT(editor->geometry().bottom(), pane->geometry().top());
    EXPECT_EQ(program.main().findChild<QPushButton*>("executeButton")->geometry(), executePlace);

    // One statement of several, run with Shift+F5: the line is the editor's, and what ran stays selected.
    editor->setText("select 1;\nselect 2,\nfrom TRACKLIST");
    program.select(editor->text().size(), editor->text().size());
    EXPECT_TRUE(program.type({"shift+F5"}, [&] { return paneText().startsWith("Error at line 3, column 1: "); })) << paneText().toStdString();
    EXPECT_EQ(editor->selectedText(), "select 2,\nfrom TRACKLIST");
    EXPECT_TRUE(marked(20));
    EXPECT_EQ(program.records(), "Records: 90");

    // A statement that succeeds clears the pane and the mark; the editor has its whole place again.
    program.select(3, 3);
    EXPECT_TRUE(program.type({"shift+F5"}, [&] { return program.records() == "Records: 1"; })) << program.records().toStdString();
    EXPECT_FALSE(pane->isVisible());
    EXPECT_FALSE(marked(20));
    EXPECT_EQ(editor->geometry(), editorPlace);
}

TEST(EditorToolsX11, CtrlFFindsForwardAndBackAndCtrlHReplaces)
{
    TempHome home;
    FakeDialogs dialogs;
    X11Program program;
    SqlEditor* editor = program.editor();
    auto* bar = named<FindBar>(*editor, "findBar");
    editor->setText("select car from RACR\nwhere car like 'Ford%'\nor CAR like 'Audi%'");
    program.select(0, 0);

    ASSERT_TRUE(program.type({"ctrl+f"}, [&] { return named<QLineEdit>(*bar, "findField")->hasFocus(); }));
    EXPECT_EQ(named<QLineEdit>(*bar, "findField")->accessibleName(), "Find");
    EXPECT_FALSE(named<QLineEdit>(*bar, "replaceField")->isVisible());
    const auto selectedAt = [&](int line, int index) {
        int fromLine, fromIndex, toLine, toIndex;
        editor->getSelection(&fromLine, &fromIndex, &toLine, &toIndex);
        return fromLine == line && fromIndex == index && editor->selectedText().compare("car", Qt::CaseInsensitive) == 0;
    };
    // Enter (in the field) and F3 find the next match, ignoring case; Shift+F3 goes back.
    EXPECT_TRUE(program.type({"c", "a", "r", "Return"}, [&] { return selectedAt(0, 7); }));
    EXPECT_TRUE(program.type({"F3"}, [&] { return selectedAt(1, 6); }));
    EXPECT_TRUE(program.type({"F3"}, [&] { return selectedAt(2, 3); }));
    EXPECT_TRUE(program.type({"shift+F3"}, [&] { return selectedAt(1, 6); }));
    EXPECT_EQ(editor->lines(), 3);   // Enter in the field broke no line of the statement

    // Ctrl+H: the replace field; Enter replaces the match shown and moves on.
    ASSERT_TRUE(program.type({"ctrl+h"}, [&] { return named<QLineEdit>(*bar, "replaceField")->hasFocus(); }));
    EXPECT_EQ(named<QLineEdit>(*bar, "replaceField")->accessibleName(), "Replace with");
    EXPECT_TRUE(program.type({"m", "a", "k", "e", "Return"},
                             [&] { return editor->text().startsWith("select car from RACR\nwhere make like"); }))
        << editor->text().toStdString();
    EXPECT_TRUE(selectedAt(2, 3));
    EXPECT_EQ(bar->replaceAll(), 2);
    EXPECT_EQ(editor->text(), "select make from RACR\nwhere make like 'Ford%'\nor make like 'Audi%'");
    editor->undo();   // all of them in one step
    EXPECT_EQ(editor->text(), "select car from RACR\nwhere make like 'Ford%'\nor CAR like 'Audi%'");

    // Escape closes the bar and gives the keyboard back to the editor.
    EXPECT_TRUE(program.type({"Escape"}, [&] { return !bar->isVisible() && editor->hasFocus(); }));
}

TEST(EditorToolsX11, CtrlCCopiesTheCellsAloneAndCtrlShiftCUnderTheirTitles)
{
    TempHome home;
    FakeDialogs dialogs;
    X11Program program;
    program.editor()->setText("select 'kestrel' as driver, 86.372 as besttime union all select 'Fast & Loose', 90.5");
    ASSERT_TRUE(program.type({"F5"}, [&] { return program.records() == "Records: 2"; })) << program.records().toStdString();
    auto* grid = program.main().findChild<ResultTableView*>("grid");
    // The filter fields made for the result are the first controls Tab reaches after the grid.
    QWidget* next = grid->nextInFocusChain();
    while (!(next->focusPolicy() & Qt::TabFocus))
        next = next->nextInFocusChain();
    EXPECT_EQ(next->accessibleName(), "Filter driver");
    grid->setFocus();
    ASSERT_TRUE(QTest::qWaitFor([&] { return grid->hasFocus(); }));
    grid->selectAll();

    QClipboard* clipboard = QGuiApplication::clipboard();
    EXPECT_TRUE(program.type({"ctrl+c"}, [&] { return clipboard->text() == "kestrel\t86.372\nFast & Loose\t90.5\n"; }))
        << clipboard->text().toStdString();
    EXPECT_TRUE(program.type({"ctrl+shift+c"}, [&] { return clipboard->text().startsWith("driver\tbesttime\n"); }))
        << clipboard->text().toStdString();
    EXPECT_TRUE(clipboard->mimeData()->html().contains("<td>Fast &amp; Loose</td>")) << clipboard->mimeData()->html().toStdString();
}
