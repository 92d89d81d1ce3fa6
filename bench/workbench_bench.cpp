// The SQL workbench and the two row commands on large databases, beside the sqlite3 shell on the
// same file in the same run. For each size (default 1,000,000 and 3,000,000 results) it fills a
// database this program created, then measures, each in a process of its own so that its peak
// memory is its own, and each the best of --runs runs taken in turn with the shell's:
//
//   window select *   "Execute SQL" with "select * from RACR": first rows painted
//   window default    the default statement: first rows painted, whole result read with the count
//                     on the status line, then a title click sort, then a filter under `driver`
//                     and one more under `driverlevel` (a number); peak memory of the window
//   racr query        "select * from RACR" and the default statement printed into a pipe
//   racr export       "select * from RACR" to a CSV file: time and peak memory
//   sqlite3 -csv      the shell printing both statements into a pipe, and the first into a file
//
// Each row of the table below is printed with its ratio to the shell (the window's whole result
// beside the shell's default statement), and the window's 3M/1M ratio when both sizes run.
//
//   measure                                  target
//   racr query "select * from RACR"          <= 1.2x sqlite3 -csv
//   racr export of the same                  <= 1.2x sqlite3 -csv
//   racr query, default statement            <= 1.1x sqlite3 -csv
//   window select * first rows               < 0.1 s
//   window default first rows                < 0.3 s
//   window default whole + count, 3M / 1M    <= 3.2
//   window memory at 3M                      < 250 MB
//   each filter at 1M                        < 0.5 s
//   racr query/export peak memory at 3M      < 40 MB
//
// Needs GNU time (/usr/bin/time) and the sqlite3 shell. `workbench_bench --help` lists the options.

#include "benchdatabase.h"
#include "peakmemory.h"
#include "common/programpaths.h"
#include "db/connection.h"
#include "db/openresult.h"
#include "workbench/ui/filterheader.h"
#include "workbench/ui/resultgrid.h"
#include "workbench/ui/sqleditor.h"
#include "db/startingstatement.h"
#include "workbench/ui/sqlworkbench.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QLineEdit>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QLabel>
#include <QTemporaryDir>
#include <QTextStream>
#include <QWidget>

#include <cstdio>
#include <map>
#include <spawn.h>
#include <stdexcept>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace {

const QString kSelectAll = QStringLiteral("select * from RACR");

// Distinct dates and times, best times as minutes, seconds and thousandths; no car counts.
const ResultShape kShape{"x * 37", "printf('%02d:%02d.%03d', x % 7, (x / 7) % 60, x % 1000)", "NULL"};

double msSince(const QElapsedTimer& clock)
{
    return double(clock.nsecsElapsed()) / 1e6;
}

// In a child: the main window's client area on the folder's database, one statement run as the
// user runs it. Prints key=value lines.
int windowChild(const QString& folder, const QString& sql, bool sortAfter)
{
    ProgramPaths::setHome(folder);
    Connection connection(QDir(folder).filePath("connection.dsn"), QDir(folder).filePath("RACR.db"));
    connection.open();
    OpenResult openResult(connection, kResultsMessageName);
    QWidget form;
    form.resize(1006, 698);
    auto* workbench = new SqlWorkbench(&form, openResult, &form);
    auto* grid = new ResultGridController(&form, &form, openResult, *workbench, &form);
    // The grid as large as the main window shows it at its design size.
    auto* dataGrid = form.findChild<ResultTableView*>(QStringLiteral("grid"));
    dataGrid->setGeometry(5, 8, 996, 369);
    const auto* records = form.findChild<QLabel*>(QStringLiteral("recordsLabel"));
    form.show();
    QApplication::processEvents();
    workbench->setStatement(sql);

    QTextStream out(stdout);
    QElapsedTimer clock;
    clock.start();
    workbench->runStatement();
    dataGrid->viewport()->repaint();
    out << "first_ms=" << msSince(clock) << '\n';
    while (openResult.isFetching())
        QApplication::processEvents();
    dataGrid->viewport()->repaint();
    out << "whole_ms=" << msSince(clock) << '\n';
    out << "label=" << records->text() << '\n';
    out << "loaded_peak_mb=" << ownMemoryMb("VmHWM:") << '\n';
    if (sortAfter) {
        const int besttime = int(openResult.fieldNames().indexOf(QStringLiteral("besttime")));
        clock.restart();
        grid->sortByColumn(besttime);
        dataGrid->viewport()->repaint();
        out << "sort_ms=" << msSince(clock) << '\n';
        // A filter typed under a title as Enter applies it: a text, then a number besides.
        const auto filter = [&](const char* field, const char* text) {
            QLineEdit* edit = dataGrid->filters->field(int(openResult.fieldNames().indexOf(QLatin1String(field))));
            edit->setText(QLatin1String(text));
            clock.restart();
            Q_EMIT edit->returnPressed();
            dataGrid->viewport()->repaint();
            return msSince(clock);
        };
        out << "filter_text_ms=" << filter("driver", "DRIVER12") << '\n';
        out << "filter_number_ms=" << filter("driverlevel", ">30") << '\n';
        out << "filter_label=" << records->text() << '\n';
    }
    return 0;
}

