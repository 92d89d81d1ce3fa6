// racr publish on a large database, beside the sqlite3 shell running the same statements.
//
// For each size (default 1,000,000 results; --rows N,N or sizes as arguments for others; --help
// tells how) a fresh program folder gets a
// database the program created, filled with results of 2,500 drivers on the 90 tracks over about
// a year, and 2,000 driver rows. Then, each in a process of its own under GNU time:
//   racr publish   the whole site into a new folder: time and peak memory
//   sqlite3        the statements the publish runs, their rows written to /dev/null
// and the ratio of the two times. Goal: a few seconds and under 100 MB for 1,000,000 results.
#include "benchdatabase.h"
#include "peakmemory.h"
#include "db/connection.h"
#include "publish/sitedata.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>

#include <cstdio>
#include <stdexcept>

namespace {

// Times as the service sends them, seconds with three decimals ("86.425"), on dates spread over
// a year; drivers own up to eight cars.
const ResultShape kShape{"(x * 31) % 31536000", "printf('%d.%03d', 60 + (x * 7) % 97, (x * 13) % 1000)", "x % 9"};

struct Outcome {
    double seconds = 0;
    double peakMb = 0;
};

// GNU time gives the child's own peak memory; its output goes to /dev/null.
Outcome timed(const QStringList& command)
{
    ChildPeakMemory peak;
    const QStringList underTime = peak.underTime(command);
    QProcess process;
    process.setStandardOutputFile(QProcess::nullDevice());
    QElapsedTimer clock;
    clock.start();
    process.start(underTime.first(), underTime.mid(1));
    if (!process.waitForFinished(-1) || process.exitCode() != 0)
        throw std::runtime_error(command.join(' ').toStdString() + " failed: "
                                 + process.readAllStandardError().toStdString());
    Outcome outcome;
    outcome.seconds = double(clock.nsecsElapsed()) / 1e9;
    outcome.peakMb = peak.megabytes();
    return outcome;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QCommandLineParser parser;
    parser.setApplicationDescription(
        "racr publish on databases of the given numbers of results (default 1000000), each beside the sqlite3\n"
        "shell running the same statements: time, peak memory and the ratio of the times.");
    parser.addHelpOption();
    parser.addOption(QCommandLineOption("rows", "The numbers of results, separated by commas.", "N,N"));
    parser.addPositionalArgument("N", "More numbers of results.", "[N...]");
    parser.process(app);   // --help prints the usage and ends; an unknown option is an error
    QStringList words = parser.positionalArguments();
    if (parser.isSet("rows"))
        words = parser.value("rows").split(',') + words;
    QList<int> sizes;
    for (const QString& word : words) {
        bool number = false;
        const int size = word.toInt(&number);
        if (!number || size < 1) {
            std::fprintf(stderr, "publish_bench: \"%s\" is no number of results (1 or more)\n", qPrintable(word));
            return 2;
        }
        sizes.append(size);
    }
    if (sizes.isEmpty())
        sizes.append(1'000'000);
    try {
        for (const int rows : sizes) {
            QTemporaryDir home;
            fillProgramFolder(home.path(), rows, kShape);
            const QString db = QDir(home.path()).filePath("RACR.db");
            const Outcome publish = timed({RACR_PATH, "--home", home.path(), "publish", home.filePath("site")});
            const QString statements =
                publish::siteStatements(Engine::Sqlite, publish::SiteOptions{}).join(QStringLiteral(";\n")) + ';';
            const Outcome shell = timed({"sqlite3", db, statements});
            const int pages = int(QDir(home.filePath("site")).entryList({"*.html"}, QDir::Files).size());
            std::printf("%d results: racr publish %.2f s, %.0f MB peak, %d pages; sqlite3 same statements %.2f s, "
                        "%.0f MB peak; ratio %.2f\n",
                        rows, publish.seconds, publish.peakMb, pages, shell.seconds, shell.peakMb,
                        publish.seconds / shell.seconds);
            std::fflush(stdout);
        }
    } catch (const std::exception& error) {
        std::fprintf(stderr, "publish_bench: %s\n", error.what());
        return 1;
    }
    return 0;
}
