#pragma once

#include <QCommandLineOption>
#include <QList>
#include <QString>
#include <QStringList>

class QCommandLineParser;

// The command line of racr and its commands, read by one parser (QCommandLineParser): the same
// help layout, "--opt=value" and "--opt value" alike, and the same answer to a mistake (the
// usage on standard error, exit status 2) everywhere.
namespace commandline {

constexpr int kMistakeStatus = 2;

// A mistake the parser cannot see (a value out of range, a missing argument): printed with the
// command's usage, exit status 2.
struct UsageError {
    QString message;
};

// One command of racr ("query", "import", ...): how it is written and what it does.
struct Command {
    QString name;
    QString synopsis;      // the forms after "racr [--home DIR] ", one per line
    QString description;   // what it does, above the options
    QString notes;         // below the options (exit statuses); may be empty
    void (*declare)(QCommandLineParser& parser);    // its own options and arguments
    int (*run)(const QCommandLineParser& parser);   // runs once the program folder is ready
};

// --home, --service-base and --database: taken before the command and by every command.
QList<QCommandLineOption> commonOptions();
QCommandLineOption helpOption();
// Sets the program folder and the service base the parser was given.
void applyCommonOptions(const QCommandLineParser& parser);

// "Usage: <forms>\n\n<description>\n\nOptions: ...", for `racr help COMMAND` and `COMMAND --help`.
QString help(const Command& command);
// The help text of `parser`, with `forms` (one per line, each written after "racr ") as its usage.
QString helpText(const QCommandLineParser& parser, const QStringList& forms, const QString& description,
                 const QString& notes);

// Parses `args` (the words after the command's name), answers --help, makes the program folder
// and runs the command. Returns the exit status.
int run(const Command& command, const QStringList& args);

// A database error as a person at a terminal reads it: without the "<object name>: " that names
// the open result inside the program.
QString withoutObjectName(const QString& message, const QString& objectName);

} // namespace commandline
