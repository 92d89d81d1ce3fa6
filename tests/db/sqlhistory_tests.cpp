#include "workbench/sqlhistory.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <thread>

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

TEST(SqlHistory, ADamagedFileKeepsWhatCanBeReadAndIsNeverWrittenOver)
{
    QTemporaryDir folder;
    const QString path = folder.filePath("sqlhistory.json");
    // Cut off in the middle of the fourth statement, as a full disk or a crash leaves it.
    const QByteArray truncated = "[\n    \"select 1\",\n    \"select \\\"a, b\\\"\\nfrom RACR\",\n    \"select 3\",\n    \"sel";
    const auto write = [](const QString& file, const QByteArray& bytes) {
        QFile out(file);
        ASSERT_TRUE(out.open(QIODevice::WriteOnly));
        out.write(bytes);
    };
    const auto read = [](const QString& file) {
        QFile in(file);
        return in.open(QIODevice::ReadOnly) ? in.readAll() : QByteArray("(missing)");
    };
    write(path, truncated);
    {
        SqlHistory history(path);
        EXPECT_EQ(history.entries(), (QStringList{"select 1", "select \"a, b\"\nfrom RACR", "select 3"}));
        EXPECT_TRUE(history.problem().contains("The 3 statement(s) that could be read are kept; the damaged file is now "
                                               + path + ".damaged"))
            << history.problem().toStdString();
        EXPECT_EQ(read(path + ".damaged"), truncated);
        EXPECT_TRUE(history.add("select 4"));
    }
    SqlHistory again(path);
    EXPECT_EQ(again.entries(), (QStringList{"select 1", "select \"a, b\"\nfrom RACR", "select 3", "select 4"}));
    EXPECT_TRUE(again.problem().isEmpty());

    // A second damaged file keeps the first damaged copy, and a name in the way, and takes the next number.
    const QByteArray second = "[\"select 7\", \"sel";
    write(path, second);
    ASSERT_TRUE(QDir(folder.path()).mkpath("sqlhistory.json.damaged.2/in-the-way"));
    {
        SqlHistory history(path);
        EXPECT_EQ(history.entries(), QStringList{"select 7"});
        EXPECT_TRUE(history.problem().endsWith("the damaged file is now " + path + ".damaged.3."))
            << history.problem().toStdString();
    }
    EXPECT_EQ(read(path + ".damaged"), truncated);
    EXPECT_EQ(read(path + ".damaged.3"), second);

    // A damaged file that cannot be moved aside (its name and ".damaged" are too long for the file
    // system) stays as it is; this run's statements are kept in memory.
    const QString longPath = folder.filePath(QString(250, 'h'));
    write(longPath, truncated);
    SqlHistory stuck(longPath);
    EXPECT_EQ(stuck.entries().size(), 3);
    EXPECT_TRUE(stuck.problem().contains("could not be moved aside")) << stuck.problem().toStdString();
    EXPECT_FALSE(stuck.add("select 5"));
    EXPECT_EQ(stuck.older(""), "select 5");
    EXPECT_EQ(read(longPath), truncated);

    SqlHistory unwritable(folder.filePath("missing-folder/sqlhistory.json"));
    EXPECT_TRUE(unwritable.problem().isEmpty());
    EXPECT_FALSE(unwritable.add("select 1"));
    EXPECT_EQ(unwritable.older(""), "select 1");
}

// Two windows on one program folder, each with its history: neither loses the other's statements,
// whether they take turns or run statements at the same moment.
TEST(SqlHistory, TwoWindowsOnOneFolderKeepEachOthersStatements)
{
    QTemporaryDir folder;
    const QString path = folder.filePath("sqlhistory.json");
    {
        SqlHistory first(path);
        SqlHistory second(path);
        EXPECT_TRUE(first.add("select 1"));
        EXPECT_TRUE(second.add("select 2"));
        EXPECT_TRUE(first.add("select 3"));
        // A window walks the other's statements too, from the newest.
        EXPECT_EQ(first.older(""), "select 3");
        EXPECT_EQ(first.older("select 3"), "select 2");
    }
    EXPECT_EQ(SqlHistory(path).entries(), (QStringList{"select 1", "select 2", "select 3"}));

    constexpr int kEach = 150;
    const auto window = [&](const QString& name) {
        SqlHistory history(path);
        for (int i = 0; i < kEach; ++i)
            history.add(QStringLiteral("select %1 from %2").arg(i).arg(name));
    };
    std::thread a(window, QStringLiteral("a"));
    std::thread b(window, QStringLiteral("b"));
    a.join();
    b.join();
    const QStringList kept = SqlHistory(path).entries();
    int lost = 0;
    for (const QString name : {"a", "b"}) {
        for (int i = 0; i < kEach; ++i)
            lost += kept.contains(QStringLiteral("select %1 from %2").arg(i).arg(name)) ? 0 : 1;
    }
    EXPECT_EQ(lost, 0);
    EXPECT_EQ(kept.size(), 3 + 2 * kEach);
    EXPECT_FALSE(QFile::exists(path + ".lock")) << "the lock file stays after the windows";
}
