#include "import/leaderboardimport.h"

#include "common/error.h"
#include "db/asynccommits.h"
#include "db/connection.h"
#include "db/pgprepared.h"
#include "db/openresult.h"
#include "common/drivernames.h"
#include "import/jobsupport.h"
#include "db/writetransaction.h"
#include "webservice/answercheck.h"
#include "webservice/endpoints.h"
#include "webservice/httprequest.h"
#include "webservice/parallelfetch.h"
#include "webservice/readers.h"
#include "common/tracktable.h"
#include "webservice/xmldocument.h"

#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>

#include <optional>
#include <utility>

namespace {

QString passName(int pass)
{
    return pass == 1 ? QStringLiteral("MultiPlayer") : QStringLiteral("SinglePlayer");
}

// Table RACR as the import writes it: a record counts as stored when a row with the same driver,
// shard, track, date, event type and time exists (the car is not compared). Values are bound,
// never written into the statement, so no name or car text can change its meaning.
class ResultTable {
public:
    explicit ResultTable(const QSqlDatabase& db)
        : m_db(db), m_check(db), m_insert(db), m_batch(db), m_batched(db.driverName() == QLatin1String("QPSQL"))
    {
    }

    // True when the record was new and is now stored (once its track's transaction commits).
    // Records kept back for flush() count there.
    bool add(const racr::LeaderboardRecord& record, const QString& shard, const racr::Track& track)
    {
        const QString whose = QStringLiteral("%1's record on %2").arg(record.personaName, track.name);
        const QVariant trackId = importjob::serviceNumber(record.eventId, QStringLiteral("the eventId of ") + whose);
        const QVariant eventType = importjob::serviceNumber(record.eventType, QStringLiteral("the eventType of ") + whose);
        // Characters 12 to 19 of the timestamp are the time of day; a short timestamp leaves
        // the date followed by the two blanks alone.
        const QString date = record.createdDateStr + QStringLiteral("  ") + record.createdDate.mid(11, 8);

        using importjob::serviceText;
        const QVariantList row = {serviceText(record.personaName),
                                  serviceText(record.make + QLatin1Char(' ') + record.carName),
                                  serviceText(date),
                                  trackId,
                                  eventType,
                                  serviceText(record.eventDuration),
                                  serviceText(shard)};
        if (m_batched) {
            m_pending.append(row);
            return false;
        }
        prepare();
        if (isStored({row[0], row[6], row[3], row[2], row[4], row[5]}))
            return false;
        for (int i = 0; i < row.size(); ++i)
            m_insert.bindValue(i, row[i]);
        if (!m_insert.exec())
            importjob::failStatement(m_db, QStringLiteral("Storing %1 in table RACR").arg(whose), m_insert.lastError());
        return m_insert.numRowsAffected() > 0;
    }

    // Stores the records add() kept back, and returns how many of them were new. On PostgreSQL a
    // track's records go to the server in one statement (one round trip instead of a hundred),
    // and the unique index decides in the insert itself: members importing the same boards at
    // the same moment each add a record once, and only the one that added it counts it.
    // One statement is a transaction of its own, so a track that fits in one needs no other (the
    // server is then asked once per track, not three times); a longer one (chunks keep a statement
    // within what every server takes) is written in a transaction named `action`.
    int flush(const QString& action)
    {
        constexpr qsizetype kMaxRows = 500;
        const QList<QVariantList> pending = std::exchange(m_pending, {});
        if (pending.size() <= kMaxRows)
            return pending.isEmpty() ? 0 : insertAtOnce(pending);
        racr::WriteTransaction transaction(m_db, action);
        int added = 0;
        for (qsizetype from = 0; from < pending.size(); from += kMaxRows)
            added += insertAtOnce(pending.mid(from, kMaxRows));
        transaction.commit();
        return added;
    }

