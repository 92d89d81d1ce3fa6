#include "commands/importcommand.h"

#include "common/apptext.h"
#include "common/commandline.h"
#include "common/error.h"
#include "common/programpaths.h"
#include "common/settings.h"
#include "db/connection.h"
#include "db/openresult.h"
#include "import/driverimport.h"
#include "import/gauge.h"
#include "import/jobhost.h"
#include "import/leaderboardimport.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDate>
#include <QRegularExpression>

#include <atomic>
#include <csignal>
#include <cstdio>
#include <new>
#include <optional>
#include <unistd.h>

namespace {

const QString kDescription = QStringLiteral(
    "leaderboards  copies the leaderboards of all 90 tracks (multiplayer, then single player)\n"
    "              into table RACR, skipping records already stored\n"
    "drivers       copies profile, statistics and car count of every listed driver into DRIVERS\n"
    "\n"
    "Without options the shard and the drivers come from racr.ini in the program folder.");

const QString kNotes = QStringLiteral(
    "Ctrl+C (or SIGTERM) stops at once: the request under way is dropped, what was stored until\n"
    "then stays.\n"
    "\n"
    "Exit status: 0 done; 1 an error (or a driver that could not be imported); 2 a mistake in\n"
    "the command; 3 leaderboards: some answers were not leaderboards (the log says which);\n"
    "130 stopped by Ctrl+C, 143 by SIGTERM.\n");

const QStringList kShards = {QStringLiteral("APEX"), QStringLiteral("CHICANE")};

using commandline::UsageError;

// The leaderboard import finished, but some answers were not leaderboards (see the log).
constexpr int kExitUnreadableAnswers = 3;

volatile std::sig_atomic_t stopSignal = 0;
// Aborts the request in progress; lock-free, so a signal handler may set it.
std::atomic<bool> abortTransfer = false;
static_assert(std::atomic<bool>::is_always_lock_free);

extern "C" void onStopSignal(int signal)
{
    stopSignal = signal;
    abortTransfer.store(true);
    static const char note[] = "\nStopping: the request under way is dropped, what was stored stays (press Ctrl+C again to stop at once).\n";
    [[maybe_unused]] const ssize_t written = ::write(STDERR_FILENO, note, sizeof note - 1);
}

// SIGINT and SIGTERM set the cancel flag while the command runs (unless they came in ignored); a
// second one ends the program the usual way. The previous handlers come back afterwards.
class StopSignals {
public:
    StopSignals()
    {
        stopSignal = 0;
        abortTransfer.store(false);
        struct sigaction action = {};
        action.sa_handler = onStopSignal;
        action.sa_flags = SA_RESETHAND;
        sigemptyset(&action.sa_mask);
        catchUnlessIgnored(SIGINT, action, m_previousInt);
        catchUnlessIgnored(SIGTERM, action, m_previousTerm);
    }
    ~StopSignals()
    {
        sigaction(SIGINT, &m_previousInt, nullptr);
        sigaction(SIGTERM, &m_previousTerm, nullptr);
    }
    StopSignals(const StopSignals&) = delete;
    StopSignals& operator=(const StopSignals&) = delete;

private:
    // A shell starts a job with '&' in a script with SIGINT ignored, so that Ctrl+C in the terminal
    // stops the script's foreground work only; such a signal stays ignored.
    static void catchUnlessIgnored(int signal, const struct sigaction& action, struct sigaction& previous)
    {
        sigaction(signal, nullptr, &previous);
        if (previous.sa_handler != SIG_IGN)
            sigaction(signal, &action, nullptr);
    }

    struct sigaction m_previousInt = {};
    struct sigaction m_previousTerm = {};
};

// The job's log on standard output; the gauge as a bar on standard error when a person watches.
class TerminalHost : public JobHost {
public:
    TerminalHost() : m_bar(::isatty(STDERR_FILENO) == 1) {}
    ~TerminalHost() override { clearBar(); }
    TerminalHost(const TerminalHost&) = delete;
    TerminalHost& operator=(const TerminalHost&) = delete;

