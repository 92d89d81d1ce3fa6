#include "common/designfont.h"
#include "db/startingstatement.h"
#include "workbench/ui/filterheader.h"
#include "workbenchform.h"
#include "support/findnamed.h"

#include <QAction>
#include <QClipboard>
#include <QDir>
#include <QGuiApplication>
#include <QHeaderView>
#include <QImage>
#include <QLineEdit>
#include <QMimeData>
#include <QStyle>
#include <QToolButton>
#include <gtest/gtest.h>

namespace {

class ResultGridTest : public ::testing::Test {
protected:
    WorkbenchForm w;
    ResultTableView* grid = w.dataGrid();
    QHeaderView* titles = grid->horizontalHeader();

    int column(const QString& name) { return int(w.openResult.fieldNames().indexOf(name)); }

    // Runs a statement and waits for its last row: on a loaded machine even a small result's
    // rows may come in the background, and the tests look at all of them.
    void run(const QString& sql)
    {
        w.run(sql);
        while (w.openResult.isFetching())
            QCoreApplication::processEvents();
    }

    // The row of the grid whose field holds the text.
    int rowOf(const QString& field, const QString& text)
    {
        for (int row = 0; row < w.openResult.recordCount(); ++row)
            if (w.openResult.textAt(row, column(field)) == text)
                return row;
        ADD_FAILURE() << text.toStdString() << " not in " << field.toStdString();
        return -1;
    }

    void clickTitle(const QString& name)
    {
        const int c = column(name);
        // The titles' own part of the header, above the filter fields.
        const QPoint middle(titles->sectionViewportPosition(c) + titles->sectionSize(c) / 2,
                            titles->viewport()->height() / 2);
        QTest::mouseClick(titles->viewport(), Qt::LeftButton, {}, middle);
    }

    QStringList columnTexts(const QString& name)
    {
        QStringList texts;
        for (int row = 0; row < w.openResult.recordCount(); ++row)
            texts.append(w.openResult.textAt(row, column(name)));
        return texts;
    }

    // The colour the grid paints right of and below a cell's top-left corner.
    QColor pixelInCell(int row, int field, QPoint offset = QPoint(8, 8))
    {
        const QImage shot = grid->grab().toImage();
        const QRect cell = grid->visualRect(w.model()->index(row, field));
        return shot.pixelColor(grid->viewport()->mapTo(grid, cell.topLeft()) + offset);
    }

    void writeAvatar(int number, const QColor& colour)
    {
        QDir().mkpath(w.db.home().file("avatars"));
        QImage picture(40, 40, QImage::Format_RGB32);
        picture.fill(colour);
        ASSERT_TRUE(picture.save(w.db.home().file(QStringLiteral("avatars/%1.bmp").arg(number)), "BMP"));
    }

    QLineEdit* startEditing(int row, const QString& field)
    {
        grid->setFocus();
        grid->setCurrentIndex(w.model()->index(row, column(field)));
        QTest::keyClick(grid, Qt::Key_F2);
        auto* editor = grid->viewport()->findChild<QLineEdit*>();
        EXPECT_NE(editor, nullptr);
        return editor;
    }

    void type(QLineEdit* editor, const QString& text)
    {
        editor->clear();
        QTest::keyClicks(editor, text);
        QTest::keyClick(editor, Qt::Key_Return);
        QCoreApplication::processEvents();   // the editor commits on a queued call
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }

