#include "commands/publishcommand.h"

#include "common/commandline.h"
#include "common/error.h"
#include "common/programpaths.h"
#include "db/connection.h"
#include "common/drivernames.h"
#include "publish/publisher.h"

#include <QCommandLineParser>
#include <QDateTime>
#include <QDir>
#include <QTextStream>

namespace {

const QString kTitle = QStringLiteral("title");
const QString kShard = QStringLiteral("shard");
const QString kDrivers = QStringLiteral("drivers");
const QString kStamp = QStringLiteral("stamp");

publish::SiteOptions options(const QCommandLineParser& parser)
{
    publish::SiteOptions site;
    if (parser.isSet(kTitle))
        site.title = parser.value(kTitle).trimmed();
    if (site.title.isEmpty())
        throw commandline::UsageError{QStringLiteral("--title needs a text")};
    if (parser.isSet(kShard)) {
        site.shard = parser.value(kShard).toUpper();
        if (site.shard != QLatin1String("APEX") && site.shard != QLatin1String("CHICANE"))
            throw commandline::UsageError{QStringLiteral("--shard is APEX or CHICANE, not \"%1\"").arg(parser.value(kShard))};
    }
    if (parser.isSet(kDrivers)) {
        for (const QString& name : splitDriverNames(parser.value(kDrivers))) {
            if (!name.isEmpty())
                site.drivers.append(name);
        }
    }
    // Only on request: without it a run on unchanged data writes the same bytes.
    if (parser.isSet(kStamp))
        site.stamp = QDateTime::currentDateTimeUtc().toString(QStringLiteral("'on' yyyy-MM-dd 'at' HH:mm 'UTC'"));
    return site;
}

int run(const QCommandLineParser& parser)
{
    const QStringList words = parser.positionalArguments();
    if (words.isEmpty())
        throw commandline::UsageError{QStringLiteral("DIR is missing")};
    if (words.size() > 1)
        throw commandline::UsageError{QStringLiteral("one DIR only; \"%1\" is one too many").arg(words.at(1))};
    const publish::SiteOptions site = options(parser);
    QTextStream out(stdout);
    QTextStream err(stderr);
    try {
        Connection connection(ProgramPaths::dataSourceFile(),
                              ProgramPaths::databaseFile());
        const publish::PublishReport report = publish::publishSite(connection, words.first(), site);
        out << "Published " << report.pages << " page(s) (" << report.tracks << " track(s), " << report.drivers
            << " driver(s)) to " << QDir::toNativeSeparators(QDir(words.first()).absolutePath()) << '\n';
        return 0;
    } catch (const racr::Error& error) {
        err << error.message() << '\n';
        return 1;
    }
}

} // namespace

const commandline::Command& publishCommand()
{
    static const commandline::Command command{
        QStringLiteral("publish"),
        QStringLiteral("publish DIR [--title TEXT] [--shard APEX|CHICANE] [--drivers LIST] [--stamp]"),
        QStringLiteral(
            "Writes the club pages, a static web site of the stored results, to the folder DIR: index.html\n"
            "(records, standings, latest results), a page per track and per driver, weeks.html (weekly\n"
            "bests) and style.css. The pages need no JavaScript and nothing from elsewhere; open index.html\n"
            "from the folder or copy the folder to a web host. The site is made beside DIR and put in its\n"
            "place at the end; DIR must be new, empty or a site published before."),
        QStringLiteral("Exit status: 0 done; 1 an error (DIR keeps what it held); 2 a mistake in the command.\n"),
        [](QCommandLineParser& parser) {
            parser.addOption(QCommandLineOption(kTitle, QStringLiteral("The site's name (default \"Club standings\")."),
                                                QStringLiteral("TEXT")));
            parser.addOption(QCommandLineOption(kShard, QStringLiteral("Only the results of this shard (default: all)."),
                                                QStringLiteral("APEX|CHICANE")));
            parser.addOption(QCommandLineOption(
                kDrivers, QStringLiteral("The drivers of the standings and the driver pages (default: all)."),
                QStringLiteral("LIST")));
            parser.addOption(QCommandLineOption(
                kStamp, QStringLiteral("Name the time of the run on every page (else the same data gives the same files).")));
            parser.addPositionalArgument(QStringLiteral("DIR"), QStringLiteral("The site's folder."));
        },
        run,
    };
    return command;
}