    // Whether the records are written by flush() alone, which takes care of its transaction.
    bool storesAtFlush() const { return m_batched; }

private:
    int insertAtOnce(const QList<QVariantList>& records)
    {
        constexpr int kColumns = 7;
        const int rows = int(records.size());
        if (rows != m_batchRows) {
            QStringList tuples;
            for (int r = 0; r < rows; ++r) {
                QStringList values;
                for (int c = 1; c <= kColumns; ++c)
                    values.append(QLatin1Char('$') + QString::number(r * kColumns + c));
                tuples.append(QLatin1Char('(') + values.join(QLatin1Char(',')) + QLatin1Char(')'));
            }
            if (!m_batch.prepare(QStringLiteral("INSERT INTO RACR (driver,car,date,trackid,multiplayer,besttime,shard)"
                                                " VALUES %1 ON CONFLICT DO NOTHING")
                                     .arg(tuples.join(QLatin1Char(','))),
                                 rows * kColumns))
                importjob::failStatement(m_db, QStringLiteral("Storing records in table RACR"), m_batch.lastError());
            m_batchRows = rows;
        }
        QVariantList values;
        values.reserve(rows * kColumns);
        for (const QVariantList& row : records)
            values.append(row);
        const int added = m_batch.exec(values);
        if (added < 0)
            importjob::failStatement(m_db, QStringLiteral("Storing records in table RACR"), m_batch.lastError());
        return added;
    }

    // Whether a row with these duplicate-check values (driver, shard, track, date, event type,
    // time) is stored already.
    bool isStored(const QVariantList& key)
    {
        for (int i = 0; i < key.size(); ++i)
            m_check.bindValue(i, key[i]);
        if (!m_check.exec())
            importjob::failStatement(m_db, QStringLiteral("Looking up a record in table RACR"), m_check.lastError());
        const bool stored = m_check.next();
        // No row and an error are told apart: a damaged file must not pass for an empty one.
        if (!stored && m_check.lastError().isValid())
            importjob::failStatement(m_db, QStringLiteral("Looking up a record in table RACR"), m_check.lastError());
        m_check.finish();
        return stored;
    }

    // Prepared when the first record arrives: a run that finds no records never needs the table.
    void prepare()
    {
        if (m_prepared)
            return;
        // The car is read although it is not compared: it makes the engine visit the stored row
        // and not only the index, so a damaged table is found instead of passing for stored.
        if (!m_check.prepare(QStringLiteral("select id, car from RACR where driver=? and shard=? and trackid=? and [date]=?"
                                            " and multiplayer=? and besttime=?")))
            importjob::failStatement(m_db, QStringLiteral("Looking up a record in table RACR"), m_check.lastError());
        if (!m_insert.prepare(QStringLiteral("INSERT INTO RACR (driver,car,[date],trackid,multiplayer,besttime,shard)"
                                             " VALUES (?,?,?,?,?,?,?)")))
            importjob::failStatement(m_db, QStringLiteral("Storing a record in table RACR"), m_insert.lastError());
        m_prepared = true;
    }

    QSqlDatabase m_db;
    QSqlQuery m_check;
    QSqlQuery m_insert;
    pg::PreparedStatement m_batch;  // PostgreSQL: a track's records in one statement
    const bool m_batched;           // PostgreSQL: records wait for flush()
    QList<QVariantList> m_pending;
    int m_batchRows = 0;            // the rows m_insert was prepared for in flush()
    bool m_prepared = false;
};

// The tracks of a pass whose answer was not a leaderboard, and why the first one was not.
struct Unreadable {
    int tracks = 0;
    QString first;

    void add(const QString& problem, const racr::Track& track)
    {
        if (tracks++ == 0)
            first = QStringLiteral("%1 on %2").arg(problem, track.name);
    }
};

} // namespace

LeaderboardImport::LeaderboardImport(const ImportInputs& inputs, OpenResult& query, JobHost& host)
    : m_inputs(inputs), m_query(query), m_host(host)
{
}