    QToolButton* navigatorButton(const char* name)
    {
        return w.navigator()->findChild<QToolButton*>(QLatin1String(name));
    }
};

TEST_F(ResultGridTest, ControlsSitWhereTheMainWindowPutsThem)
{
    EXPECT_EQ(grid, w.form.findChild<ResultTableView*>("grid"));
    EXPECT_EQ(grid->geometry(), QRect(5, 8, 996, 369));
    EXPECT_EQ(w.navigator()->geometry(), QRect(399, 384, 207, 25));
    QStringList buttons;
    for (auto* b : w.navigator()->findChildren<QToolButton*>())
        buttons.append(b->objectName());
    EXPECT_EQ(buttons, (QStringList{"firstRecord", "priorRecord", "nextRecord", "lastRecord", "insertRecord", "deleteRecord", "editRecord",
                                    "postEdit", "cancelEdit"}));
}

TEST_F(ResultGridTest, NavigatorSymbolsAreDrawnWithoutAnyFont)
{
    // A font without the arrow glyphs would show empty boxes: the buttons carry no text at all,
    // and each draws a symbol of its own.
    QList<QImage> symbols;
    for (auto* b : w.navigator()->findChildren<QToolButton*>()) {
        EXPECT_TRUE(b->text().isEmpty()) << b->objectName().toStdString();
        const QImage symbol = b->icon().pixmap(QSize(16, 16)).toImage();
        int ink = 0;
        for (int y = 0; y < symbol.height(); ++y)
            for (int x = 0; x < symbol.width(); ++x)
                ink += symbol.pixelColor(x, y).alpha() > 128;
        EXPECT_GT(ink, 8) << b->objectName().toStdString();
        EXPECT_FALSE(symbols.contains(symbol)) << b->objectName().toStdString();
        symbols.append(symbol);
    }
    EXPECT_EQ(symbols.size(), 9);
}

TEST_F(ResultGridTest, ImageColumnShowsAvatarsAndIsThirtyFourWide)
{
    writeAvatar(3, Qt::red);   // kestrel; pilot000's 7 is the program's own
    w.form.setFont(designFont(11));   // the main window's
    run(startingStatement());
    const int image = column("image");
    ASSERT_EQ(image, 0);
    EXPECT_EQ(titles->sectionSize(image), 34);
    EXPECT_EQ(pixelInCell(rowOf("driver", "kestrel"), image), QColor(Qt::red));
    EXPECT_NE(pixelInCell(rowOf("driver", "pilot000"), image), QColor(Qt::red));
    EXPECT_NE(pixelInCell(rowOf("driver", "ghost"), image), QColor(Qt::red));   // null: no DRIVERS row
    // Below the 16 x 16 square the cell is the grid's own.
    const QRect cell = grid->visualRect(w.model()->index(rowOf("driver", "kestrel"), image));
    if (cell.height() > 17) {
        const QImage shot = grid->grab().toImage();
        EXPECT_NE(shot.pixelColor(grid->viewport()->mapTo(grid, cell.topLeft()) + QPoint(8, 17)), QColor(Qt::red));
    }
    EXPECT_TRUE(w.dialogs.messages.isEmpty());

    // The user cannot widen it.
    titles->resizeSection(image, 80);
    EXPECT_EQ(titles->sectionSize(image), 34);

    // A desktop font wider than the design font widens it to show the whole title.
    QFont wide(QStringLiteral("DejaVu Sans"));
    wide.setPixelSize(15);
    w.form.setFont(wide);
    run(startingStatement());
    const int margin = titles->style()->pixelMetric(QStyle::PM_HeaderMargin, nullptr, titles);
    EXPECT_GE(titles->sectionSize(image), QFontMetrics(wide).horizontalAdvance("image") + 2 * margin);
}

TEST_F(ResultGridTest, ANewProgramFolderShowsTheAvatarsThatComeWithTheProgram)
{
    // The sample folder has no avatars/: kestrel's 3 is the one built beside the program, whose
    // top-left corner is its background colour.
    const QImage bundled(QCoreApplication::applicationDirPath() + "/avatars/3.bmp");
    ASSERT_FALSE(bundled.isNull()) << "the build draws avatars/ beside the program";
    run(startingStatement());
    EXPECT_EQ(pixelInCell(rowOf("driver", "kestrel"), column("image"), QPoint(2, 2)), bundled.pixelColor(4, 4));
    EXPECT_TRUE(w.dialogs.messages.isEmpty());
}

TEST_F(ResultGridTest, OnlyWholeNumbersNameAnAvatar)
{
    writeAvatar(3, Qt::blue);
    run("select image from (select '3' as image, 1 as k union all select 3.0, 2 union all select 3.5, 3"
          " union all select 'three', 4) order by k");
    EXPECT_EQ(pixelInCell(0, 0), QColor(Qt::blue));
    EXPECT_EQ(pixelInCell(1, 0), QColor(Qt::blue));
    EXPECT_NE(pixelInCell(2, 0), QColor(Qt::blue));
    EXPECT_NE(pixelInCell(3, 0), QColor(Qt::blue));
    EXPECT_TRUE(w.dialogs.messages.isEmpty());
}

TEST_F(ResultGridTest, ACapitalImageIsAnOrdinaryColumn)
{
    writeAvatar(3, Qt::red);
    run("select image as Image, drivername from DRIVERS where drivername = 'kestrel'");
    EXPECT_NE(pixelInCell(0, 0), QColor(Qt::red));
    EXPECT_GE(titles->sectionSize(0), 50);
    titles->resizeSection(0, 45);
    EXPECT_EQ(titles->sectionSize(0), 150);
}

TEST_F(ResultGridTest, ColumnWidthsStayBetweenFiftyAndFourHundred)
{
    run(startingStatement());
    for (int c = 1; c < titles->count(); ++c) {
        EXPECT_GE(titles->sectionSize(c), 50) << c;
        EXPECT_LE(titles->sectionSize(c), 400) << c;
    }
    const int car = column("car");
    titles->resizeSection(car, 45);
    EXPECT_EQ(titles->sectionSize(car), 150);
    titles->resizeSection(car, 420);
    EXPECT_EQ(titles->sectionSize(car), 150);
    titles->resizeSection(car, 60);
    EXPECT_EQ(titles->sectionSize(car), 60);
    titles->resizeSection(car, 400);
    EXPECT_EQ(titles->sectionSize(car), 400);
}

TEST_F(ResultGridTest, TitleClicksCycleTheSortInPlace)
{
    run(startingStatement());
    const QStringList statementOrder = columnTexts("besttime");
    titles->resizeSection(column("car"), 222);
    w.db.exec("DELETE FROM RACR");   // a new run would be empty: the sort does not run again

    clickTitle("besttime");
    EXPECT_EQ(w.label("sortLabel"), "Sort: besttime ASC");
    EXPECT_EQ(w.label("recNoLabel"), "RecNo: 1");
    EXPECT_EQ(columnTexts("besttime"), (QStringList{"68.250", "69.900", "70.500", "72.000"}));
    clickTitle("besttime");
    EXPECT_EQ(w.label("sortLabel"), "Sort: besttime DESC");
    EXPECT_EQ(columnTexts("besttime"), (QStringList{"72.000", "70.500", "69.900", "68.250"}));
    clickTitle("besttime");
    EXPECT_EQ(w.label("sortLabel"), "Sort: default");
    EXPECT_EQ(columnTexts("besttime"), statementOrder);
    clickTitle("besttime");
    EXPECT_EQ(w.label("sortLabel"), "Sort: besttime ASC");

    clickTitle("trackname");
    clickTitle("trackname");
    EXPECT_EQ(w.label("sortLabel"), "Sort: trackname DESC");
    clickTitle("car");
    EXPECT_EQ(w.label("sortLabel"), "Sort: car ASC");
    EXPECT_EQ(columnTexts("car"), (QStringList{"Audi R8", "BMW M3", "Ford GT", "Lotus Exige"}));
    EXPECT_EQ(titles->sectionSize(column("car")), 222);   // the columns stay as they were
    EXPECT_EQ(grid->currentIndex().row(), 0);
}

TEST_F(ResultGridTest, TheSortArrowSitsOnTheSortedColumn)
{
    run(startingStatement());
    EXPECT_FALSE(titles->isSortIndicatorShown());
    clickTitle("besttime");
    EXPECT_TRUE(titles->isSortIndicatorShown());
    EXPECT_EQ(titles->sortIndicatorSection(), column("besttime"));
    EXPECT_EQ(titles->sortIndicatorOrder(), Qt::AscendingOrder);
    clickTitle("besttime");
    EXPECT_EQ(titles->sortIndicatorSection(), column("besttime"));
    EXPECT_EQ(titles->sortIndicatorOrder(), Qt::DescendingOrder);
    clickTitle("car");
    EXPECT_EQ(titles->sortIndicatorSection(), column("car"));
    EXPECT_EQ(titles->sortIndicatorOrder(), Qt::AscendingOrder);
    clickTitle("car");
    clickTitle("car");   // the statement's order: no arrow
    EXPECT_FALSE(titles->isSortIndicatorShown());

    clickTitle("driver");
    run(startingStatement());   // a new result has no sort
    EXPECT_FALSE(titles->isSortIndicatorShown());
}

TEST_F(ResultGridTest, ASelectedRangeCopiesAsTabSeparatedTextAndAnHtmlTable)
{
    w.db.exec("UPDATE RACR SET car = 'Ford' || char(9) || 'GT' WHERE id = 1");
    w.db.exec("UPDATE RACR SET car = 'Audi \"R8\"' || char(10) || 'V10' WHERE id = 2");
    run("select id, driver, car, besttime from RACR where id <= 3 order by id");
    const auto cellCentre = [&](int row, const QString& field) {
        return grid->visualRect(w.model()->index(row, column(field))).center();
    };
    grid->setFocus();
    QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, cellCentre(0, "driver"));
    QTest::mouseClick(grid->viewport(), Qt::LeftButton, Qt::ShiftModifier, cellCentre(1, "car"));
    EXPECT_EQ(w.openResult.currentRowNumber(), 2);   // the current row still follows the clicks
    QGuiApplication::clipboard()->clear();
    QTest::keyClick(grid, Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(QGuiApplication::clipboard()->text(),
              "kestrel\t\"Ford\tGT\"\n"
              "pilot000\t\"Audi \"\"R8\"\"\nV10\"\n");
    // Ctrl+Shift+C under the titles; both with a table for office programs, its values escaped.
    w.db.exec("UPDATE RACR SET driver = '<b>Fast & Loose</b>' WHERE id = 1");
    w.run("select id, driver, car, besttime from RACR where id <= 3 order by id");
    grid->setFocus();
    QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, cellCentre(0, "driver"));
    QTest::mouseClick(grid->viewport(), Qt::LeftButton, Qt::ShiftModifier, cellCentre(1, "car"));
    QTest::keyClick(grid, Qt::Key_C, Qt::ControlModifier | Qt::ShiftModifier);
    const QMimeData* copied = QGuiApplication::clipboard()->mimeData();
    EXPECT_EQ(copied->text(), "driver\tcar\n"
                              "<b>Fast & Loose</b>\t\"Ford\tGT\"\n"
                              "pilot000\t\"Audi \"\"R8\"\"\nV10\"\n");
    const QString html = copied->html();
    EXPECT_TRUE(html.contains("<tr><th>driver</th><th>car</th></tr>\n"
                              "<tr><td>&lt;b&gt;Fast &amp; Loose&lt;/b&gt;</td><td>Ford\tGT</td></tr>\n"
                              "<tr><td>pilot000</td><td>Audi &quot;R8&quot;<br>V10</td></tr>\n</table>"))
        << html.toStdString();

