#include "app/closesignals.h"
#include "app/programwindows.h"
#include "common/commandline.h"
#include "common/ui/errordisplay.h"
#include "common/programpaths.h"
#include "common/utf8locale.h"
#include "commands/databasecommands.h"
#include "db/pgconnect.h"
#include "commands/importcommand.h"
#include "commands/publishcommand.h"
#include "version.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QCoreApplication>
#include <QIcon>
#include <QStringList>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string_view>

namespace {

// Nothing thrown inside an event handler may end the program: it goes to the default error display.
class RacrApplication : public QApplication {
public:
    using QApplication::QApplication;

    bool notify(QObject* receiver, QEvent* event) override
    {
        bool handled = false;
        guarded([&] { handled = QApplication::notify(receiver, event); });
        return handled;
    }
};

const commandline::Command* findCommand(const QString& name)
{
    for (const commandline::Command* command : {&queryCommand(), &exportCommand(), &mergeCommand(), &importCommand(), &publishCommand()}) {
        if (command->name == name)
            return command;
    }
    return nullptr;
}

const QString kVersion = QStringLiteral("version");

// The words before the command: the common options, --help and --version. Everything from the
// command's name on is left to the command's own parser.
void declareProgram(QCommandLineParser& parser)
{
    parser.addOptions(commandline::commonOptions());
    parser.addOption(commandline::helpOption());
    parser.addOption(QCommandLineOption(kVersion, QStringLiteral("Show the program's version.")));
    parser.setOptionsAfterPositionalArgumentsMode(QCommandLineParser::ParseAsPositionalArguments);
}

QString programHelp(const QCommandLineParser& parser)
{
    return commandline::helpText(
        parser,
        {QStringLiteral("racr [--home DIR] [--service-base URL]                 the program's windows"),
         QStringLiteral("racr [--home DIR] query SQL                            run one statement"),
         QStringLiteral("racr [--home DIR] export --sql SQL FILE|-              its result to a CSV file"),
         QStringLiteral("racr [--home DIR] merge FILE                           merge an older database file"),
         QStringLiteral("racr [--home DIR] [--service-base URL] import leaderboards|drivers [options]"),
         QStringLiteral("racr [--home DIR] publish DIR [options]                the club pages, a web site"),
         QStringLiteral("racr help COMMAND                                      a command's options")},
        QStringLiteral("Without a command the program opens its windows. The program folder holds racr.ini,\n"
                       "connection.dsn, RACR.db and avatars/: the executable's folder in a build tree or a\n"
                       "writable copy holding racr.ini or RACR.db, else $XDG_DATA_HOME/racr\n"
                       "(~/.local/share/racr); --home or RACR_HOME name another.\n"
                       "--database URI (or racr.ini's key \"database\") uses a PostgreSQL database instead;\n"
                       "give its password in ~/.pgpass or PGPASSWORD rather than in the URI."),
        QStringLiteral("\"racr COMMAND --help\" shows the same as \"racr help COMMAND\".\n"));
}

void print(std::FILE* stream, const QString& text)
{
    std::fputs(text.toLocal8Bit().constData(), stream);
}

int mistake(const QCommandLineParser& parser, const QString& message)
{
    print(stderr, QStringLiteral("racr: %1\n\n%2").arg(message, programHelp(parser)));
    return commandline::kMistakeStatus;
}

// Qt ends the program with abort() and a plugin message when it finds no display to open windows
// on (no DISPLAY or WAYLAND_DISPLAY, a server that is gone, ssh without X forwarding, cron). While
// the application object is made, Qt's messages wait here: a fatal one is replaced by one line
// that says what is missing and what works without a display, the others are passed on after.
struct HeldMessage {
    QtMsgType type;
    QByteArray category;
    QString text;
};
QtMessageHandler passOn = nullptr;
QList<HeldMessage>* heldMessages = nullptr;

void holdWhileOpeningDisplay(QtMsgType type, const QMessageLogContext& context, const QString& text)
{
    if (type == QtFatalMsg && text.contains(QLatin1String("platform plugin"))) {
        std::fputs("racr: there is no display to open the windows on (DISPLAY or WAYLAND_DISPLAY); without one, "
                   "use the commands: racr query, racr import, racr publish (racr --help)\n",
                   stderr);
        std::fflush(stderr);
        std::_Exit(commandline::kMistakeStatus);
    }
    if (type == QtFatalMsg && passOn != nullptr)
        passOn(type, context, text);
    heldMessages->append({type, context.category ? QByteArray(context.category) : QByteArrayLiteral("default"), text});
}

std::unique_ptr<RacrApplication> openDisplay(int& argc, char** argv)
{
    QList<HeldMessage> held;
    heldMessages = &held;
    passOn = qInstallMessageHandler(holdWhileOpeningDisplay);
    auto app = std::make_unique<RacrApplication>(argc, argv);
    qInstallMessageHandler(passOn);
    heldMessages = nullptr;
    for (const HeldMessage& message : held) {
        const QMessageLogContext context(nullptr, 0, nullptr, message.category.constData());
        qt_message_output(message.type, context, message.text);
    }
    return app;
}

int runWindows(int argc, char** argv, const QCommandLineParser& parser)
{
    // The desktop's file dialogs read the files they list to find their types, which would drop
    // SQLite's locks on the open database (see common/dialogs.cpp): the program uses Qt's own.
    QCoreApplication::setAttribute(Qt::AA_DontUseNativeDialogs);
    const std::unique_ptr<RacrApplication> app = openDisplay(argc, argv);
    // The icon the menu entry shows, and the entry itself, so that docks group the window with it.
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/icons/org.racrtool.Racr.svg")));
    QGuiApplication::setDesktopFileName(QStringLiteral("org.racrtool.Racr"));
    commandline::applyCommonOptions(parser);
    // Without its folder the program could neither keep its settings nor open its database.
    if (const QString problem = ProgramPaths::makeHome(); !problem.isEmpty()) {
        showDefaultError(problem);
        return 1;
    }
    ProgramWindows windows;
    // The main window's close ends the program whatever else is open. quit() would first ask every
    // window to close and give up while one stays visible: asked from the main window's own close,
    // that window still counts, and when the import window was open too (a signal during an
    // import) nothing asked again once both were hidden, so the process stayed without a window.
    QObject::connect(&windows.main, &MainWindow::closed, app.get(), [] { QCoreApplication::exit(0); });
    // A logout or a kill closes the program as its close button does.
    CloseSignals closeSignals;
    QObject::connect(&closeSignals, &CloseSignals::received, &windows.main, [&windows] { windows.closeAtSignal(); });
    windows.main.show();
    return QApplication::exec();
}

// A password in --database would stand in the process list (ps, /proc/PID/cmdline) for the whole
// run: once the arguments are copied, it is overwritten where the system shows them from.
void hideDatabasePasswords(int argc, char** argv)
{
    for (int i = 1; i < argc; ++i) {
        const std::string_view word(argv[i]);
        if (word == "--")
            return;   // statements and file names follow
        if (word == "--database" && i + 1 < argc)
            pg::blankSecrets(argv[++i]);
        else if (word.substr(0, 11) == "--database=")
            pg::blankSecrets(argv[i] + 11);
    }
}

} // namespace