struct Outcome {
    std::map<QString, QString> values;   // the child's key=value lines
    double wallMs = 0;
    double firstLineMs = -1;   // when its first line of output came
    double peakMb = 0;
};

// Runs a program with its output read through a pipe (and dropped unless it is key=value),
// and gives its own peak memory.
Outcome spawn(const QStringList& command)
{
    ChildPeakMemory peak;
    const QStringList arguments = peak.underTime(command);
    std::vector<QByteArray> bytes;
    for (const QString& a : arguments)
        bytes.push_back(a.toLocal8Bit());
    std::vector<char*> argv;
    for (QByteArray& b : bytes)
        argv.push_back(b.data());
    argv.push_back(nullptr);

    int pipeFds[2];
    if (pipe(pipeFds) != 0)
        throw std::runtime_error("pipe failed");
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, pipeFds[1], STDOUT_FILENO);
    posix_spawn_file_actions_addclose(&actions, pipeFds[0]);
    Outcome outcome;
    QElapsedTimer clock;
    clock.start();
    pid_t pid = 0;
    if (posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ) != 0)
        throw std::runtime_error("cannot start " + bytes[0].toStdString());
    posix_spawn_file_actions_destroy(&actions);
    close(pipeFds[1]);

    QByteArray text;
    char buffer[1 << 16];
    ssize_t n;
    while ((n = read(pipeFds[0], buffer, sizeof buffer)) > 0) {
        if (outcome.firstLineMs < 0 && memchr(buffer, '\n', std::size_t(n)))
            outcome.firstLineMs = msSince(clock);
        if (text.size() < (1 << 20))
            text.append(buffer, std::min<qsizetype>(n, (1 << 20) - text.size()));
    }
    close(pipeFds[0]);
    int status = 0;
    waitpid(pid, &status, 0);
    outcome.wallMs = msSince(clock);
    outcome.peakMb = peak.megabytes();
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
        throw std::runtime_error(command.join(' ').toStdString() + " failed");
    for (const QByteArray& line : text.split('\n')) {
        const qsizetype eq = line.indexOf('=');
        if (eq > 0 && !line.contains(';'))
            outcome.values[QString::fromUtf8(line.left(eq))] = QString::fromUtf8(line.mid(eq + 1));
    }
    return outcome;
}

void report(const char* what, const QString& figures)
{
    std::printf("  %-36s %s\n", what, figures.toUtf8().constData());
    std::fflush(stdout);
}

QString ms(double value)
{
    return QString::number(value, 'f', 0) + QStringLiteral(" ms");
}

QString mb(double value)
{
    return QString::number(value, 'f', 0) + QStringLiteral(" MB");
}