    // Everything, from the context menu's entries.
    named<QAction>(w.form, "selectAllAction")->trigger();
    named<QAction>(w.form, "copyAction")->trigger();
    const QStringList lines = QGuiApplication::clipboard()->text().split('\n');
    EXPECT_EQ(lines.size(), 3 + 1 + 1);   // three rows, one of them on two lines, and the last break
    EXPECT_EQ(lines.value(lines.size() - 2), "3\tghost\tLotus Exige\t72.000");
    EXPECT_TRUE(grid->actions().contains(named<QAction>(w.form, "copyAction")));

    // Editing a cell still starts on the current cell alone.
    type(startEditing(2, "car"), "Lotus Elise");
    EXPECT_EQ(w.db.scalar("select car from RACR where id = 3").toString(), "Lotus Elise");
}

TEST_F(ResultGridTest, AFilterTypedUnderATitleKeepsItsRowsThroughASortUntilTheNextStatement)
{
    w.run(startingStatement());
    ASSERT_EQ(w.label("recordsLabel"), "Records: 4");
    QLineEdit* driver = nullptr;
    for (auto* field : titles->findChildren<QLineEdit*>())
        if (field->accessibleName() == "Filter driver")
            driver = field;
    ASSERT_NE(driver, nullptr);
    // Under its own title, inside the grid.
    EXPECT_TRUE(driver->isVisible());
    const QRect title(titles->sectionViewportPosition(column("driver")), 0, titles->sectionSize(column("driver")),
                      titles->viewport()->height());
    EXPECT_EQ(driver->geometry().left(), title.left());
    EXPECT_GE(driver->geometry().top(), title.bottom());
    EXPECT_LE(grid->mapToParent(titles->mapToParent(driver->geometry().bottomLeft())).y(), grid->geometry().bottom());

    driver->setFocus();
    QTest::keyClicks(driver, "KESTREL");
    QTest::keyClick(driver, Qt::Key_Return);
    EXPECT_EQ(columnTexts("driver"), (QStringList{"kestrel", "kestrel"}));
    EXPECT_EQ(w.label("recordsLabel"), "Records: 2 of 4");
    EXPECT_EQ(w.label("recNoLabel"), "RecNo: 1");

    clickTitle("car");
    EXPECT_EQ(columnTexts("car"), (QStringList{"BMW M3", "Ford GT"}));
    EXPECT_EQ(driver->text(), "KESTREL");

    // A pause in typing is enough; no Enter needed.
    QLineEdit* car = w.dataGrid()->filters->field(column("car"));
    car->setFocus();
    QTest::keyClicks(car, "ford");
    EXPECT_TRUE(QTest::qWaitFor([&] { return w.openResult.recordCount() == 1; }));

    w.run(startingStatement());
    EXPECT_EQ(w.dataGrid()->filters->filterText(column("driver")), "");
    EXPECT_EQ(w.label("recordsLabel"), "Records: 4");
}

