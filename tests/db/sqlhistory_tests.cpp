#include "db/sqlhistory.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

TEST(SqlHistory, KeptAcrossARestartUpToTheLimitAndWalkedBackToTheDraft)
{
    QTemporaryDir folder;
    const QString path = folder.filePath("sqlhistory.json");
    {
        SqlHistory history(path, 3);
        for (const QString& statement : {"select 1", "select 2\nfrom RACR", "  \n", "select 3", "select 3", "select 4"})
            EXPECT_TRUE(history.add(statement));
    }
    // A new run of the program: blanks and repeats were not kept, the oldest went past the limit.
    SqlHistory history(path, 3);
    ASSERT_EQ(history.entries(), (QStringList{"select 2\nfrom RACR", "select 3", "select 4"}));

    EXPECT_EQ(history.newer(), std::nullopt);   // nothing newer than what is being typed
    EXPECT_EQ(history.older("sel"), "select 4");
    EXPECT_EQ(history.older("select 4"), "select 3");
    EXPECT_EQ(history.older("select 3"), "select 2\nfrom RACR");
    EXPECT_EQ(history.older("select 2\nfrom RACR"), std::nullopt);
    EXPECT_EQ(history.newer(), "select 3");
    EXPECT_EQ(history.newer(), "select 4");
    EXPECT_EQ(history.newer(), "sel");   // what was being typed comes back
    EXPECT_EQ(history.newer(), std::nullopt);

    // A run ends the walk: the next step back starts at the newest again.
    EXPECT_EQ(history.older("x"), "select 4");
    history.add("select 5");
    EXPECT_EQ(history.older(""), "select 5");
}

TEST(SqlHistory, ADamagedFileIsAnEmptyHistoryAndAnUnwritableOneLosesNothingOfThisRun)
{
    QTemporaryDir folder;
    const QString path = folder.filePath("sqlhistory.json");
    QFile damaged(path);
    ASSERT_TRUE(damaged.open(QIODevice::WriteOnly));
    damaged.write("[\"select 1\", ");
    damaged.close();
    EXPECT_TRUE(SqlHistory(path).entries().isEmpty());

    SqlHistory unwritable(folder.filePath("missing-folder/sqlhistory.json"));
    EXPECT_FALSE(unwritable.add("select 1"));
    EXPECT_EQ(unwritable.older(""), "select 1");
}
