// SIGTERM and SIGHUP (a logout, a shutdown, `kill`) sent to the real program while it is busy:
// the program runs in a process of its own on the private X server, driven through the server as
// a user drives it, and must end with its settings written and nothing half-stored.

#include "support/simulator.h"
#include "support/temphome.h"

#include <QElapsedTimer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QProcess>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTest>
#include <gtest/gtest.h>

#include <csignal>
#include <iostream>

namespace {

constexpr QSize kDesignedClient(1006, 698);   // the main window's content, below its menu bar

QString xdotool(const QStringList& arguments)
{
    QProcess tool;
    tool.start(QStringLiteral("xdotool"), arguments);
    if (!tool.waitForFinished(10'000))
        return {};
    return QString::fromUtf8(tool.readAllStandardOutput()).trimmed();
}

// The program with its windows, started in a program folder of its own.
class Program {
public:
    explicit Program(const TempHome& home)
    {
        m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        m_process.start(QStringLiteral(RACR_PATH), {QStringLiteral("--home"), home.path()});
    }

    ~Program()
    {
        if (m_process.state() != QProcess::NotRunning) {
            m_process.kill();
            m_process.waitForFinished();
        }
    }

    // The main window once it is on the screen; empty when it never came.
    bool waitForWindow()
    {
        return QTest::qWaitFor([&] {
            const QStringList found = xdotool({QStringLiteral("search"), QStringLiteral("--onlyvisible"),
                                               QStringLiteral("--pid"), QString::number(m_process.processId()),
                                               QStringLiteral("--name"), QStringLiteral("^RACR tool [0-9]")})
                                          .split('\n', Qt::SkipEmptyParts);
            if (found.isEmpty())
                return false;
            m_window = found.first();
            return true;
        }, 20'000);
    }

    // A click on a point of the designed content, whatever the height of the menu bar above it.
    void click(QPoint designed)
    {
        const QString shell = xdotool({QStringLiteral("getwindowgeometry"), QStringLiteral("--shell"), m_window});
        int height = kDesignedClient.height();
        for (const QString& line : shell.split('\n'))
            if (line.startsWith(QLatin1String("HEIGHT=")))
                height = line.mid(7).toInt();
        const int top = height - kDesignedClient.height();
        xdotool({QStringLiteral("mousemove"), QStringLiteral("--window"), m_window, QString::number(designed.x()),
                 QString::number(designed.y() + top), QStringLiteral("click"), QStringLiteral("1")});
    }

    void keys(const QStringList& names) { xdotool(QStringList{QStringLiteral("key")} + names); }

    // A window of the program with exactly this caption is shown (a message box).
    bool shows(const QString& caption)
    {
        return !xdotool({QStringLiteral("search"), QStringLiteral("--onlyvisible"), QStringLiteral("--pid"),
                         QString::number(m_process.processId()), QStringLiteral("--name"),
                         QLatin1Char('^') + caption + QLatin1Char('$')})
                    .isEmpty();
    }

    // Sends the signal and waits for the end; a process that stays is the fault. The time to the
    // end is printed for the record, not judged.
    bool endsAt(int signal, const char* state)
    {
        QElapsedTimer sent;
        sent.start();
        ::kill(pid_t(m_process.processId()), signal);
        const bool ended = m_process.waitForFinished(20'000);
        std::cout << "[ time     ] " << (signal == SIGTERM ? "SIGTERM" : "SIGHUP") << " " << state << ": "
                  << (ended ? std::to_string(sent.elapsed()) + " ms to the end" : std::string("still running"))
                  << std::endl;
        return ended && m_process.exitStatus() == QProcess::NormalExit && m_process.exitCode() == 0;
    }

    // Runs the statement before the newest of the history (see writeHistory) the way a user
    // recalls one: Ctrl+Up twice takes it into the editor, F5 runs it.
    void runFromHistory()
    {
        click({213, 540});   // the SQL editor
        keys({QStringLiteral("ctrl+Up"), QStringLiteral("ctrl+Up"), QStringLiteral("F5")});
    }

private:
    QProcess m_process;
    QString m_window;
};

// The history holds the statement and another one after it, so that running it adds it again.
void writeHistory(const TempHome& home, const QString& statement)
{
    home.write(QStringLiteral("sqlhistory.json"),
               QJsonDocument(QJsonArray::fromStringList({statement, QStringLiteral("select 1")})).toJson());
}

// The statement is being run: the window adds it to the history when it starts it.
bool started(const TempHome& home, const QString& statement)
{
    return QTest::qWaitFor([&] {
        const QJsonArray kept = QJsonDocument::fromJson(home.read(QStringLiteral("sqlhistory.json"))).array();
        return kept.size() > 2 && kept.last().toString() == statement;
    }, 20'000);
}

int countOf(const TempHome& home, const QString& sql)
{
    const QString name = QStringLiteral("closesignals-check");
    int count = -1;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        db.setDatabaseName(home.file(QStringLiteral("RACR.db")));
        if (db.open()) {
            QSqlQuery query(db);
            if (query.exec(sql) && query.next())
                count = query.value(0).toInt();
        }
    }
    QSqlDatabase::removeDatabase(name);
    return count;
}

const char* nameOf(int signal)
{
    return signal == SIGTERM ? "SIGTERM" : "SIGHUP";
}

class CloseSignalsX11 : public ::testing::TestWithParam<int> {};

// Before, the import stopped and the settings were written, but the process stayed without a
// window for good, deaf to any further signal.
TEST_P(CloseSignalsX11, DuringAnImportTheProgramEndsWithWholeTracksAndItsSettings)
{
    Simulator sim({"--records-per-track", "2", "--latency-ms", "100"});
    TempHome home;
    home.write(QStringLiteral("racr.ini"), "[settings]\nservicebase=" + sim.base().toUtf8() + "\nshard=chicane\n");
    Program racr(home);
    ASSERT_TRUE(racr.waitForWindow());
    racr.click({909, 672});   // Import Leaderboard Data
    ASSERT_TRUE(QTest::qWaitFor([&] { return sim.status().requests >= 12; }, 20'000));
    EXPECT_TRUE(racr.endsAt(GetParam(), "during an import"));
    EXPECT_TRUE(home.read(QStringLiteral("racr.ini")).contains("shard=CHICANE")) << home.read(QStringLiteral("racr.ini")).toStdString();
    // Each track's records are stored together or not at all.
    EXPECT_EQ(countOf(home, QStringLiteral("select count(*) from (select trackid, multiplayer from RACR"
                                           " group by trackid, multiplayer having count(*) <> 2)")),
              0);
}

// Before, the signal waited for the statement's end (minutes here).
TEST_P(CloseSignalsX11, DuringALongUpdateTheStatementIsInterruptedAndChangesNothing)
{
    const QString update = QStringLiteral(
        "with recursive c(x) as (select 1 union all select x + 1 from c where x < 3000000000)"
        " update TRACKLIST set trackname = trackname || '*' where (select count(*) from c) > 0");
    TempHome home;
    writeHistory(home, update);
    Program racr(home);
    ASSERT_TRUE(racr.waitForWindow());
    racr.runFromHistory();
    ASSERT_TRUE(started(home, update));
    QTest::qWait(1000);   // well into the statement
    EXPECT_TRUE(racr.endsAt(GetParam(), "during a long UPDATE"));
    EXPECT_EQ(countOf(home, QStringLiteral("select count(*) from TRACKLIST where trackname like '%*'")), 0);
    EXPECT_TRUE(home.read(QStringLiteral("racr.ini")).contains("shard=")) << home.read(QStringLiteral("racr.ini")).toStdString();
}

TEST_P(CloseSignalsX11, WhileRowsStreamInOrAMessageIsShownTheProgramEnds)
{
    const QString endless = QStringLiteral("with recursive c(x) as (select 1 union all select x + 1 from c) select x from c");
    const QString changeNothing = QStringLiteral("update TRACKLIST set trackname = trackname where trackid < 0");
    {
        TempHome home;
        writeHistory(home, endless);
        Program racr(home);
        ASSERT_TRUE(racr.waitForWindow());
        racr.runFromHistory();
        ASSERT_TRUE(started(home, endless));
        QTest::qWait(1000);   // rows coming in
        EXPECT_TRUE(racr.endsAt(GetParam(), "while rows stream in"));
        EXPECT_TRUE(home.read(QStringLiteral("racr.ini")).contains("shard="));
    }
    {
        TempHome home;
        writeHistory(home, changeNothing);
        Program racr(home);
        ASSERT_TRUE(racr.waitForWindow());
        racr.runFromHistory();
        ASSERT_TRUE(QTest::qWaitFor([&] { return racr.shows(QStringLiteral("RACR tool")); }, 20'000))
            << "no message box";   // "Operation affected 0 row(s)"
        EXPECT_TRUE(racr.endsAt(GetParam(), "with a message box open"));
        EXPECT_TRUE(home.read(QStringLiteral("racr.ini")).contains("shard="));
    }
}

INSTANTIATE_TEST_SUITE_P(Signals, CloseSignalsX11, ::testing::Values(SIGTERM, SIGHUP),
                         [](const ::testing::TestParamInfo<int>& info) { return std::string(nameOf(info.param)); });

} // namespace
