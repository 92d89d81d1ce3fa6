#pragma once

#include <QStringList>

namespace commandline {
struct Command;
}

// "racr import leaderboards|drivers [options]" without a window. Writes the job's log lines to
// standard output and a progress bar to standard error when that is a terminal.
// Returns 0 when the run finished without a failure, 1 after an error or a failed driver,
// 2 for a mistake in the command, 3 when some answers were no leaderboards, 128 + the signal
// number after Ctrl+C (SIGINT) or SIGTERM, which stop the run cleanly after the unit of work in
// progress.
const commandline::Command& importCommand();

// Runs the import with `args`, the words after "import" (the program folder and the service base
// may be set before).
int runImportCommand(const QStringList& args);