LeaderboardImport::Outcome LeaderboardImport::run()
{
    const quint32 startTick = importjob::tickCount();
    const QList<racr::Track>& tracks = racr::trackTable();
    m_host.setGaugeMaximum(kPasses * int(tracks.size()));
    // The same names as the driver import asks for, not the list's text with its quotes.
    const LeaderboardDriverList drivers = leaderboardDriverList(m_inputs.drivers);
    for (const QString& name : drivers.unsendable)
        m_host.logLine(QStringLiteral("Not asked for: \"%1\" (a name with a comma cannot be sent in a leaderboard "
                                      "request).")
                           .arg(name));
    // Every request of the run, in the order the answers are stored: pass, then track. Several are
    // under way at once; the answers still come one after the other in this order.
    QList<racr::FetchRequest> requests;
    for (int pass = 1; pass <= kPasses; ++pass)
        for (const racr::Track& track : tracks)
            requests.append({QStringLiteral("POST"),
                             racr::leaderboardsUrl(m_inputs.serviceBase,
                                                   {drivers.value, pass, m_inputs.periodType, track.eventId,
                                                    m_inputs.periodValue, m_inputs.shard})});
    // A request without any answer ends the run, so none after it is ever needed.
    racr::ParallelFetch fetch(requests, m_inputs.parallel, m_host.abortFlag(),
                              racr::ParallelFetch::AfterNoAnswer::StartNoMore);
    racr::XmlDocument document;
    const QSqlDatabase db = m_query.connection().database();
    const AsyncCommits commits(db);
    ResultTable table(db);

    for (int pass = 1; pass <= kPasses; ++pass) {
        int count = 0;
        Unreadable unreadable;
        const auto writePassLines = [&] {
            m_host.logLine(QStringLiteral("%1: %2 new record(s).").arg(passName(pass)).arg(count));
            if (unreadable.tracks > 0)
                m_host.logLine(QStringLiteral("%1: %2 track(s) gave no leaderboard (first: %3).")
                                   .arg(passName(pass))
                                   .arg(unreadable.tracks)
                                   .arg(unreadable.first));
            m_unreadableTracks += unreadable.tracks;
        };
        try {
            for (const racr::Track& track : tracks) {
                racr::FetchAnswer answer;
                m_host.runRequest([&] { answer = fetch.next(); });
                QString problem;
                try {
                    if (answer.failure)
                        std::rethrow_exception(answer.failure);
                    document.load(answer.body);
                    problem = racr::answerProblem(answer.status, document);
                } catch (const racr::AnswerTooLargeError&) {
                    problem = QStringLiteral("more than %1 MB").arg(racr::HttpRequest::kMaxAnswerBytes / (1024 * 1024));
                }
                // An answer that is not a leaderboard adds nothing and the run goes on, but the
                // pass says so instead of passing for a quiet success.
                if (!problem.isEmpty())
                    unreadable.add(problem, track);
                const int records = problem.isEmpty() ? racr::leaderboardRecordCount(document) : 0;
                if (records > 0) {
                    // A transaction per track: one commit for all its records, which count once
                    // the commit has succeeded.
                    const QString action = QStringLiteral("Saving the records of %1").arg(track.name);
                    std::optional<racr::WriteTransaction> transaction;
                    if (!table.storesAtFlush())
                        transaction.emplace(db, action);
                    int added = 0;
                    const auto keep = [&] {
                        added += table.flush(action);
                        if (transaction)
                            transaction->commit();
                        count += added;
                        m_stored += added;
                    };
                    try {
                        for (int i = 0; i < records; ++i)
                            added += table.add(racr::readLeaderboardRecord(document, i), m_inputs.shard, track) ? 1 : 0;
                    } catch (...) {
                        // A bad record ends the run, but the records stored before it stay, as
                        // they would one by one; if even that fails, the first error is the one told.
                        try {
                            keep();
                        } catch (const racr::Error&) {
                        }
                        throw;
                    }
                    keep();
                }
                m_host.stepGauge();
                m_host.processPendingEvents();
                if (m_host.cancelRequested()) {
                    writePassLines();
                    return Outcome::Cancelled;
                }
            }
        } catch (const racr::Cancelled&) {
            // The user stopped the run while a request was under way: as after a cancel, the
            // tracks stored until then stay and the pass line is written.
            writePassLines();
            return Outcome::Cancelled;
        } catch (...) {
            writePassLines();
            throw;
        }
        writePassLines();
    }
    m_host.logLine(importjob::runningTimeLine(startTick, importjob::tickCount()));
    m_host.logLine(QStringLiteral("Finished!"));
    return Outcome::Finished;
}
