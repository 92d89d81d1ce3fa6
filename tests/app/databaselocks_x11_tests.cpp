#include "app/programwindows.h"
#include "common/ui/dialogs.h"
#include "support/fakedialogs.h"
#include "support/temphome.h"
#include "support/xserver.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QProcess>
#include <QTest>
#include <QTimer>
#include "workbench/ui/sqleditor.h"
#include <gtest/gtest.h>

#include <set>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// The POSIX locks this process holds on one file, as /proc/locks lists them ("READ 0 EOF", ...).
std::multiset<QString> locksOn(const QString& path)
{
    struct stat status {};
    if (::stat(QFile::encodeName(path).constData(), &status) != 0)
        return {};
    const QString inode = QStringLiteral(":%1").arg(status.st_ino);
    const QString pid = QString::number(::getpid());
    QFile table(QStringLiteral("/proc/locks"));
    if (!table.open(QIODevice::ReadOnly))
        return {};
    std::multiset<QString> held;
    // "1: POSIX  ADVISORY  READ 4711 fe:01:123456 128 128"
    for (const QByteArray& line : table.readAll().split('\n')) {
        const QStringList fields = QString::fromLatin1(line).split(QLatin1Char(' '), Qt::SkipEmptyParts);
        if (fields.size() >= 8 && fields.at(1) == QLatin1String("POSIX") && fields.at(4) == pid
            && fields.at(5).endsWith(inode))
            held.insert(fields.at(3) + QLatin1Char(' ') + fields.at(6) + QLatin1Char(' ') + fields.at(7));
    }
    return held;
}

// Whether this process still holds every lock it held on `path` before.
bool stillHolds(const QString& path, const std::multiset<QString>& before)
{
    const auto now = locksOn(path);
    return std::includes(now.begin(), now.end(), before.begin(), before.end());
}

// Opens a file dialog as a user does (`open` clicks what opens it), goes to the program folder in
// it, lets it list the folder for a while and closes it with Escape typed through the X server.
void browseAndCancel(const QString& folder, const std::function<void()>& open, const char* what)
{
    SCOPED_TRACE(what);
    bool seen = false;
    QTimer user;
    QElapsedTimer shown;
    QObject::connect(&user, &QTimer::timeout, [&] {
        auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        if (!dialog)
            return;
        if (!seen) {
            seen = true;
            dialog->setDirectory(folder);
            shown.start();
            return;
        }
        if (shown.elapsed() < 1500)
            return;
        user.stop();
        // The key goes to the window with the input focus: the dialog.
        dialog->activateWindow();
        QTest::qWait(100);
        if (!typeKeys({QStringLiteral("Escape")}))
            dialog->reject();
        QTimer::singleShot(5000, dialog, &QDialog::reject);   // a lost key must not hang the test
    });
    user.start(50);
    open();
    EXPECT_TRUE(seen) << "no file dialog appeared";
}

QAction* action(const QWidget& window, const char* name)
{
    auto* found = window.findChild<QAction*>(QLatin1String(name));
    EXPECT_NE(found, nullptr) << name;
    return found;
}

QAbstractButton* button(const QWidget& window, const char* name)
{
    auto* found = window.findChild<QAbstractButton*>(QLatin1String(name));
    EXPECT_NE(found, nullptr) << name;
    return found;
}

// The real file dialogs; message boxes are noted instead of waiting for a click.
class RealFileDialogs : public QtDialogs {
public:
    RealFileDialogs() { Dialogs::setInstance(this); }
    ~RealFileDialogs() override { Dialogs::setInstance(nullptr); }
    void message(const QString&, const QString& text, Icon) override { messages.append(text); }
    bool confirm(const QString&) override { return true; }
    QStringList messages;
};

struct ProgramRun {
    int status;
    QString output;
};

