#pragma once

#include <QString>

class QTextStream;

// `racr query "SQL"`: runs one statement on the program folder's database as the SQL workbench
// does and prints its rows semicolon-separated under a header line, or "Operation affected N
// row(s)". Errors go to `err`; the result is the process exit status (0 on success).
int runQueryCommand(const QString& sql);
int runQueryCommand(const QString& sql, QTextStream& out, QTextStream& err);