// One figure of the program beside the shell's: both times, the ratio and the target.
void compare(const char* what, double ms, double shellMs, const char* target)
{
    report(what, QStringLiteral("%1   sqlite3 -csv %2   %3x  (target %4)")
                     .arg(::ms(ms), ::ms(shellMs), QString::number(ms / shellMs, 'f', 2), QLatin1String(target)));
}

// The best of several runs of one measurement: each figure its lowest, peak memory its highest.
struct Best {
    std::map<QString, double> values;
    double wallMs = 0;
    double peakMb = 0;

    void add(const Outcome& outcome)
    {
        const bool first = wallMs == 0;
        wallMs = first ? outcome.wallMs : std::min(wallMs, outcome.wallMs);
        peakMb = std::max(peakMb, outcome.peakMb);
        const auto lowest = [&](const QString& key, double value) {
            const auto found = values.find(key);
            values[key] = found == values.end() ? value : std::min(found->second, value);
        };
        for (const auto& [key, text] : outcome.values) {
            bool isNumber = false;
            const double value = text.toDouble(&isNumber);
            if (isNumber)
                lowest(key, value);
        }
        lowest(QStringLiteral("first_line_ms"), outcome.firstLineMs);
    }
    double at(const char* key) const { return values.at(QLatin1String(key)); }
};

