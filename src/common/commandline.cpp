#include "common/commandline.h"

#include "common/programpaths.h"
#include "common/settings.h"

#include <QCommandLineParser>

#include <cstdio>

namespace commandline {

namespace {

void print(std::FILE* stream, const QString& text)
{
    std::fputs(text.toLocal8Bit().constData(), stream);
    std::fflush(stream);
}

const QString kHome = QStringLiteral("home");
const QString kServiceBase = QStringLiteral("service-base");
const QString kDatabase = QStringLiteral("database");

QStringList forms(const Command& command)
{
    QStringList lines;
    for (const QString& line : command.synopsis.split(QLatin1Char('\n'), Qt::SkipEmptyParts))
        lines.append(QStringLiteral("racr [--home DIR] ") + line);
    return lines;
}

void declare(const Command& command, QCommandLineParser& parser)
{
    parser.addOptions(commonOptions());
    parser.addOption(helpOption());
    command.declare(parser);
}

} // namespace

QList<QCommandLineOption> commonOptions()
{
    return {
        QCommandLineOption(kHome, QStringLiteral("The program folder (created when missing) instead of the default."),
                           QStringLiteral("DIR")),
        QCommandLineOption(kServiceBase, QStringLiteral("The statistics service's address instead of racr.ini's."),
                           QStringLiteral("URL")),
        QCommandLineOption(kDatabase,
                           QStringLiteral("The PostgreSQL database (postgresql://user@host:port/dbname) instead of "
                                          "racr.ini's key \"database\" or the program folder's database."),
                           QStringLiteral("URI")),
    };
}

QCommandLineOption helpOption()
{
    return QCommandLineOption({QStringLiteral("h"), QStringLiteral("help")}, QStringLiteral("Show this help."));
}

void applyCommonOptions(const QCommandLineParser& parser)
{
    if (parser.isSet(kHome))
        ProgramPaths::setHome(parser.value(kHome));
    if (parser.isSet(kServiceBase))
        settings::setServiceBaseOverride(parser.value(kServiceBase));
    if (parser.isSet(kDatabase))
        settings::setDatabaseOverride(parser.value(kDatabase));
}

QString helpText(const QCommandLineParser& parser, const QStringList& forms, const QString& description,
                 const QString& notes)
{
    // Qt's usage line names the executable's path and no command; the option list below it is kept.
    const QString generated = parser.helpText();
    const qsizetype options = generated.indexOf(QLatin1String("\nOptions:"));
    QString text = QStringLiteral("Usage: ") + forms.join(QStringLiteral("\n       ")) + QStringLiteral("\n\n");
    if (!description.isEmpty())
        text += description + QLatin1Char('\n');
    if (options >= 0)
        text += generated.mid(options);
    if (!notes.isEmpty())
        text += QLatin1Char('\n') + notes;
    return text;
}

QString help(const Command& command)
{
    QCommandLineParser parser;
    declare(command, parser);
    return helpText(parser, forms(command), command.description, command.notes);
}

int run(const Command& command, const QStringList& args)
{
    QCommandLineParser parser;
    declare(command, parser);
    const auto mistake = [&](const QString& message) {
        print(stderr, QStringLiteral("racr %1: %2\n\n%3").arg(command.name, message, help(command)));
        return kMistakeStatus;
    };
    if (!parser.parse(QStringList{QStringLiteral("racr")} + args))
        return mistake(parser.errorText());
    if (parser.isSet(QStringLiteral("help"))) {
        print(stdout, help(command));
        return 0;
    }
    applyCommonOptions(parser);
    if (const QString problem = ProgramPaths::makeHome(); !problem.isEmpty()) {
        print(stderr, problem + QLatin1Char('\n'));
        return 1;
    }
    try {
        return command.run(parser);
    } catch (const UsageError& error) {
        return mistake(error.message);
    }
}

QString withoutObjectName(const QString& message, const QString& objectName)
{
    const QString prefix = objectName + QStringLiteral(": ");
    return message.startsWith(prefix) ? message.mid(prefix.size()) : message;
}

} // namespace commandline