TEST_F(ResultGridTest, AClickOnALongerFieldNameStartsItAscending)
{
    run("select car, car as car_count from RACR order by id");
    clickTitle("car_count");
    EXPECT_EQ(w.label("sortLabel"), "Sort: car_count ASC");
    clickTitle("car");
    EXPECT_EQ(w.label("sortLabel"), "Sort: car ASC");
}

TEST_F(ResultGridTest, AnEditedCellIsWrittenToItsTable)
{
    run(startingStatement());
    const int row = rowOf("car", "BMW M3");
    type(startEditing(row, "car"), "BMW M3 GTR");
    EXPECT_EQ(w.db.scalar("select car from RACR where id = 4").toString(), "BMW M3 GTR");
    EXPECT_EQ(w.label("recNoLabel"), QStringLiteral("RecNo: %1").arg(row + 1));
    EXPECT_TRUE(w.dialogs.messages.isEmpty());

    // Read back by a new run.
    run(startingStatement());
    EXPECT_GE(rowOf("car", "BMW M3 GTR"), 0);

    // The computed race type is not editable.
    EXPECT_FALSE(w.model()->flags(w.model()->index(0, column("Racetype"))) & Qt::ItemIsEditable);
}

TEST_F(ResultGridTest, ARefusedWriteShowsTheDatabaseMessageAndKeepsTheOldValue)
{
    run("select drivername, driverlevel from DRIVERS order by drivername");
    type(startEditing(1, "drivername"), "kestrel");   // pilot000 renamed onto an existing name
    ASSERT_EQ(w.dialogs.messages.size(), 1);
    EXPECT_TRUE(w.dialogs.messages[0].text.contains("UNIQUE")) << w.dialogs.messages[0].text.toStdString();
    EXPECT_EQ(w.dialogs.messages[0].icon, Dialogs::Icon::Error);
    EXPECT_EQ(w.model()->index(1, 0).data().toString(), "pilot000");
    EXPECT_EQ(w.db.count("select count(*) from DRIVERS where drivername = 'pilot000'"), 1);
}