    void logLine(const QString& line) override
    {
        clearBar();
        std::fputs(line.toUtf8().append('\n').constData(), stdout);
        std::fflush(stdout);
        drawBar();
    }
    void setGaugeMaximum(int maximum) override
    {
        m_gauge.setMaximum(maximum);
        drawBar();
    }
    int gaugeMaximum() const override { return m_gauge.maximum(); }
    void setGaugePosition(int position) override
    {
        m_gauge.setPosition(position);
        drawBar();
    }
    void stepGauge() override
    {
        m_gauge.stepIt();
        drawBar();
    }
    void processPendingEvents() override { QCoreApplication::processEvents(); }
    bool cancelRequested() const override { return stopSignal != 0; }
    const std::atomic<bool>* abortFlag() const override { return &abortTransfer; }

private:
    void drawBar()
    {
        if (!m_bar)
            return;
        constexpr int width = 40;
        const int range = m_gauge.maximum() - m_gauge.minimum();
        const int filled = range > 0 ? int(qint64(width) * (m_gauge.position() - m_gauge.minimum()) / range) : 0;
        const QByteArray bar = QByteArray(filled, '#') + QByteArray(width - filled, '-');
        std::fprintf(stderr, "\r[%s] %s %d/%d\033[K", bar.constData(), qPrintable(m_gauge.text()), m_gauge.position(),
                     m_gauge.maximum());
        std::fflush(stderr);
        m_drawn = true;
    }
    void clearBar()
    {
        if (!m_drawn)
            return;
        std::fputs("\r\033[K", stderr);
        std::fflush(stderr);
        m_drawn = false;
    }

