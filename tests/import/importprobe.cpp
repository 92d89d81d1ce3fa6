// The import command as the program runs it, for tests that need a process of its own (exit
// status, standard output, Ctrl+C): import_probe [--home DIR] [--service-base URL] ARGS...
#include "common/utf8locale.h"
#include "commands/importcommand.h"

#include <QCoreApplication>

int main(int argc, char** argv)
{
    // It stands in for `racr import`, so it starts as the program does.
    useUtf8CharacterType();
    QCoreApplication app(argc, argv);
    // The import's own parser takes --home and --service-base as well.
    return runImportCommand(QCoreApplication::arguments().mid(1));
}