TEST_F(ResultGridTest, InsertKeyAddsARowWrittenWhenPosted)
{
    run("select drivername, driverlevel, image from DRIVERS order by drivername");
    grid->setFocus();
    grid->setCurrentIndex(w.model()->index(0, 0));
    QTest::keyClick(grid, Qt::Key_Insert);
    EXPECT_EQ(w.openResult.state(), OpenResult::State::Insert);
    EXPECT_EQ(w.model()->rowCount(), 3);
    EXPECT_EQ(w.label("recNoLabel"), "RecNo: -1");
    type(startEditing(0, "drivername"), "rookie");
    type(startEditing(0, "image"), "12");
    EXPECT_EQ(w.db.count("select count(*) from DRIVERS where drivername = 'rookie'"), 0);   // not yet
    QTest::mouseClick(navigatorButton("postEdit"), Qt::LeftButton);
    EXPECT_EQ(w.db.count("select image from DRIVERS where drivername = 'rookie'"), 12);
    EXPECT_EQ(w.openResult.state(), OpenResult::State::Browse);
}

TEST_F(ResultGridTest, DownPastTheLastRowAppendsARowDroppedWhenUntouched)
{
    run("select drivername, driverlevel from DRIVERS order by drivername");
    grid->setFocus();
    grid->setCurrentIndex(w.model()->index(1, 0));
    QTest::keyClick(grid, Qt::Key_Down);
    EXPECT_EQ(w.model()->rowCount(), 3);
    EXPECT_EQ(grid->currentIndex().row(), 2);
    QTest::keyClick(grid, Qt::Key_Down);   // no second empty row
    EXPECT_EQ(w.model()->rowCount(), 3);

    w.control<SqlEditor>("sqlEditor")->setFocus();
    EXPECT_EQ(w.model()->rowCount(), 2);
    EXPECT_EQ(w.openResult.state(), OpenResult::State::Browse);
    EXPECT_EQ(w.db.count("select count(*) from DRIVERS"), 2);
}

