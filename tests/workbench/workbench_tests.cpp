#include "common/programpaths.h"
#include "db/startingstatement.h"
#include "workbenchform.h"

#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QListWidget>
#include <QTemporaryDir>
#include <QApplication>
#include <QFontInfo>
#include <QFontMetricsF>
#include <gtest/gtest.h>

namespace {

using Icon = Dialogs::Icon;

class WorkbenchRuns : public ::testing::TestWithParam<Engine> {
protected:
    WorkbenchForm w{GetParam()};

    void expectStatus(const QString& records, const QString& recordNumber)
    {
        EXPECT_EQ(w.label("recordsLabel"), records);
        EXPECT_EQ(w.label("recNoLabel"), recordNumber);
        EXPECT_EQ(w.label("sortLabel"), "Sort: default");
    }
};

TEST_P(WorkbenchRuns, DefaultStatementOpensInTheGrid)
{
    QTest::mouseClick(w.control<QPushButton>("executeButton"), Qt::LeftButton);
    EXPECT_TRUE(w.dialogs.messages.isEmpty());
    expectStatus("Records: 4", "RecNo: 1");
    EXPECT_EQ(w.model()->rowCount(), 4);
    EXPECT_EQ(w.model()->columnCount(), 8);
    // The statement went as the editor's lines, each closed by CR LF.
    EXPECT_EQ(w.openResult.text(), startingStatement().replace("\n", "\r\n") + "\r\n");
}

TEST_P(WorkbenchRuns, StatusLineAfterEachKindOfRun)
{
    w.run("select * from RACR where driver = 'nobody'");
    expectStatus("Records: 0", "RecNo: -1");
    EXPECT_EQ(w.model()->columnCount(), 8);

    w.run("update RACR set shard = 'CHICANE' where driver = 'kestrel'");
    ASSERT_EQ(w.dialogs.messages.size(), 1);
    EXPECT_EQ(w.dialogs.messages[0].caption, "RACR tool");
    EXPECT_EQ(w.dialogs.messages[0].text, "Operation affected 3 row(s)");
    EXPECT_EQ(w.dialogs.messages[0].icon, Icon::Information);
    expectStatus("Records: ", "RecNo: ");
    EXPECT_EQ(w.model()->columnCount(), 0);   // no result: no columns

    // The engine's error goes to the pane under the editor; the program's own keeps its box.
    w.run("selec * from RACR");
    EXPECT_EQ(w.dialogs.messages.size(), 1);
    const QString error = w.label("sqlErrorPane");
    EXPECT_TRUE(error.startsWith(GetParam() == Engine::Odbc ? "Error: " : "Error at line 1, column 1: ")) << error.toStdString();
    EXPECT_TRUE(error.contains("syntax error")) << error.toStdString();
    expectStatus("Records: ", "RecNo: ");

    w.run("");
    ASSERT_EQ(w.dialogs.messages.size(), 2);
    EXPECT_EQ(w.dialogs.messages[1].text, "ADODataSet1: There is no statement to run: the text is empty.");
    EXPECT_EQ(w.dialogs.messages[1].icon, Icon::Error);
    expectStatus("Records: ", "RecNo: ");
}

// What the editor's completion list offers with the caret after `text`.
QStringList offered(SqlEditor* editor, const QString& text)
{
    editor->setText(text);
    editor->SendScintilla(QsciScintillaBase::SCI_DOCUMENTEND);
    editor->autoCompleteFromAPIs();
    QStringList items;
    if (!editor->isListActive())
        return items;
    for (QWidget* top : QApplication::topLevelWidgets())
        if (auto* list = qobject_cast<QListWidget*>(top); list && list->isVisible())
            for (int i = 0; i < list->count(); ++i)
                items.append(list->item(i)->text());
    editor->cancelList();
    return items;
}

TEST_P(WorkbenchRuns, CompletionOffersTheOpenDatabasesTablesViewsAndColumns)
{
    auto* editor = w.control<SqlEditor>("sqlEditor");
    // PostgreSQL's catalogue holds the names folded to lower case, and offers them so.
    const bool folded = GetParam() == Engine::Postgres;
    // Tables (DRIVERS), views (driverstats) and the columns of every table, by the typed word's
    // start in any case; after a table's name and a dot, that table's columns.
    EXPECT_EQ(offered(editor, "select dRiVeR"),
              folded ? (QStringList{"driver", "driverlevel", "drivername", "drivers", "drivershard", "driverstats"})
                     : (QStringList{"DRIVERS", "driver", "driverlevel", "drivername", "drivershard", "driverstats"}));
    EXPECT_EQ(offered(editor, "select racr."),
              (QStringList{"besttime", "car", "date", "driver", "id", "multiplayer", "shard", "trackid"}));

    // A table created in the workbench is offered at once.
    EXPECT_TRUE(offered(editor, "select * from LAPT").isEmpty());
    w.run("create table LAPTIMES (lap integer, laptime text)");
    EXPECT_EQ(offered(editor, "select * from LAPT"),
              folded ? (QStringList{"laptime", "laptimes"}) : (QStringList{"LAPTIMES", "laptime"}));
    EXPECT_EQ(offered(editor, "select laptimes.lapt"), QStringList{"laptime"});
}

TEST_P(WorkbenchRuns, TheDatabaseDecidesBetweenRowsAndACount)
{
    // "select" followed by a line break, in any case, still shows its rows.
    w.run("SELECT\ndriver FROM RACR");
    expectStatus("Records: 5", "RecNo: 1");
    EXPECT_TRUE(w.dialogs.messages.isEmpty());

    // An insert with a select in it reports its count; the row is stored.
    w.run("insert into DRIVERS (drivername) select driver from RACR where driver = 'ghost'");
    ASSERT_EQ(w.dialogs.messages.size(), 1);
    EXPECT_EQ(w.dialogs.messages[0].text, "Operation affected 1 row(s)");
    EXPECT_EQ(w.db.count("select count(*) from DRIVERS where drivername = 'ghost'"), 1);

    // A saved query from the schema browser's exec text.
    w.run("exec driverstats kestrel");
    expectStatus("Records: 2", "RecNo: 1");
}

INSTANTIATE_TEST_SUITE_P(Engines, WorkbenchRuns, ::testing::Values(Engine::Sqlite, Engine::Odbc, Engine::Postgres), engineName);

// Moves to a working folder for one test and back to the one the test was started from.
class WorkingFolder {
public:
    explicit WorkingFolder(const QString& path) : m_started(QDir::currentPath()) { QDir::setCurrent(path); }
    ~WorkingFolder() { QDir::setCurrent(m_started); }
    WorkingFolder(const WorkingFolder&) = delete;
    WorkingFolder& operator=(const WorkingFolder&) = delete;

private:
    QString m_started;
};

class Workbench : public ::testing::Test {
protected:
    WorkbenchForm w;
    QTemporaryDir folder;
    SqlEditor* memo = w.control<SqlEditor>("sqlEditor");
};

TEST_F(Workbench, EnterRunsTheStatementOutsideTheEditorAndTheGrid)
{
    auto* other = new QLineEdit(&w.form);
    other->show();
    QTest::keyClick(other, Qt::Key_Return);
    EXPECT_EQ(w.label("recordsLabel"), "Records: 4");

    w.workbench->closeResult();
    memo->setFocus();
    memo->SendScintilla(QsciScintillaBase::SCI_DOCUMENTEND);
    QTest::keyClick(memo, Qt::Key_Return);
    EXPECT_EQ(w.label("recordsLabel"), "Records: ");
    EXPECT_TRUE(memo->text().endsWith("\n"));   // a line break, not a run

    memo->setText("select driver from RACR");
    QTest::keyClick(w.dataGrid(), Qt::Key_Return);
    EXPECT_EQ(w.label("recordsLabel"), "Records: ");
}

TEST_F(Workbench, EveryKindOfSqlTextStandsOutFromTheEditorsPageInLightAndDarkColours)
{
    QPalette dark = memo->palette();
    dark.setColor(QPalette::Base, QColor(30, 30, 30));
    dark.setColor(QPalette::Text, QColor(230, 230, 230));
    for (const QPalette& palette : {memo->palette(), dark}) {
        memo->setPalette(palette);
        QsciLexer* lexer = memo->lexer();
        for (const int style : {QsciLexerSQL::Default, QsciLexerSQL::Identifier, QsciLexerSQL::Operator,
                                QsciLexerSQL::Keyword, QsciLexerSQL::Number, QsciLexerSQL::SingleQuotedString,
                                QsciLexerSQL::Comment, QsciLexerSQL::CommentLine}) {
            EXPECT_EQ(lexer->paper(style), palette.color(QPalette::Base)) << style;
            EXPECT_GE(std::abs(lexer->color(style).lightness() - lexer->paper(style).lightness()), 100)
                << style << " " << lexer->color(style).name().toStdString() << " on "
                << lexer->paper(style).name().toStdString();
        }
    }
}

TEST_F(Workbench, TheEditorKeepsAFixedPitchFontAtTheDesktopsSizeWhenTheDesktopChangesItsFonts)
{
    // A platform theme sets the application's fonts after the windows exist.
    const QFont before = QApplication::font();
    QFont desktop(QStringLiteral("DejaVu Sans"));
    desktop.setPointSize(14);
    QApplication::setFont(desktop);
    QCoreApplication::processEvents();
    QsciLexer* lexer = memo->lexer();
    for (const int style : {QsciLexerSQL::Default, QsciLexerSQL::Keyword, QsciLexerSQL::Comment,
                            QsciLexerSQL::SingleQuotedString, QsciLexerSQL::Number}) {
        // What the reader sees: a narrow and a wide letter take the same room. Qt's fixed-pitch
        // flag comes from the font file and is false for some monospaced fonts (Noto Sans Mono).
        const QFont font = lexer->font(style);
        const QFontMetricsF metrics(font);
        EXPECT_EQ(metrics.horizontalAdvance(QLatin1Char('i')), metrics.horizontalAdvance(QLatin1Char('W')))
            << style << " " << QFontInfo(font).family().toStdString();
        EXPECT_EQ(QFontInfo(font).pointSize(), 14) << style;
    }
    QApplication::setFont(before);
}

TEST_F(Workbench, CloseResultResetsTheStatusLine)
{
    w.run(startingStatement());
    w.workbench->closeResult();
    EXPECT_FALSE(w.openResult.isOpen());
    EXPECT_EQ(w.label("recordsLabel"), "Records: ");
    EXPECT_EQ(w.label("sortLabel"), "Sort: default");
    EXPECT_EQ(w.label("recNoLabel"), "RecNo:");
    EXPECT_EQ(w.model()->rowCount(), 0);
}

TEST_F(Workbench, SaveThenOpenRestoresTheSameLines)
{
    const QString text = "select driver, car\nfrom RACR -- Pécs, Győr\n\nwhere car like '%GT%'";
    memo->setText(text);
    w.dialogs.saveAnswer = folder.filePath("mine.sql");
    QTest::mouseClick(w.control<QPushButton>("saveSqlButton"), Qt::LeftButton);
    QFile saved(folder.filePath("mine.sql"));
    ASSERT_TRUE(saved.open(QIODevice::ReadOnly));
    EXPECT_EQ(saved.readAll(),
              QString("select driver, car\r\nfrom RACR -- Pécs, Győr\r\n\r\nwhere car like '%GT%'\r\n").toUtf8());
    EXPECT_EQ(w.label("fileNameLabel"), "mine.sql");
    const QLabel* fileNameLabel = w.control<QLabel>("fileNameLabel");
    EXPECT_EQ(fileNameLabel->geometry().right() + 1, 415);

    memo->setText("something else");
    w.dialogs.openAnswer = folder.filePath("mine.sql");
    QTest::mouseClick(w.control<QPushButton>("openSqlButton"), Qt::LeftButton);
    EXPECT_EQ(memo->text(), text);
    EXPECT_EQ(w.workbench->lines().size(), 4);
}

TEST_F(Workbench, OpenSplitsLinesAtAnyBreak)
{
    QFile file(folder.filePath("old.sql"));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("select 1\rfrom RACR\nwhere x\r\norder by 1");
    file.close();
    w.dialogs.openAnswer = file.fileName();
    w.workbench->openSql();
    EXPECT_EQ(w.workbench->lines(), (QStringList{"select 1", "from RACR", "where x", "order by 1"}));

    // A script in a single-byte code page keeps its letters.
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("-- caf\xe9\r\n");
    file.close();
    w.workbench->openSql();
    EXPECT_EQ(memo->text(), QString::fromUtf8("-- café"));
}

TEST_F(Workbench, FileDialogsStartInTheLastFolderUsedAndTheNameMarksUnsavedChanges)
{
    WorkingFolder working(folder.path());
    QDir().mkdir("sql");   // a folder of scripts where the program was started is not the start

    w.dialogs.openAnswer.clear();   // cancelled: nothing changes
    w.workbench->openSql();
    ASSERT_EQ(w.dialogs.fileRequests.size(), 1);
    const auto& request = w.dialogs.fileRequests[0];
    EXPECT_EQ(request.caption, "Open SQL");
    EXPECT_EQ(request.filters, (QStringList{"SQL files (*.sql)", "All files (*.*)"}));
    EXPECT_EQ(request.defaultSuffix, "sql");
    EXPECT_EQ(request.initialPath, ProgramPaths::home());
    EXPECT_EQ(memo->text(), startingStatement());
    EXPECT_EQ(w.label("fileNameLabel"), "");

    QDir(folder.path()).mkdir("scripts");
    w.dialogs.saveAnswer = folder.filePath("scripts/a.sql");
    w.workbench->saveSql();
    EXPECT_EQ(w.dialogs.fileRequests[1].caption, "Save SQL");
    EXPECT_EQ(w.dialogs.fileRequests[1].initialPath, ProgramPaths::home());
    EXPECT_EQ(w.label("fileNameLabel"), "a.sql");

    // A change typed marks the name until it is saved, or undone.
    memo->setFocus();
    QTest::keyClicks(memo, "x");
    EXPECT_EQ(w.label("fileNameLabel"), "a.sql *");
    EXPECT_EQ(w.control<QLabel>("fileNameLabel")->geometry().right() + 1, 415);
    memo->undo();
    EXPECT_EQ(w.label("fileNameLabel"), "a.sql");
    QTest::keyClicks(memo, "y");
    w.workbench->saveSql();
    EXPECT_EQ(w.dialogs.fileRequests[2].initialPath, folder.filePath("scripts/a.sql"));
    EXPECT_EQ(w.label("fileNameLabel"), "a.sql");

    w.dialogs.openAnswer.clear();
    w.workbench->openSql();
    EXPECT_EQ(w.dialogs.fileRequests[3].initialPath, folder.filePath("scripts"));
}

TEST_F(Workbench, AFileThatCannotBeReadGoesToTheDefaultErrorDisplay)
{
    w.dialogs.openAnswer = folder.filePath("missing.sql");
    QTest::mouseClick(w.control<QPushButton>("openSqlButton"), Qt::LeftButton);
    ASSERT_EQ(w.dialogs.messages.size(), 1);
    EXPECT_TRUE(w.dialogs.messages[0].text.startsWith("Cannot read " + folder.filePath("missing.sql")));
    EXPECT_EQ(w.dialogs.messages[0].icon, Icon::Error);
    EXPECT_EQ(memo->text(), startingStatement());
    EXPECT_EQ(w.label("fileNameLabel"), "");

    w.dialogs.saveAnswer = folder.filePath("no/such/folder/x.sql");
    QTest::mouseClick(w.control<QPushButton>("saveSqlButton"), Qt::LeftButton);
    ASSERT_EQ(w.dialogs.messages.size(), 2);
    EXPECT_TRUE(w.dialogs.messages[1].text.startsWith("Cannot write "));
    EXPECT_EQ(w.label("fileNameLabel"), "");
}

} // namespace
