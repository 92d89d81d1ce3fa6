#pragma once

#include <QStringList>

// "racr import leaderboards|drivers [options]" without a window. `args` are the words after
// "import" (the program folder and the service base are set before). Writes the job's log lines
// to standard output and a progress bar to standard error when that is a terminal.
// Returns 0 when the run finished without a failure, 1 after an error or a failed driver,
// 2 for a mistake in the command, 128 + the signal number after Ctrl+C (SIGINT) or SIGTERM,
// which stop the run cleanly after the unit of work in progress.
int runImportCommand(const QStringList& args);