TEST_F(ResultGridTest, DeleteAsksFirst)
{
    run("select drivername from DRIVERS order by drivername");
    grid->setFocus();
    grid->setCurrentIndex(w.model()->index(1, 0));
    w.dialogs.confirmAnswer = false;
    QTest::keyClick(grid, Qt::Key_Delete, Qt::ControlModifier);
    EXPECT_EQ(w.dialogs.confirmations, QStringList{"Delete record?"});
    EXPECT_EQ(w.db.count("select count(*) from DRIVERS"), 2);

    w.dialogs.confirmAnswer = true;
    QTest::keyClick(grid, Qt::Key_Delete, Qt::ControlModifier);
    EXPECT_EQ(w.db.count("select count(*) from DRIVERS where drivername = 'pilot000'"), 0);
    EXPECT_EQ(w.model()->rowCount(), 1);

    QTest::mouseClick(navigatorButton("deleteRecord"), Qt::LeftButton);
    EXPECT_EQ(w.dialogs.confirmations.size(), 3);
    EXPECT_EQ(w.db.count("select count(*) from DRIVERS"), 0);
    EXPECT_EQ(w.label("recNoLabel"), "RecNo: -1");
}

TEST_F(ResultGridTest, NavigatorMovesTheCurrentRow)
{
    run(startingStatement());
    EXPECT_FALSE(navigatorButton("firstRecord")->isEnabled());
    QTest::mouseClick(navigatorButton("lastRecord"), Qt::LeftButton);
    EXPECT_EQ(w.label("recNoLabel"), "RecNo: 4");
    EXPECT_EQ(grid->currentIndex().row(), 3);
    EXPECT_FALSE(navigatorButton("nextRecord")->isEnabled());
    QTest::mouseClick(navigatorButton("priorRecord"), Qt::LeftButton);
    EXPECT_EQ(w.label("recNoLabel"), "RecNo: 3");
    QTest::mouseClick(navigatorButton("firstRecord"), Qt::LeftButton);
    QTest::mouseClick(navigatorButton("nextRecord"), Qt::LeftButton);
    EXPECT_EQ(w.label("recNoLabel"), "RecNo: 2");

    // Moving in the grid moves the open result too.
    grid->setCurrentIndex(w.model()->index(2, 1));
    EXPECT_EQ(w.label("recNoLabel"), "RecNo: 3");
    EXPECT_EQ(w.openResult.currentRowNumber(), 3);

    QTest::mouseClick(navigatorButton("editRecord"), Qt::LeftButton);
    EXPECT_EQ(w.openResult.state(), OpenResult::State::Edit);
    QTest::mouseClick(navigatorButton("cancelEdit"), Qt::LeftButton);
    EXPECT_EQ(w.openResult.state(), OpenResult::State::Browse);
}

} // namespace