    const bool m_bar;
    bool m_drawn = false;
    GaugeModel m_gauge;
};

struct Command {
    enum class Job { Leaderboards, Drivers } job = Job::Leaderboards;
    std::optional<QString> shard, drivers, type, days, week, parallel;
};

// The options of both imports; the period options belong to the leaderboards alone.
void declare(QCommandLineParser& parser)
{
    const auto option = [&](const char* name, const char* valueName, const char* description) {
        parser.addOption(QCommandLineOption(QLatin1String(name), QLatin1String(description), QLatin1String(valueName)));
    };
    option("shard", "S", "APEX or CHICANE (default: key shard of racr.ini).");
    option("drivers", "LIST", "Driver names separated by commas (default: key drivers of racr.ini).");
    option("type", "T", "Leaderboards only: overall, daily or weekly (default: daily, or weekly when --week is given).");
    option("days", "N", "Daily: days before today, 0 to 6 (default 0).");
    option("week", "N", "Weekly: week number of the year, 1 to 53 (default: the current week).");
    option("parallel", "N", "Requests under way at once, 1 to 16; the service sees no more than N at a time "
                            "(default: key parallel of racr.ini, else 6).");
    parser.addPositionalArgument(QStringLiteral("leaderboards|drivers"), QStringLiteral("What to import."));
}

Command parse(const QCommandLineParser& parser)
{
    const QStringList words = parser.positionalArguments();
    if (words.isEmpty())
        throw UsageError{QStringLiteral("say what to import: leaderboards or drivers")};
    Command command;
    if (words.first() == QLatin1String("leaderboards"))
        command.job = Command::Job::Leaderboards;
    else if (words.first() == QLatin1String("drivers"))
        command.job = Command::Job::Drivers;
    else
        throw UsageError{QStringLiteral("unknown import \"%1\": leaderboards or drivers").arg(words.first())};
    if (words.size() > 1)
        throw UsageError{QStringLiteral("one import at a time; \"%1\" is one too many").arg(words.at(1))};

    const auto take = [&](const char* name, std::optional<QString>& slot) {
        if (parser.isSet(QLatin1String(name)))
            slot = parser.value(QLatin1String(name));
    };
    take("shard", command.shard);
    take("drivers", command.drivers);
    take("parallel", command.parallel);
    for (const char* name : {"type", "days", "week"}) {
        if (command.job == Command::Job::Drivers && parser.isSet(QLatin1String(name)))
            throw UsageError{QStringLiteral("unknown option \"--%1\" for import drivers").arg(QLatin1String(name))};
    }
    take("type", command.type);
    take("days", command.days);
    take("week", command.week);
    return command;
}

int wholeNumber(const QString& option, const QString& text, int low, int high)
{
    static const QRegularExpression digits(QStringLiteral("^\\d{1,2}$"));
    const int value = digits.match(text).hasMatch() ? text.toInt() : -1;
    if (value < low || value > high)
        throw UsageError{QStringLiteral("%1 needs a whole number from %2 to %3, not \"%4\"").arg(option).arg(low).arg(high).arg(text)};
    return value;
}

// The period keys lt and rf of the leaderboards requests.
void choosePeriod(const Command& command, ImportInputs& inputs)
{
    const QString type = command.type.value_or(command.week ? QStringLiteral("weekly") : QStringLiteral("daily"));
    if (type == QLatin1String("overall")) {
        if (command.days || command.week)
            throw UsageError{QStringLiteral("--type overall takes neither --days nor --week")};
        inputs.periodType = 1;
        inputs.periodValue = QStringLiteral("0");
    } else if (type == QLatin1String("daily")) {
        if (command.week)
            throw UsageError{QStringLiteral("--week goes with --type weekly")};
        inputs.periodType = 2;
        inputs.periodValue = QString::number(command.days ? wholeNumber(QStringLiteral("--days"), *command.days, 0, 6) : 0);
    } else if (type == QLatin1String("weekly")) {
        if (command.days)
            throw UsageError{QStringLiteral("--days goes with --type daily")};
        inputs.periodType = 3;
        inputs.periodValue = QString::number(command.week ? wholeNumber(QStringLiteral("--week"), *command.week, 1, 53)
                                                          : apptext::isoWeek(QDate::currentDate()));
    } else {
        throw UsageError{QStringLiteral("--type needs overall, daily or weekly, not \"%1\"").arg(type)};
    }
}

ImportInputs inputsFor(const Command& command)
{
    const QString iniPath = ProgramPaths::settingsFile();
    const UserSettings stored = settings::read(iniPath, UserSettings{});
    ImportInputs inputs;
    inputs.serviceBase = settings::serviceBase(iniPath);
    inputs.drivers = command.drivers.value_or(stored.drivers);
    inputs.parallel = command.parallel ? wholeNumber(QStringLiteral("--parallel"), *command.parallel, 1,
                                                     racr::ParallelFetch::kMaxParallel)
                                       : settings::parallelRequests(iniPath, racr::ParallelFetch::kDefaultParallel,
                                                                    racr::ParallelFetch::kMaxParallel);
    if (command.shard) {
        const int index = settings::shardIndex(*command.shard);
        if (index < 0)
            throw UsageError{QStringLiteral("--shard needs APEX or CHICANE, not \"%1\"").arg(*command.shard)};
        inputs.shard = kShards.at(index);
    } else {
        // As in the window: a shard the list does not hold leaves the shard empty.
        const int index = settings::shardIndex(stored.shard);
        if (index < 0)
            std::fprintf(stderr, "racr import: racr.ini names the shard \"%s\", which is neither APEX nor CHICANE; "
                                 "importing with an empty shard (choose one with --shard).\n",
                         qUtf8Printable(stored.shard));
        inputs.shard = index < 0 ? QString() : kShards.at(index);
    }
    if (command.job == Command::Job::Leaderboards)
        choosePeriod(command, inputs);
    return inputs;
}

int runImport(const QCommandLineParser& parser)
{
    const Command command = parse(parser);
    const ImportInputs inputs = inputsFor(command);

    const StopSignals stopSignals;
    try {
        Connection connection(ProgramPaths::dataSourceFile(),
                              ProgramPaths::databaseFile());
        connection.open();
        OpenResult query(connection, kImportMessageName);
        TerminalHost host;
        if (command.job == Command::Job::Leaderboards) {
            LeaderboardImport job(inputs, query, host);
            if (job.run() == LeaderboardImport::Outcome::Cancelled)
                return 128 + int(stopSignal);
            // Answers that were no leaderboard are a run a script must not take for a success.
            return job.unreadableTracks() > 0 ? kExitUnreadableAnswers : 0;
        }
        DriverImport job(inputs, query, host);
        if (job.run() == DriverImport::Outcome::Cancelled)
            return 128 + int(stopSignal);
        return job.failedDrivers() > 0 ? 1 : 0;
    } catch (const racr::Error& error) {
        // The open result's name means something inside the program only.
        std::fprintf(stderr, "racr import: %s\n",
                     qUtf8Printable(commandline::withoutObjectName(error.message(), kImportMessageName)));
        return 1;
    } catch (const std::bad_alloc&) {
        std::fprintf(stderr, "racr import: out of memory; the rows stored until then stay.\n");
        return 1;
    }
}

} // namespace

const commandline::Command& importCommand()
{
    static const commandline::Command command{
        QStringLiteral("import"),
        QStringLiteral("[--service-base URL] import leaderboards [options]\n"
                       "[--service-base URL] import drivers [options]"),
        kDescription,
        kNotes,
        declare,
        runImport,
    };
    return command;
}

int runImportCommand(const QStringList& args)
{
    return commandline::run(importCommand(), args);
}
