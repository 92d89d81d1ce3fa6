#include "common/error.h"
#include "workbench/errorplace.h"
#include "db/openresult.h"
#include "db/resultmodel.h"
#include "db/startingstatement.h"
#include "sampledb.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QRegularExpression>
#include <QSignalSpy>
#include <gtest/gtest.h>

namespace {

class QueryObjectTest : public ::testing::TestWithParam<Engine> {
protected:
    SampleDatabase db{GetParam()};
    OpenResult openResult{db.connection(), kResultsMessageName};

    void open(const QString& sql)
    {
        openResult.setText(sql);
        openResult.open();
    }

    // The default statement's "as Racetype": PostgreSQL folds a name that is not quoted to lower case.
    QString racetype() const { return GetParam() == Engine::Postgres ? "racetype" : "Racetype"; }

    QStringList column(int field)
    {
        QStringList values;
        for (int row = 0; row < openResult.recordCount(); ++row)
            values.append(openResult.textAt(row, field));
        return values;
    }

    template <typename E>
    QString errorOf(const std::function<void()>& action)
    {
        try {
            action();
        } catch (const E& error) {
            return error.message();
        }
        return QStringLiteral("(no error)");
    }
};

TEST_P(QueryObjectTest, CountsRecordNumbersAndScrolling)
{
    QSignalSpy scrolled(&openResult, &OpenResult::currentRowChanged);
    open("select driver, car, besttime from RACR order by id");
    EXPECT_TRUE(openResult.isOpen());
    EXPECT_EQ(openResult.recordCount(), 5);
    EXPECT_EQ(openResult.currentRowNumber(), 1);
    EXPECT_EQ(scrolled.count(), 1);   // once after an open with rows
    EXPECT_EQ(openResult.fieldNames(), (QStringList{"driver", "car", "besttime"}));
    EXPECT_EQ(openResult.fieldCount(), 3);
    EXPECT_EQ(openResult.fieldText(1), "Ford GT");

    openResult.next();
    EXPECT_EQ(openResult.currentRowNumber(), 2);
    EXPECT_EQ(openResult.value(0).toString(), "pilot000");
    openResult.moveTo(4);
    EXPECT_EQ(openResult.currentRowNumber(), 5);
    EXPECT_FALSE(openResult.atEnd());
    openResult.next();
    EXPECT_TRUE(openResult.atEnd());
    EXPECT_EQ(openResult.currentRowNumber(), 5);
    openResult.first();
    EXPECT_FALSE(openResult.atEnd());
    EXPECT_EQ(openResult.currentRowNumber(), 1);
    EXPECT_EQ(scrolled.count(), 4);

    open("select driver from RACR where driver = 'nobody'");
    EXPECT_TRUE(openResult.isOpen());
    EXPECT_EQ(openResult.recordCount(), 0);
    EXPECT_EQ(openResult.currentRowNumber(), -1);
    EXPECT_TRUE(openResult.atEnd());

    openResult.setText("select 1");   // a new text closes the old result
    EXPECT_FALSE(openResult.isOpen());
}

TEST_P(QueryObjectTest, NullsAreEmptyTextAndNumbersKeepTheirType)
{
    open(startingStatement());
    ASSERT_EQ(openResult.recordCount(), 4);   // the row without a track is left out
    const int image = int(openResult.fieldNames().indexOf("image"));
    const int driver = int(openResult.fieldNames().indexOf("driver"));
    for (int row = 0; row < 4; ++row) {
        if (openResult.textAt(row, driver) == "ghost") {
            EXPECT_TRUE(openResult.valueAt(row, image).isNull());
            EXPECT_EQ(openResult.textAt(row, image), "");
        } else {
            EXPECT_TRUE(openResult.valueAt(row, image).toInt() == 3 || openResult.valueAt(row, image).toInt() == 7);
        }
    }
    EXPECT_EQ(column(int(openResult.fieldNames().indexOf(racetype()))), (QStringList{"SP", "MP", "SP", "MP"}));
}

TEST_P(QueryObjectTest, SortCyclesInPlaceWithoutRunningTheStatementAgain)
{
    open("select driver, besttime, image from RACR left join DRIVERS on drivername = driver order by id");
    const QStringList statementOrder = column(1);
    db.exec("DELETE FROM RACR");   // a new run would see no rows

    openResult.sortBy("besttime", Qt::AscendingOrder);
    EXPECT_EQ(openResult.sortText(), "besttime ASC");
    EXPECT_EQ(column(1), (QStringList{"68.250", "69.900", "70.500", "72.000", "90.000"}));
    EXPECT_EQ(openResult.currentRowNumber(), 1);
    openResult.sortBy("besttime", Qt::DescendingOrder);
    EXPECT_EQ(column(1), (QStringList{"90.000", "72.000", "70.500", "69.900", "68.250"}));
    openResult.clearSort();
    EXPECT_EQ(openResult.sortText(), "");
    EXPECT_EQ(column(1), statementOrder);

    // Nulls first, numbers by value, equal values in statement order.
    openResult.sortBy("image", Qt::AscendingOrder);
    EXPECT_EQ(column(2), (QStringList{"", "3", "3", "3", "7"}));
    EXPECT_EQ(column(0), (QStringList{"ghost", "kestrel", "kestrel", "kestrel", "pilot000"}));
    EXPECT_EQ(column(1).mid(1, 3), (QStringList{"70.500", "68.250", "90.000"}));
    openResult.sortBy("image", Qt::DescendingOrder);
    EXPECT_EQ(column(2), (QStringList{"7", "3", "3", "3", ""}));
    EXPECT_EQ(column(1).mid(1, 3), (QStringList{"70.500", "68.250", "90.000"}));

    const QString error = errorOf<racr::DatabaseError>([&] { openResult.sortBy("nosuch", Qt::AscendingOrder); });
    EXPECT_EQ(error, "ADODataSet1: Cannot sort by \"nosuch\": the result has no such field.");
    EXPECT_EQ(openResult.sortText(), "image DESC");
}

TEST_P(QueryObjectTest, BestTimesOrderAsNumbersInTheDefaultStatementAndTheTitleSort)
{
    // Times on both sides of 100 s: as texts "100.486" would come before "70.500".
    db.exec(QStringLiteral("INSERT INTO RACR (driver, car, date, trackid, multiplayer, besttime, shard) VALUES"
                           " ('slow', 'Mini', '2021-03-06  09:00:00', (SELECT trackid FROM TRACKLIST WHERE trackname = '%1'),"
                           " 1, '100.486', 'APEX'),"
                           " ('middle', 'Mini', '2021-03-07  09:00:00', (SELECT trackid FROM TRACKLIST WHERE trackname = '%1'),"
                           " 1, '85.051', 'APEX')")
                .arg(db.trackA()));
    open(startingStatement());
    const int besttime = int(openResult.fieldNames().indexOf("besttime"));
    EXPECT_EQ(column(besttime), (QStringList{"69.900", "70.500", "85.051", "100.486", "68.250", "72.000"}));

    // A title click compares a column of decimal texts by value; what is no number follows every
    // number either way, NULL first, as in the first statement ...
    db.exec("INSERT INTO RACR (driver, besttime) VALUES ('untimed', ''), ('crashed', 'DNF'), ('missing', NULL)");
    open("select driver, besttime from RACR order by id");
    openResult.sortBy("besttime", Qt::AscendingOrder);
    EXPECT_EQ(column(0).last(3), (QStringList{"missing", "untimed", "crashed"}));
    EXPECT_EQ(column(1), (QStringList{"68.250", "69.900", "70.500", "72.000", "85.051", "90.000", "100.486", "", "", "DNF"}));
    openResult.sortBy("besttime", Qt::DescendingOrder);
    EXPECT_EQ(column(1), (QStringList{"100.486", "90.000", "85.051", "72.000", "70.500", "69.900", "68.250", "", "", "DNF"}));
    // ... and a column where numbers are the exception, as text.
    open("select driver, besttime from RACR where besttime not like '%0%' or besttime is null order by id");
    openResult.sortBy("besttime", Qt::AscendingOrder);
    EXPECT_EQ(column(1), (QStringList{"", "", "DNF"}));
    open("select driver from RACR union all select '007' union all select '10' order by 1");
    openResult.sortBy("driver", Qt::DescendingOrder);
    EXPECT_EQ(column(0).last(3), (QStringList{"crashed", "10", "007"}));
}

// A time that is no number (the service's empty one, a hand-made "DNF", NULL) is no best time: in
// the first statement it comes after every number, the same rows in the same order on every
// engine, and PostgreSQL runs the statement instead of refusing its cast.
TEST_P(QueryObjectTest, ATimeThatIsNoNumberComesAfterEveryNumberInTheFirstStatement)
{
    db.exec("DELETE FROM RACR");
    db.exec(QStringLiteral("INSERT INTO RACR (driver, car, date, trackid, multiplayer, besttime, shard)"
                           " SELECT driver, 'Mini', '2011-06-01  10:00:00', (SELECT trackid FROM TRACKLIST WHERE trackname = '%1'),"
                           " 1, besttime, 'APEX' FROM (SELECT 'a' AS driver, '101.000' AS besttime UNION ALL SELECT 'b', '95.100'"
                           " UNION ALL SELECT 'c', '' UNION ALL SELECT 'd', 'DNF' UNION ALL SELECT 'e', NULL"
                           " UNION ALL SELECT 'f', '95.1' UNION ALL SELECT 'g', '.' UNION ALL SELECT 'h', '1.2.3'"
                           " UNION ALL SELECT 'i', '7.') AS given")
                .arg(db.trackA()));
    open(startingStatement());
    EXPECT_EQ(column(int(openResult.fieldNames().indexOf("driver"))),
              (QStringList{"i", "f", "b", "a", "e", "c", "g", "h", "d"}));
}

// The engine reads the first statement's rows in their order from the indexes of a new database,
// and of an earlier build's once it has been opened: a sort would make a million results wait for
// all of them to be read and cost more per row the larger the table. The engine matches an indexed
// expression by its text, case included.
TEST(OpenResultPlan, TheFirstStatementsOrderComesFromTheIndexesWithoutASort)
{
    SampleDatabase db(Engine::Sqlite);
    const auto plan = [&](Connection& connection) {
        QSqlQuery explain(connection.database());
        EXPECT_TRUE(explain.exec("EXPLAIN QUERY PLAN " + startingStatement()));
        QStringList steps;
        while (explain.next())
            steps.append(explain.value(3).toString());
        return steps.join('\n');
    };
    EXPECT_FALSE(plan(db.connection()).contains("TEMP B-TREE")) << plan(db.connection()).toStdString();

    // The indexes as the earlier build wrote them.
    const auto makeEarlier = [&] {
        db.exec("DROP INDEX RACR_track_order");
        db.exec("DROP INDEX TRACKLIST_trackname");
        db.exec("CREATE INDEX RACR_track_order ON RACR"
                " (trackid, multiplayer DESC, CAST(besttime AS REAL), besttime, driver, car, date)");
        db.exec("CREATE INDEX TRACKLIST_trackname ON TRACKLIST (trackname)");
    };
    makeEarlier();
    ASSERT_TRUE(plan(db.connection()).contains("TEMP B-TREE"));
    {
        Connection reopened(db.home().file("connection.dsn"), db.home().file("RACR.db"));
        reopened.open();
        EXPECT_FALSE(plan(reopened).contains("TEMP B-TREE")) << plan(reopened).toStdString();
    }
    OpenResult openResult(db.connection(), kResultsMessageName);
    openResult.setText(startingStatement());
    openResult.open();
    EXPECT_EQ(openResult.recordCount(), 4);

    // The indexes as the release before wrote them, before a time that is no number came last.
    db.exec("DROP INDEX RACR_track_order");
    db.exec("CREATE INDEX RACR_track_order ON RACR"
            " (trackid, multiplayer DESC, cast(besttime as real), besttime, driver, car, date)");
    ASSERT_TRUE(plan(db.connection()).contains("TEMP B-TREE"));
    {
        Connection reopened(db.home().file("connection.dsn"), db.home().file("RACR.db"));
        reopened.open();
        EXPECT_FALSE(plan(reopened).contains("TEMP B-TREE")) << plan(reopened).toStdString();
    }

    // Track names a user made twice cannot be declared unique: that file opens with what it has.
    makeEarlier();
    db.exec("INSERT INTO TRACKLIST (trackid, trackname) VALUES (99999, '" + db.trackA() + "')");
    Connection reopened(db.home().file("connection.dsn"), db.home().file("RACR.db"));
    reopened.open();
    EXPECT_EQ(db.count("select count(*) from sqlite_master where sql like '%CAST(besttime AS REAL)%'"), 1);
}

TEST_P(QueryObjectTest, OpenOnAStatementWithoutRowsReportsCommandTextError)
{
    const QString error = errorOf<racr::DatabaseError>([&] { open("update RACR set shard = 'CHICANE' where driver = 'kestrel'"); });
    EXPECT_EQ(error, "ADODataSet1: CommandText does not return a result set");
    EXPECT_FALSE(openResult.isOpen());
    EXPECT_EQ(db.count("select count(*) from RACR where shard = 'CHICANE'"), 3);   // it did run
}

TEST_P(QueryObjectTest, ColonInTheTextReachesTheDatabaseUnchanged)
{
    openResult.setText("update RACR set car = 'Car :name ?x :1' where id = 2");
    openResult.execute();
    EXPECT_EQ(openResult.rowsAffected(), 1);
    EXPECT_EQ(db.scalar("select car from RACR where id = 2").toString(), "Car :name ?x :1");
    open("select car, 'a:b' as colon from RACR where car = 'Car :name ?x :1'");
    ASSERT_EQ(openResult.recordCount(), 1);
    EXPECT_EQ(openResult.fieldText(1), "a:b");
}

TEST_P(QueryObjectTest, TheDatabaseDecidesWhetherARunShowsRows)
{
    openResult.setText("insert into DRIVERS (drivername) select driver from RACR where driver = 'ghost'");
    EXPECT_FALSE(openResult.run());
    EXPECT_EQ(openResult.rowsAffected(), 1);
    EXPECT_FALSE(openResult.isOpen());
    EXPECT_EQ(db.count("select count(*) from DRIVERS"), 3);

    openResult.setText("update RACR set shard = 'CHICANE' where driver = 'kestrel'");
    EXPECT_FALSE(openResult.run());
    EXPECT_EQ(openResult.rowsAffected(), 3);

    openResult.setText("select\r\ndriver from RACR\r\n");
    EXPECT_TRUE(openResult.run());
    EXPECT_EQ(openResult.recordCount(), 5);

    // A statement that changes nothing does not repeat the previous count.
    openResult.setText("update RACR set shard = 'X' where 1 = 0");
    EXPECT_FALSE(openResult.run());
    EXPECT_EQ(openResult.rowsAffected(), 0);
    openResult.setText("update RACR set shard = 'APEX'");
    openResult.run();
    openResult.setText("create table NOTES (line TEXT)");
    EXPECT_FALSE(openResult.run());
    EXPECT_EQ(openResult.rowsAffected(), 0);
}

TEST_P(QueryObjectTest, ExecRunsASavedQueryFilteredByItsFirstColumn)
{
    openResult.setText("exec driverstats \r\n");
    EXPECT_TRUE(openResult.run());
    EXPECT_EQ(openResult.recordCount(), 4);
    EXPECT_EQ(openResult.fieldNames().first(), "driver");

    openResult.setText("exec driverstats KESTREL\r\n");
    openResult.open();
    EXPECT_EQ(column(0), (QStringList{"kestrel", "kestrel"}));

    openResult.setText("EXEC weeklybest");
    EXPECT_TRUE(openResult.run());
    EXPECT_EQ(openResult.recordCount(), 4);

    openResult.setText("exec\r\n");
    EXPECT_EQ(errorOf<racr::DatabaseError>([&] { openResult.run(); }),
              "ADODataSet1: exec needs the name of a saved query: exec NAME [VALUE]");
    openResult.setText("exec nosuchview");
    EXPECT_TRUE(errorOf<racr::EngineError>([&] { openResult.run(); }).contains("nosuchview"));
}

TEST_P(QueryObjectTest, EmptyAndFaultyTextsAreErrors)
{
    openResult.setText("\r\n");
    EXPECT_EQ(errorOf<racr::DatabaseError>([&] { openResult.run(); }),
              "ADODataSet1: There is no statement to run: the text is empty.");
    openResult.setText("selec driver from RACR");
    EXPECT_TRUE(errorOf<racr::EngineError>([&] { openResult.run(); }).contains("syntax error"));
    openResult.setText("select nosuchcolumn from RACR");
    EXPECT_TRUE(errorOf<racr::EngineError>([&] { openResult.run(); }).contains("nosuchcolumn"));
    EXPECT_FALSE(openResult.isOpen());
}

// The engine names the place of a fault in the text it was sent, each line closed by CR LF; the
// user reads it as a line and a column of characters in the editor, whose selection ran.
TEST_P(QueryObjectTest, AFaultsPlaceIsALineAndAColumnOfCharactersInTheEditor)
{
    if (GetParam() == Engine::Odbc)
        GTEST_SKIP() << "the SQLite ODBC driver names no place";
    const auto placeOfFault = [&](const QString& editor, const QString& selected) {
        const QString sent = QString(selected).replace("\n", "\r\n") + "\r\n";
        try {
            openResult.runReplacing(sent);
        } catch (const racr::EngineError& error) {
            const TextPlace place = placeInEditor(editor, editor.indexOf(selected), sent, error.position());
            return QStringLiteral("%1:%2").arg(place.line).arg(place.column);
        }
        return QStringLiteral("no fault");
    };
    // "é" takes two bytes of UTF-8 and "😀" two UTF-16 units; each is one column.
    EXPECT_EQ(placeOfFault("select 1; select 'é😀' frm RACR", "select 'é😀' frm RACR"), "1:27");
    EXPECT_EQ(placeOfFault("select 1;\nselect 2,\n  'é😀' frm RACR", "select 2,\n  'é😀' frm RACR"), "3:12");
}

TEST_P(QueryObjectTest, EditInsertAndDeleteAreWrittenToTheirTables)
{
    open(startingStatement());
    const int car = int(openResult.fieldNames().indexOf("car"));
    const int level = int(openResult.fieldNames().indexOf("driverlevel"));
    ASSERT_EQ(openResult.fieldText(car), "Audi R8");   // single-player first: multiplayer DESC

    openResult.setFieldText(car, "Audi R8 'V10'");
    EXPECT_EQ(openResult.state(), OpenResult::State::Edit);
    EXPECT_EQ(openResult.currentRowNumber(), 1);
    openResult.setFieldText(level, "13");
    openResult.submit();
    EXPECT_EQ(openResult.state(), OpenResult::State::Browse);
    EXPECT_EQ(db.scalar("select car from RACR where id = 2").toString(), "Audi R8 'V10'");
    EXPECT_EQ(db.scalar("select driverlevel from DRIVERS where drivername = 'pilot000'").toInt(), 13);
    EXPECT_EQ(db.count("select count(*) from DRIVERS where driverlevel = 13"), 1);
    EXPECT_EQ(openResult.fieldText(car), "Audi R8 'V10'");

    open("select driver, car, date, trackid, multiplayer, besttime, shard from RACR order by id");
    openResult.append();
    EXPECT_EQ(openResult.recordCount(), 6);
    EXPECT_EQ(openResult.currentRowNumber(), -1);
    const QStringList values = {"newbie", "Mini Cooper", "2021-04-01  09:00:00", "999999", "2", "02:00.000", "APEX"};
    for (int f = 0; f < values.size(); ++f)
        openResult.setFieldText(f, values[f]);
    openResult.submit();
    EXPECT_EQ(openResult.currentRowNumber(), 6);
    EXPECT_EQ(db.count("select count(*) from RACR where driver = 'newbie' and trackid = 999999 and multiplayer = 2"), 1);

    openResult.moveTo(1);
    openResult.deleteRecord();
    EXPECT_EQ(openResult.recordCount(), 5);
    EXPECT_EQ(openResult.fieldText(0), "ghost");   // the next row is current
    EXPECT_EQ(db.count("select count(*) from RACR where driver = 'pilot000'"), 0);
    EXPECT_EQ(db.count("select count(*) from DRIVERS where drivername = 'pilot000'"), 1);
}

TEST_P(QueryObjectTest, ARowOfAJoinIsDeletedFromItsMainTableOnly)
{
    open(startingStatement());
    openResult.deleteRecord();
    EXPECT_EQ(db.count("select count(*) from RACR"), 4);
    EXPECT_EQ(db.count("select count(*) from DRIVERS"), 2);
    EXPECT_EQ(db.count("select count(*) from TRACKLIST"), 90);
}

TEST_P(QueryObjectTest, ARefusedWriteKeepsTheOldValues)
{
    open("select driver, shard, trackid, date, multiplayer, besttime from RACR order by id");
    // Row 4 made equal to row 1 breaks the duplicate check's unique index.
    openResult.moveTo(3);
    openResult.setFieldText(3, "2021-03-01  10:00:00");
    openResult.setFieldText(2, db.scalar("select trackid from RACR where id = 1").toString());
    openResult.setFieldText(4, "1");
    openResult.setFieldText(5, "70.500");
    // Each engine words it in its own way ("UNIQUE constraint failed", "violates unique constraint").
    EXPECT_TRUE(errorOf<racr::EngineError>([&] { openResult.submit(); }).contains("UNIQUE", Qt::CaseInsensitive));
    EXPECT_EQ(openResult.state(), OpenResult::State::Browse);
    EXPECT_EQ(openResult.fieldText(5), "68.250");
    EXPECT_EQ(db.scalar("select besttime from RACR where id = 4").toString(), "68.250");

    // A change that would reach several rows is not written at all.
    open("select shard from RACR");
    openResult.setFieldText(0, "CHICANE");
    EXPECT_TRUE(errorOf<racr::DatabaseError>([&] { openResult.submit(); }).contains("5 rows of RACR", Qt::CaseInsensitive));
    EXPECT_EQ(db.count("select count(*) from RACR where shard = 'CHICANE'"), 0);
    EXPECT_EQ(openResult.fieldText(0), "APEX");

    // A new row the table refuses stays pending so it can be corrected.
    open("select drivername, driverlevel from DRIVERS");
    openResult.append();
    openResult.setFieldText(1, "4");
    EXPECT_TRUE(errorOf<racr::EngineError>([&] { openResult.submit(); }).contains(QRegularExpression("NOT.NULL", QRegularExpression::CaseInsensitiveOption)));
    EXPECT_EQ(openResult.state(), OpenResult::State::Insert);
    openResult.setFieldText(0, "rookie");
    openResult.submit();
    EXPECT_EQ(db.count("select driverlevel from DRIVERS where drivername = 'rookie'"), 4);
}

TEST_P(QueryObjectTest, ComputedAndMissingRowsAreNotWritable)
{
    open(startingStatement());
    const int computed = int(openResult.fieldNames().indexOf(racetype()));
    EXPECT_TRUE(openResult.isReadOnly(computed));
    EXPECT_FALSE(openResult.isReadOnly(int(openResult.fieldNames().indexOf("car"))));
    EXPECT_EQ(errorOf<racr::DatabaseError>([&] { openResult.setFieldText(computed, "XX"); }),
              "ADODataSet1: Field \"" + racetype()
                  + "\" cannot be changed: the statement computes it, and only columns read from a table can be edited.");
    EXPECT_EQ(openResult.state(), OpenResult::State::Browse);

    // ghost has no DRIVERS row: its level cannot be set through the outer join.
    const int driver = int(openResult.fieldNames().indexOf("driver"));
    for (int row = 0; row < openResult.recordCount(); ++row)
        if (openResult.textAt(row, driver) == "ghost")
            openResult.moveTo(row);
    openResult.setFieldText(int(openResult.fieldNames().indexOf("driverlevel")), "1");
    EXPECT_TRUE(errorOf<racr::DatabaseError>([&] { openResult.submit(); }).contains("no row in DRIVERS", Qt::CaseInsensitive));
    EXPECT_EQ(db.count("select count(*) from DRIVERS where driverlevel = 1"), 0);
}

TEST_P(QueryObjectTest, AnUntouchedNewRowIsDroppedWhenLeft)
{
    open("select driver from RACR order by id");
    openResult.moveTo(2);
    QSignalSpy removed(&openResult, &OpenResult::rowRemoved);
    openResult.insert();
    EXPECT_EQ(openResult.currentRow(), 2);
    EXPECT_EQ(openResult.recordCount(), 6);
    openResult.moveTo(4);   // the row that was fourth before the new one
    EXPECT_EQ(removed.count(), 1);
    EXPECT_EQ(openResult.recordCount(), 5);
    EXPECT_EQ(openResult.fieldText(0), "kestrel");
    EXPECT_EQ(openResult.currentRowNumber(), 4);
    EXPECT_EQ(db.count("select count(*) from RACR"), 5);
}

// A million rows take far longer than the first block's moment on any machine.
const QString kManyRows = QStringLiteral(
    "with recursive n(x) as (select 1 union all select x + 1 from n where x < 1000000) select x from n");

// Only SQLite runs other statements on the connection while a result is still being read; a
// server engine's result is read whole.
TEST(QueryObjectFetch, ALargeResultShowsItsFirstRowsAndReadsTheRestWhereItMust)
{
    SampleDatabase db(Engine::Sqlite);
    OpenResult openResult(db.connection(), kResultsMessageName);
    const auto open = [&](const QString& sql) {
        openResult.setText(sql);
        openResult.open();
    };
    ResultModel model(openResult);
    openResult.setBackgroundFetch(true);
    open(kManyRows);
    ASSERT_TRUE(openResult.isFetching());
    EXPECT_GT(openResult.recordCount(), 0);
    EXPECT_LT(openResult.recordCount(), 1000000);
    EXPECT_EQ(model.rowCount(), openResult.recordCount());
    EXPECT_EQ(openResult.currentRowNumber(), 1);

    // The rest comes in turns of the event loop, and the model follows row for row.
    while (openResult.isFetching())
        QCoreApplication::processEvents();
    EXPECT_EQ(openResult.recordCount(), 1000000);
    EXPECT_EQ(model.rowCount(), 1000000);
    EXPECT_EQ(model.data(model.index(999999, 0), Qt::DisplayRole).toString(), "1000000");
    EXPECT_FALSE(openResult.wasStopped());

    // A sort needs every row, and so does walking past the last one read.
    open(kManyRows);
    openResult.sortBy("x", Qt::DescendingOrder);
    EXPECT_FALSE(openResult.isFetching());
    EXPECT_EQ(openResult.fieldText(0), "1000000");
    open(kManyRows);
    const int read = openResult.recordCount();
    openResult.moveTo(read - 1);
    openResult.next();
    EXPECT_FALSE(openResult.atEnd());
    EXPECT_EQ(openResult.fieldText(0), QString::number(read + 1));

    // Stopped: what was read stays, the rest is dropped, and the connection runs the next one.
    openResult.stopFetching();
    EXPECT_FALSE(openResult.isFetching());
    EXPECT_TRUE(openResult.wasStopped());
    EXPECT_EQ(model.rowCount(), openResult.recordCount());
    EXPECT_LT(openResult.recordCount(), 1000000);
    open("select count(*) from RACR");
    EXPECT_EQ(openResult.fieldText(0), "5");
}

// A title click on a large result sorts two halves at once and merges them: every row must come
// out once, in order, and rows of equal value in the order the statement gave them.
TEST(QueryObjectSort, ALargeResultSortsByValueAndKeepsEqualRowsInTheirOrder)
{
    SampleDatabase db(Engine::Sqlite);
    OpenResult openResult(db.connection(), kResultsMessageName);
    // Times as text with many ties, and the row's place in the statement.
    openResult.setText("with recursive n(x) as (select 1 union all select x + 1 from n where x < 250000)"
                    " select printf('%d.%d', (x * 7919) % 997, x % 2) as t, x from n");
    openResult.open();
    while (openResult.isFetching())
        QCoreApplication::processEvents();
    for (const bool descending : {false, true}) {
        openResult.sortBy("t", descending ? Qt::DescendingOrder : Qt::AscendingOrder);
        ASSERT_EQ(openResult.recordCount(), 250000);
        std::vector<bool> seen(250001, false);
        double previousTime = descending ? 1e9 : -1;
        qint64 previousPlace = 0;
        for (int row = 0; row < openResult.recordCount(); ++row) {
            const double time = openResult.textAt(row, 0).toDouble();
            const qint64 place = openResult.textAt(row, 1).toLongLong();
            ASSERT_TRUE(descending ? time <= previousTime : time >= previousTime) << "row " << row;
            if (time == previousTime)
                ASSERT_GT(place, previousPlace) << "row " << row;
            ASSERT_FALSE(seen[std::size_t(place)]) << "row " << row;
            seen[std::size_t(place)] = true;
            previousTime = time;
            previousPlace = place;
        }
    }
}

// The grid's filters: a view over the rows read, through which every position is counted, so an
// edit, a delete or a new row lands on the row the user sees.
TEST(QueryObjectFilter, KeepsTheMatchingRowsForSortsEditsDeletesAndNewRows)
{
    SampleDatabase db(Engine::Sqlite);
    OpenResult openResult(db.connection(), kResultsMessageName);
    ResultModel model(openResult);
    // secs: numbers held as text, as the service's times are.
    openResult.setText("select id, driver, car, printf('%.1f', 80 + id * 5.5) as secs from RACR order by id");
    openResult.open();
    const auto ids = [&] {
        QStringList shown;
        for (int row = 0; row < openResult.recordCount(); ++row)
            shown.append(openResult.textAt(row, 0));
        return shown.join(',');
    };
    const auto filter = [&](std::initializer_list<std::pair<int, QString>> texts) {
        RowFilter f;
        for (const auto& [column, text] : texts)
            f.set(column, text);
        openResult.setFilter(f);
    };

    filter({{1, "KESTREL"}});
    EXPECT_EQ(ids(), "1,4,5");
    EXPECT_EQ(model.rowCount(), 3);
    EXPECT_EQ(openResult.loadedCount(), 5);
    filter({{1, "kEsT"}, {3, ">90"}});
    EXPECT_EQ(ids(), "4,5");
    filter({{3, "<=96.5"}});
    EXPECT_EQ(ids(), "1,2,3");
    filter({{0, "4..2"}});
    EXPECT_EQ(ids(), "2,3,4");
    filter({{0, "=5"}});
    EXPECT_EQ(ids(), "5");
    filter({{0, ">"}});   // an operator still waiting for its number keeps every row
    EXPECT_EQ(ids(), "1,2,3,4,5");
    filter({{2, "no such car"}});
    EXPECT_EQ(openResult.recordCount(), 0);
    EXPECT_EQ(openResult.currentRowNumber(), -1);

    // A sort keeps the filter; the current row stays when it is still shown.
    filter({{1, "kestrel"}});
    openResult.sortBy("id", Qt::DescendingOrder);
    EXPECT_EQ(ids(), "5,4,1");
    openResult.moveTo(1);
    filter({{1, "kestrel"}, {3, ">90"}});
    EXPECT_EQ(openResult.fieldText(0), "4");

    // An edit, then a delete, each of the row shown at that place.
    openResult.setFieldText(2, "BMW M3 GTR");
    openResult.submit();
    EXPECT_EQ(db.scalar("select car from RACR where id = 4").toString(), "BMW M3 GTR");
    openResult.moveTo(0);
    openResult.deleteRecord();
    EXPECT_EQ(db.count("select count(*) from RACR where id = 5"), 0);
    EXPECT_EQ(ids(), "4");
    filter({});
    EXPECT_EQ(ids(), "4,3,2,1");
    EXPECT_EQ(openResult.loadedCount(), 4);

    // A new row made under a filter is shown, and stays among all rows once the filter goes.
    openResult.setText("select drivername, driverlevel from DRIVERS order by drivername");
    openResult.open();
    filter({{0, "pilot"}});
    openResult.insert();
    openResult.setFieldText(0, "newbie");
    openResult.submit();
    EXPECT_EQ(openResult.recordCount(), 2);
    EXPECT_EQ(db.count("select count(*) from DRIVERS where drivername = 'newbie'"), 1);
    filter({});
    EXPECT_EQ(openResult.recordCount(), 3);
    EXPECT_EQ(openResult.textAt(1, 0), "newbie");   // made before pilot000, after kestrel

    // Rows read in the background are filtered as they come.
    openResult.setBackgroundFetch(true);
    openResult.setText(kManyRows);
    openResult.open();
    ASSERT_TRUE(openResult.isFetching());
    filter({{0, "999990..1000000"}});
    while (openResult.isFetching())
        QCoreApplication::processEvents();
    EXPECT_EQ(openResult.recordCount(), 11);
    EXPECT_EQ(model.rowCount(), 11);
    EXPECT_EQ(openResult.loadedCount(), 1000000);
    EXPECT_EQ(openResult.textAt(10, 0), "1000000");
}

TEST(QueryObjectWait, AStatementStoppedBeforeItsFirstRowEndsAtOnce)
{
    SampleDatabase db(Engine::Sqlite);
    OpenResult openResult(db.connection(), kResultsMessageName);
    int asked = 0;
    openResult.setWaitHandler([&] { return ++asked == 3; });
    // Counting this many rows takes the engine a minute.
    openResult.setText("with recursive n(x) as (select 1 union all select x + 1 from n where x < 1000000000)"
                    " select count(*) from n");
    QElapsedTimer clock;
    clock.start();
    EXPECT_THROW(openResult.open(), racr::Cancelled);
    EXPECT_LT(clock.elapsed(), 10'000);
    EXPECT_EQ(asked, 3);
    EXPECT_FALSE(openResult.isOpen());
    openResult.setText("select count(*) from RACR");
    openResult.open();
    EXPECT_EQ(openResult.fieldText(0), "5");
}

TEST(QueryObjectWait, APostgresStatementStoppedWhileTheServerWorksIsCancelledThere)
{
    SampleDatabase db(Engine::Postgres);
    OpenResult openResult(db.connection(), kResultsMessageName);
    int asked = 0;
    openResult.setWaitHandler([&] { return ++asked == 3; });
    openResult.setText("select pg_sleep(60)");
    QElapsedTimer clock;
    clock.start();
    EXPECT_THROW(openResult.open(), racr::Cancelled);
    EXPECT_EQ(asked, 3);
    // The server gave the statement up: the next one is answered at once, not after a minute.
    openResult.setText("select count(*) from RACR");
    openResult.open();
    EXPECT_EQ(openResult.fieldText(0), "5");
    EXPECT_LT(clock.elapsed(), 10'000);
}

// A server's rows come in while it still works on the rest; the result holds the connection,
// so any other statement first reads the rest, and a stop leaves the connection ready at once.
TEST(QueryObjectWait, APostgresResultShowsItsFirstRowsWhileTheServerSendsTheRest)
{
    SampleDatabase db(Engine::Postgres);
    OpenResult openResult(db.connection(), kResultsMessageName);
    openResult.setBackgroundFetch(true);
    openResult.setWaitHandler([] { return false; });
    // About a minute of rows for the server to make and send, one after the other.
    const QString endless = "select generate_series(1, 500000000) as x";
    openResult.setText(endless);
    QElapsedTimer clock;
    clock.start();
    openResult.open();
    EXPECT_TRUE(openResult.isFetching());
    EXPECT_GT(openResult.recordCount(), 0);
    EXPECT_EQ(openResult.fieldText(0), "1");
    openResult.stopFetching();
    EXPECT_TRUE(openResult.wasStopped());
    EXPECT_EQ(db.count("select count(*) from RACR"), 5);
    EXPECT_LT(clock.elapsed(), 20'000);

    // Another statement on the connection waits for the rest instead of dropping it.
    openResult.setText("select generate_series(1, 300000) as x");
    openResult.open();
    ASSERT_TRUE(openResult.isFetching());
    EXPECT_TRUE(db.connection().tableNames().contains("racr"));
    EXPECT_FALSE(openResult.isFetching());
    EXPECT_FALSE(openResult.wasStopped());
    EXPECT_EQ(openResult.recordCount(), 300000);
    EXPECT_EQ(openResult.textAt(299999, 0), "300000");

    // A stop asked while the rows come in cancels the statement on the server.
    int asked = 0;
    openResult.setWaitHandler([&] { return ++asked == 3; });
    openResult.setText(endless);
    openResult.open();
    clock.restart();
    openResult.fetchAll();
    EXPECT_TRUE(openResult.wasStopped());
    EXPECT_EQ(db.count("select count(*) from RACR"), 5);
    EXPECT_LT(clock.elapsed(), 20'000);
}

// The server's place of a fault, in the characters of the statement as the editor holds it.
TEST(QueryObjectWait, APostgresErrorSaysWhereInTheStatementItIs)
{
    SampleDatabase db(Engine::Postgres);
    OpenResult openResult(db.connection(), kResultsMessageName);
    const QString sql = QStringLiteral("select '\u00fc\U0001F3CE', nosuch\nfrom RACR");
    openResult.setText(sql);
    try {
        openResult.open();
        ADD_FAILURE() << "no error";
    } catch (const racr::EngineError& error) {
        EXPECT_TRUE(error.message().contains("column \"nosuch\" does not exist")) << error.message().toStdString();
        EXPECT_EQ(error.position(), sql.indexOf("nosuch"));
    }
    openResult.setText("select 1/0 from RACR");
    try {
        openResult.open();
        ADD_FAILURE() << "no error";
    } catch (const racr::EngineError& error) {
        EXPECT_TRUE(error.message().contains("division by zero")) << error.message().toStdString();
        EXPECT_EQ(error.position(), -1);
    }
}

INSTANTIATE_TEST_SUITE_P(Engines, QueryObjectTest, ::testing::Values(Engine::Sqlite, Engine::Odbc, Engine::Postgres), engineName);

} // namespace

TEST(QueryObjectWait, AReadIsNeverNestedInsideTheEnginesWait)
{
    SampleDatabase db(Engine::Sqlite);
    OpenResult openResult(db.connection(), kResultsMessageName);
    openResult.setBackgroundFetch(true);
    // Each row costs the engine a long count, so the wait handler is asked inside every read.
    const QString slowRows = "with recursive n(x) as (select 1 union all select x + 1 from n where x < 5000000)"
                             " select x from n where x % 1000000 = 0";
    QStringList refused;
    bool stopInside = false;
    openResult.setWaitHandler([&] {
        // As the window does: its event loop runs here, and with it the background reading's turn.
        QCoreApplication::processEvents();
        if (stopInside)
            openResult.stopFetching();
        try {
            openResult.fetchAll();
        } catch (const racr::DatabaseError& error) {
            refused.append(error.message());
        }
        return false;
    });
    openResult.setText(slowRows);
    openResult.open();
    openResult.fetchAll();
    EXPECT_FALSE(openResult.wasStopped());
    QStringList rows;
    for (int row = 0; row < openResult.recordCount(); ++row)
        rows.append(openResult.textAt(row, 0));
    EXPECT_EQ(rows, (QStringList{"1000000", "2000000", "3000000", "4000000", "5000000"}));
    ASSERT_FALSE(refused.isEmpty());
    EXPECT_EQ(refused.first(), "ADODataSet1: The result is still being read; wait until its rows are in, or stop it.");

    // Stop asked from inside a read ends the fetch once that read returns; the rows read stay.
    stopInside = true;
    openResult.setText(slowRows);
    openResult.open();
    if (openResult.isFetching())
        openResult.fetchAll();
    EXPECT_FALSE(openResult.isFetching());
    EXPECT_TRUE(openResult.wasStopped());
    EXPECT_LT(openResult.recordCount(), 5);
}
