#include "app/programwindows.h"
#include "common/errordisplay.h"
#include "common/programpaths.h"
#include "common/settings.h"
#include "db/databasecommands.h"
#include "import/importcommand.h"

#include <QApplication>
#include <QStringList>
#include <QTextStream>
#include <cstdio>

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

// Takes "--name value" out of the arguments; returns the value or an empty text.
QString takeOption(QStringList& arguments, const QString& name)
{
    const qsizetype at = arguments.indexOf(name);
    if (at < 0 || at + 1 >= arguments.size())
        return {};
    const QString value = arguments.at(at + 1);
    arguments.remove(at, 2);
    return value;
}

// --home and --service-base apply to the windows and to every command.
void takeCommonOptions(QStringList& arguments)
{
    const QString home = takeOption(arguments, QStringLiteral("--home"));
    if (!home.isEmpty())
        ProgramPaths::setHome(home);
    const QString serviceBase = takeOption(arguments, QStringLiteral("--service-base"));
    if (!serviceBase.isEmpty())
        settings::setServiceBaseOverride(serviceBase);
}

int usage()
{
    std::fputs("usage: racr [--home DIR] [--service-base URL]                 the program's windows\n"
               "       racr [--home DIR] query \"SQL\"                          run one statement\n"
               "       racr [--home DIR] export --sql \"SQL\" FILE              its result to a CSV file\n"
               "       racr [--home DIR] merge FILE                           merge an older database file\n"
               "       racr [--home DIR] [--service-base URL] import leaderboards|drivers [options]\n"
               "            (racr import --help lists the import options)\n",
               stderr);
    return 2;
}

int runCommand(int argc, char** argv)
{
    // Commands run without a display: no widgets, no window system.
    QCoreApplication app(argc, argv);
    QStringList arguments = QCoreApplication::arguments().mid(1);
    takeCommonOptions(arguments);
    const QString command = arguments.value(0);
    QTextStream out(stdout);
    QTextStream err(stderr);
    if (const QString problem = ProgramPaths::makeHome(); !problem.isEmpty()) {
        err << problem << '\n';
        return 1;
    }
    if (command == QLatin1String("query") && arguments.size() == 2)
        return runQueryCommand(arguments.at(1), out, err);
    if (command == QLatin1String("export")) {
        const QString sql = takeOption(arguments, QStringLiteral("--sql"));
        if (!sql.isEmpty() && arguments.size() == 2)
            return runExportCommand(sql, arguments.at(1), out, err);
    }
    if (command == QLatin1String("merge") && arguments.size() == 2)
        return runMergeCommand(arguments.at(1), out, err);
    if (command == QLatin1String("import"))
        return runImportCommand(arguments.mid(1));
    return usage();
}

int runWindows(int argc, char** argv)
{
    RacrApplication app(argc, argv);
    QStringList arguments = QCoreApplication::arguments().mid(1);
    takeCommonOptions(arguments);
    if (!arguments.isEmpty())
        return usage();
    // Without its folder the program could neither keep its settings nor open its database.
    if (const QString problem = ProgramPaths::makeHome(); !problem.isEmpty()) {
        showDefaultError(problem);
        return 1;
    }
    ProgramWindows windows;
    QObject::connect(&windows.main, &TForm1::closed, &app, &QCoreApplication::quit);
    windows.main.show();
    return QApplication::exec();
}

bool isCommand(int argc, char** argv)
{
    for (int i = 1; i < argc; ++i) {
        const QString word = QString::fromLocal8Bit(argv[i]);
        if (word == QLatin1String("--home") || word == QLatin1String("--service-base"))
            ++i;
        else
            return !word.startsWith('-');
    }
    return false;
}

} // namespace

int main(int argc, char** argv)
{
    return isCommand(argc, argv) ? runCommand(argc, argv) : runWindows(argc, argv);
}
