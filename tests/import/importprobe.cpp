// The import command as the program runs it, for tests that need a process of its own (exit
// status, standard output, Ctrl+C): import_probe [--home DIR] [--service-base URL] ARGS...
#include "common/programpaths.h"
#include "common/settings.h"
#include "import/importcommand.h"

#include <QCoreApplication>

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QStringList args = QCoreApplication::arguments().mid(1);
    for (const QString& option : {QStringLiteral("--home"), QStringLiteral("--service-base")}) {
        const qsizetype at = args.indexOf(option);
        if (at < 0 || at + 1 >= args.size())
            continue;
        if (option == QLatin1String("--home"))
            ProgramPaths::setHome(args.at(at + 1));
        else
            settings::setServiceBaseOverride(args.at(at + 1));
        args.remove(at, 2);
    }
    return runImportCommand(args);
}