// The figures of one size; the window's whole result is kept for the ratio between sizes.
double measure(int rows, int runs)
{
    QTemporaryDir folder;   // removed at the end of the size, whatever happens
    if (!folder.isValid())
        throw std::runtime_error("no temporary folder");
    QElapsedTimer clock;
    clock.start();
    fillProgramFolder(folder.path(), rows, kShape);
    std::printf("%d results (database %.0f MB, filled in %.0f s; best of %d runs)\n", rows,
                double(QFileInfo(folder.filePath("RACR.db")).size()) / 1e6, double(clock.elapsed()) / 1000.0, runs);

    const QString self = QCoreApplication::applicationFilePath();
    const QString db = folder.filePath("RACR.db");
    const QString defaultStatement = QString(startingStatement()).replace('\n', ' ');
    const QString racr = QStringLiteral(RACR_PATH);

    // In turns, so that a busy spell of the machine falls on both sides alike.
    Best windowAll, windowDefault, queryAll, queryDefault, exported, shellAll, shellFile, shellDefault;
    QString label, filterLabel;
    for (int run = 0; run < runs; ++run) {
        windowAll.add(spawn({self, "--child", "window", folder.path(), kSelectAll}));
        const Outcome window = spawn({self, "--child", "window-sort", folder.path(), defaultStatement});
        label = window.values.at("label");
        filterLabel = window.values.at("filter_label");
        windowDefault.add(window);
        queryAll.add(spawn({racr, "query", "--home", folder.path(), kSelectAll}));
        shellAll.add(spawn({"sqlite3", "-csv", db, kSelectAll}));
        exported.add(spawn({racr, "export", "--home", folder.path(), "--sql", kSelectAll, folder.filePath("export.csv")}));
        shellFile.add(spawn({"sqlite3", "-csv", "-cmd", ".output '" + folder.filePath("shell.csv") + "'", db, kSelectAll}));
        queryDefault.add(spawn({racr, "query", "--home", folder.path(), defaultStatement}));
        shellDefault.add(spawn({"sqlite3", "-csv", db, defaultStatement}));
    }

    compare("racr query select * (into a pipe)", queryAll.wallMs, shellAll.wallMs, "<= 1.2x");
    compare("racr export select * (to a file)", exported.wallMs, shellFile.wallMs, "<= 1.2x");
    compare("racr query default statement", queryDefault.wallMs, shellDefault.wallMs, "<= 1.1x");
    compare("window default whole + count", windowDefault.at("whole_ms"), shellDefault.wallMs, "the browser's time");
    report("  (status line)", label);
    report("racr query / export peak memory", mb(std::max(queryAll.peakMb, queryDefault.peakMb)) + " / " + mb(exported.peakMb)
                                                  + "  (target < 40 MB at 3M)");
    report("window select * first rows", ms(windowAll.at("first_ms")) + "  (target < 0.1 s; all: "
                                             + ms(windowAll.at("whole_ms")) + ")");
    report("window default first rows", ms(windowDefault.at("first_ms")) + "  (target < 0.3 s)");
    report("window title click sort", ms(windowDefault.at("sort_ms")));
    report("window filter text (driver)", ms(windowDefault.at("filter_text_ms")) + "  (target < 0.5 s at 1M)");
    report("window filter text and number", ms(windowDefault.at("filter_number_ms")) + "  (" + filterLabel + ")");
    report("window peak memory", mb(windowDefault.at("loaded_peak_mb")) + " loaded, " + mb(windowDefault.peakMb)
                                     + " after the sort  (target < 250 MB at 3M)");
    report("sqlite3 -csv first line", "select * " + ms(shellAll.at("first_line_ms")) + ", default "
                                          + ms(shellDefault.at("first_line_ms")));
    return windowDefault.at("whole_ms");
}

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const QStringList arguments = QCoreApplication::arguments();
    try {
        // A measured window, started by this program itself.
        if (arguments.size() == 5 && arguments.at(1) == QLatin1String("--child"))
            return windowChild(arguments.at(3), arguments.at(4), arguments.at(2) == QLatin1String("window-sort"));

        QCommandLineParser parser;
        parser.setApplicationDescription(QStringLiteral(
            "The SQL window and racr query/export on large databases beside the sqlite3 shell (-csv) on\n"
            "the same file, each figure with its ratio to the shell. Each size gets a fresh database."));
        const QCommandLineOption help({QStringLiteral("h"), QStringLiteral("help")}, QStringLiteral("Shows this text."));
        const QCommandLineOption rowsOption(QStringLiteral("rows"),
                                            QStringLiteral("Comma-separated result counts, one database each (default 1000000,3000000)."),
                                            QStringLiteral("N,N"), QStringLiteral("1000000,3000000"));
        const QCommandLineOption runsOption(QStringLiteral("runs"),
                                            QStringLiteral("Runs of each measurement, taken in turn; the best counts (default 3)."),
                                            QStringLiteral("N"), QStringLiteral("3"));
        parser.addOption(help);
        parser.addOption(rowsOption);
        parser.addOption(runsOption);
        const auto usageError = [&](const QString& text) {
            std::fprintf(stderr, "workbench_bench: %s\n%s", qPrintable(text), qPrintable(parser.helpText()));
            return 2;
        };
        if (!parser.parse(arguments))
            return usageError(parser.errorText());
        if (parser.isSet(help)) {
            std::printf("%s", qPrintable(parser.helpText()));
            return 0;
        }
        if (!parser.positionalArguments().isEmpty())
            return usageError(QStringLiteral("unexpected argument \"%1\"").arg(parser.positionalArguments().first()));
        std::vector<int> sizes;
        for (const QString& size : parser.value(rowsOption).split(',')) {
            bool ok = false;
            sizes.push_back(size.toInt(&ok));
            if (!ok || sizes.back() <= 0)
                return usageError(QStringLiteral("--rows takes positive whole numbers, not \"%1\"").arg(size));
        }
        bool ok = false;
        const int runs = parser.value(runsOption).toInt(&ok);
        if (!ok || runs <= 0)
            return usageError(QStringLiteral("--runs takes a positive whole number"));

        std::map<int, double> whole;
        for (const int rows : sizes)
            whole[rows] = measure(rows, runs);
        if (whole.count(1000000) && whole.count(3000000))
            std::printf("window default whole + count, 3M / 1M: %.2f  (target <= 3.2; linear 3.0)\n",
                        whole[3000000] / whole[1000000]);
    } catch (const std::exception& error) {
        std::fprintf(stderr, "workbench_bench: %s\n", error.what());
        return 1;
    }
    return 0;
}
