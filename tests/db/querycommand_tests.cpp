#include "db/querycommand.h"
#include "sampledb.h"

#include <QTextStream>
#include <gtest/gtest.h>

namespace {

class QueryCommand : public ::testing::TestWithParam<Engine> {
protected:
    SampleDatabase db{GetParam()};
    QString out;
    QString err;

    int run(const QString& sql)
    {
        out.clear();
        err.clear();
        QTextStream o(&out);
        QTextStream e(&err);
        return runQueryCommand(sql, o, e);
    }
};

TEST_P(QueryCommand, PrintsRowsUnderAHeaderLine)
{
    db.exec("update RACR set car = 'Ford \"GT\"; 2005' where id = 1");
    EXPECT_EQ(run("select id, driver, car, image from RACR left join DRIVERS on drivername = driver"
                  " where id in (1, 3) order by id"),
              0);
    EXPECT_EQ(out, "id;driver;car;image\n"
                   "1;kestrel;\"Ford \"\"GT\"\"; 2005\";3\n"
                   "3;ghost;Lotus Exige;\n");
    EXPECT_EQ(err, "");
}

TEST_P(QueryCommand, ReportsTheCountOfAStatementWithoutRows)
{
    EXPECT_EQ(run("delete from RACR where driver = 'kestrel'"), 0);
    EXPECT_EQ(out, "Operation affected 3 row(s)\n");
    EXPECT_EQ(run("exec driverstats PILOT000"), 0);
    EXPECT_EQ(out.count('\n'), 2);
}

TEST_P(QueryCommand, ErrorsGoToStandardErrorWithAFailingStatus)
{
    EXPECT_NE(run("select * from nosuchtable"), 0);
    EXPECT_EQ(out, "");
    EXPECT_TRUE(err.contains("nosuchtable")) << err.toStdString();
}

INSTANTIATE_TEST_SUITE_P(Engines, QueryCommand, ::testing::Values(Engine::Sqlite, Engine::Odbc), engineName);

} // namespace