// A second program on the same database, as a cron job or the sqlite3 shell would be.
ProgramRun secondProgram(const TempHome& home, const QString& sql)
{
    QProcess racr;
    racr.start(QStringLiteral(RACR_PATH), {QStringLiteral("--home"), home.path(), QStringLiteral("query"), sql});
    if (!racr.waitForFinished(60'000))
        return {-1, {}};
    return {racr.exitCode(), QString::fromUtf8(racr.readAllStandardOutput() + racr.readAllStandardError())};
}

// The program's windows on a private program folder, the main window shown (which opens the
// database) and its SQL editor at hand. Dialogs are installed by the test before it.
struct ShownProgram {
    ShownProgram()
    {
        main.show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(&main));
        editor = main.findChild<SqlEditor*>(QStringLiteral("sqlEditor"));
    }
    // Runs `sql` as the Execute SQL button does.
    void run(const QString& sql)
    {
        editor->setText(sql);
        button(main, "executeButton")->click();
    }

    TempHome home;
    ProgramWindows windows;
    MainWindow& main = windows.main;
    SqlEditor* editor = nullptr;
};

} // namespace

// The file dialogs list the program folder, where the database lives. A dialog that read a file
// there to learn its type closed a second descriptor of it and so dropped every lock SQLite held:
// another program then took itself for the last user and deleted the WAL that the window was
// still writing to.
TEST(DatabaseLocksX11, EveryFileDialogOnTheProgramFolderLeavesTheDatabaseLocksInPlace)
{
    RealFileDialogs dialogs;
    ShownProgram program;
    ASSERT_NE(program.editor, nullptr);
    const TempHome& home = program.home;
    MainWindow& main = program.main;
    // An open result, which the export needs.
    program.run(QStringLiteral("select trackid, trackname from TRACKLIST"));
    const QString database = home.file(QStringLiteral("RACR.db"));
    const QString shm = database + QStringLiteral("-shm");
    ASSERT_TRUE(QTest::qWaitFor([&] { return QFileInfo::exists(shm); }, 20'000));
    const auto databaseLocks = locksOn(database);
    const auto shmLocks = locksOn(shm);
    ASSERT_FALSE(databaseLocks.empty());
    ASSERT_FALSE(shmLocks.empty());
    const auto stillHeld = [&](const char* after) {
        EXPECT_TRUE(stillHolds(database, databaseLocks))
            << "locks on RACR.db lost after " << after;
        EXPECT_TRUE(stillHolds(shm, shmLocks))
            << "locks on RACR.db-shm lost after " << after;
    };

    const QString folder = home.path();
    browseAndCancel(folder, [&] { button(main, "openSqlButton")->click(); }, "Open SQL");
    stillHeld("Open SQL");
    browseAndCancel(folder, [&] { button(main, "saveSqlButton")->click(); }, "Save SQL");
    stillHeld("Save SQL");
    browseAndCancel(folder, [&] { action(main, "exportCsvAction")->trigger(); }, "Export to CSV");
    stillHeld("Export to CSV");
    browseAndCancel(folder, [&] { action(main, "mergeOldDatabaseAction")->trigger(); }, "Import from old database");
    stillHeld("Import from old database");
    browseAndCancel(folder, [&] { action(main, "publishAction")->trigger(); }, "Publish Club Pages");
    stillHeld("Publish Club Pages");
    action(main, "chartAction")->trigger();
    auto* chart = main.findChild<QWidget*>(QStringLiteral("ChartWindow"));
    ASSERT_NE(chart, nullptr);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(chart));
    browseAndCancel(folder, [&] { button(*chart, "saveButton")->click(); }, "Save chart");
    stillHeld("Save chart");
    chart->close();

    // Another program opens and closes the database: it is not the last user, so the WAL stays,
    // and what the window writes next reaches the file that program reads.
    const ProgramRun count = secondProgram(home, QStringLiteral("select count(*) from TRACKLIST"));
    EXPECT_EQ(count.status, 0) << qPrintable(count.output);
    EXPECT_TRUE(QFileInfo::exists(database + QStringLiteral("-wal")));
    EXPECT_TRUE(QFileInfo::exists(shm));

    program.run(QStringLiteral("insert into RACR (driver, car, date, trackid, multiplayer, besttime, shard) "
                               "values ('LOCKKEEPER', 'Audi R8', '2011-06-01 12:00:00', 10, 1, '95.230', 'APEX')"));
    EXPECT_EQ(dialogs.messages, QStringList{QStringLiteral("Operation affected 1 row(s)")});
    const ProgramRun read = secondProgram(home, QStringLiteral("select count(*) from RACR where driver = 'LOCKKEEPER'"));
    EXPECT_EQ(read.status, 0) << qPrintable(read.output);
    EXPECT_EQ(read.output, QStringLiteral("count(*)\n1\n"));
}

// What the user picks in a dialog may be a file of the open database: read as a script or
// replaced by one, it would close a second descriptor (dropping the locks) or destroy the data.
// Such a pick is refused with a message; merging from the open database, or from one attached to
// it, goes through SQLite and leaves every lock in place.
TEST(DatabaseLocksX11, AFileOfAnOpenDatabaseIsNeitherReadAsAScriptNorReplaced)
{
    FakeDialogs dialogs;
    ShownProgram program;
    ASSERT_NE(program.editor, nullptr);
    const TempHome& home = program.home;
    MainWindow& main = program.main;
    SqlEditor* editor = program.editor;
    const auto run = [&](const QString& sql) { program.run(sql); };
    const QString database = home.file(QStringLiteral("RACR.db"));
    const QString older = home.file(QStringLiteral("older.db"));
    run(QStringLiteral("attach database '%1' as older").arg(older));
    // In WAL mode, as the program's own files are, so that SQLite keeps its locks on it.
    run(QStringLiteral("pragma older.journal_mode = wal"));
    run(QStringLiteral("create table older.RACR as select * from main.RACR where 0"));
    run(QStringLiteral("insert into older.RACR (driver, car, date, trackid, multiplayer, besttime, shard) "
                       "values ('ATTACHED', 'Audi R8', '2011-06-01 12:00:00', 10, 1, '95.230', 'APEX')"));
    run(QStringLiteral("select trackid, trackname from TRACKLIST"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return QFileInfo::exists(database + QStringLiteral("-shm")); }, 20'000));
    const auto databaseLocks = locksOn(database);
    const auto olderLocks = locksOn(older);
    ASSERT_FALSE(databaseLocks.empty());
    ASSERT_FALSE(olderLocks.empty());
    const QByteArray wal = home.read(QStringLiteral("RACR.db-wal"));
    dialogs.messages.clear();

    const auto refused = [&](const QString& picked, const std::function<void()>& pick, const char* what) {
        SCOPED_TRACE(what);
        dialogs.messages.clear();
        pick();
        ASSERT_EQ(dialogs.messages.size(), 1);
        EXPECT_TRUE(dialogs.messages.first().text.startsWith(
            QDir::toNativeSeparators(picked) + QStringLiteral(" belongs to the open database and cannot be")))
            << qPrintable(dialogs.messages.first().text);
    };
    const QString statement = editor->text();
    dialogs.openAnswer = database;
    refused(database, [&] { button(main, "openSqlButton")->click(); }, "Open SQL of RACR.db");
    EXPECT_EQ(editor->text(), statement);
    dialogs.openAnswer = older;
    refused(older, [&] { button(main, "openSqlButton")->click(); }, "Open SQL of an attached file");
    dialogs.saveAnswer = database + QStringLiteral("-wal");
    refused(dialogs.saveAnswer, [&] { button(main, "saveSqlButton")->click(); }, "Save SQL over the WAL");
    // A journal that does not exist yet would be taken for a hot journal by the next opener.
    dialogs.saveAnswer = database + QStringLiteral("-journal");
    refused(dialogs.saveAnswer, [&] { action(main, "exportCsvAction")->trigger(); }, "Export as the journal");
    EXPECT_FALSE(QFileInfo::exists(database + QStringLiteral("-journal")));
    dialogs.saveAnswer = database;
    refused(database, [&] { action(main, "exportCsvAction")->trigger(); }, "Export over RACR.db");
    EXPECT_EQ(home.read(QStringLiteral("RACR.db-wal")), wal);

    // Merging reads the old file through SQLite alone, the attached one and the open one alike.
    dialogs.messages.clear();
    dialogs.openAnswer = older;
    action(main, "mergeOldDatabaseAction")->trigger();
    ASSERT_FALSE(dialogs.messages.isEmpty());
    EXPECT_EQ(dialogs.messages.first().text, QStringLiteral("Operation affected 1 row(s) in RACR table"));
    dialogs.messages.clear();
    dialogs.openAnswer = database;
    action(main, "mergeOldDatabaseAction")->trigger();
    ASSERT_FALSE(dialogs.messages.isEmpty());
    EXPECT_EQ(dialogs.messages.first().text, QStringLiteral("Operation affected 0 row(s) in RACR table"));
    EXPECT_TRUE(stillHolds(database, databaseLocks));
    EXPECT_TRUE(stillHolds(older, olderLocks));
}
