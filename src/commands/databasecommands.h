#pragma once

#include <QString>

class QTextStream;

namespace commandline {
struct Command;
}

// The commands on the program folder's database, for scripts and a terminal. Each prints its
// report to `out` and an error to `err`, and returns the process exit status (0 on success).

// `racr query "SQL"`: runs one statement as the SQL workbench does and prints its rows
// semicolon-separated under a header line, or "Operation affected N row(s)".
int runQueryCommand(const QString& sql, QTextStream& out, QTextStream& err);

// `racr export --sql "SQL" FILE`: writes the statement's result to FILE exactly as the menu's
// "Export data to csv file" does; FILE "-" is standard output. A statement without a result
// writes nothing and fails.
int runExportCommand(const QString& sql, const QString& path, QTextStream& out, QTextStream& err);

// `racr merge FILE`: merges an older database file as "Import from old database" does and
// prints the two reports.
int runMergeCommand(const QString& path, QTextStream& out, QTextStream& err);

// The three as racr's command line knows them: `racr query`, `racr export`, `racr merge`.
const commandline::Command& queryCommand();
const commandline::Command& exportCommand();
const commandline::Command& mergeCommand();
