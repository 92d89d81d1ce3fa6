#pragma once

#include "import/jobhost.h"

class OpenResult;

// Copies the leaderboards of every track, multiplayer pass then single-player pass, into table
// RACR, skipping records already stored. One unit of work is one track.
class LeaderboardImport {
public:
    enum class Outcome { Finished, Cancelled };

    static constexpr int kPasses = 2;

    // `query` is the import window's open result; the job runs its statements on its connection.
    LeaderboardImport(const ImportInputs& inputs, OpenResult& query, JobHost& host);

    // Writes "<pass>: <count> new record(s)." after each pass however it ends, then the running
    // time and "Finished!" after a complete run. A failure ends the run after its pass line: the
    // rows stored until then stay, and the error is thrown on to the caller.
    Outcome run();

    int storedRecords() const { return m_stored; }   // over both passes
    // Tracks whose answer was not a leaderboard (an error page, not XML): nothing was stored
    // for them, and each pass that had some says so in one more log line.
    int unreadableTracks() const { return m_unreadableTracks; }

private:
    ImportInputs m_inputs;
    OpenResult& m_query;
    JobHost& m_host;
    int m_stored = 0;
    int m_unreadableTracks = 0;
};