int main(int argc, char** argv)
{
    useUtf8CharacterType();
    // The command line is read before any application object exists, so that help, version and
    // the commands never need a display.
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments.append(QString::fromLocal8Bit(argv[i]));
    hideDatabasePasswords(argc, argv);
    QCommandLineParser parser;
    declareProgram(parser);
    if (!parser.parse(arguments))
        return mistake(parser, parser.errorText());
    if (parser.isSet(QStringLiteral("help"))) {
        print(stdout, programHelp(parser));
        return 0;
    }
    if (parser.isSet(kVersion)) {
        print(stdout, QStringLiteral("racr " RACR_VERSION "\n"));
        return 0;
    }

    const QStringList words = parser.positionalArguments();
    if (words.isEmpty())
        return runWindows(argc, argv, parser);
    if (words.first() == QLatin1String("help")) {
        if (words.size() == 1) {
            print(stdout, programHelp(parser));
            return 0;
        }
        const commandline::Command* command = findCommand(words.at(1));
        if (!command || words.size() > 2)
            return mistake(parser, QStringLiteral("help takes one command: query, export, merge, import or publish"));
        print(stdout, commandline::help(*command));
        return 0;
    }
    const commandline::Command* command = findCommand(words.first());
    if (!command)
        return mistake(parser, QStringLiteral("unknown command \"%1\": query, export, merge, import, publish or help").arg(words.first()));

    // Commands run without a display: no widgets, no window system.
    QCoreApplication app(argc, argv);
    commandline::applyCommonOptions(parser);
    return commandline::run(*command, words.mid(1));
}
