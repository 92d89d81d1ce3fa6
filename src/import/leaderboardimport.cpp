#include "leaderboardimport.h"

#include "app/error.h"
#include "db/connection.h"
#include "db/queryobject.h"
#include "import/jobsupport.h"
#include "webservice/endpoints.h"
#include "webservice/httprequest.h"
#include "webservice/readers.h"
#include "webservice/tracktable.h"
#include "webservice/xmldocument.h"

#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>

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
    explicit ResultTable(const QSqlDatabase& db) : m_db(db), m_check(db), m_insert(db) {}

    // A transaction per track: one commit for all its records instead of one per record.
    void begin() { m_inTransaction = m_db.transaction(); }
    void commit()
    {
        if (m_inTransaction && !m_db.commit())
            importjob::failStatement(QStringLiteral("Saving the records of a track"), m_db.lastError());
        m_inTransaction = false;
    }
    // Before an error is passed on: the rows written so far stay, as they would one by one.
    void keepStored() noexcept
    {
        if (m_inTransaction && !m_db.commit())
            m_db.rollback();
        m_inTransaction = false;
    }

    // True when the record was new and is now stored.
    bool add(const racr::LeaderboardRecord& record, const QString& shard, const racr::Track& track)
    {
        const QString whose = QStringLiteral("%1's record on %2").arg(record.personaName, track.name);
        const QVariant trackId = importjob::serviceNumber(record.eventId, QStringLiteral("the eventId of ") + whose);
        const QVariant eventType = importjob::serviceNumber(record.eventType, QStringLiteral("the eventType of ") + whose);
        // Characters 12 to 19 of the timestamp are the time of day; a short timestamp leaves
        // the date followed by the two blanks alone.
        const QString date = record.createdDateStr + QStringLiteral("  ") + record.createdDate.mid(11, 8);

        prepare();
        using importjob::serviceText;
        m_check.bindValue(0, serviceText(record.personaName));
        m_check.bindValue(1, serviceText(shard));
        m_check.bindValue(2, trackId);
        m_check.bindValue(3, serviceText(date));
        m_check.bindValue(4, eventType);
        m_check.bindValue(5, serviceText(record.eventDuration));
        if (!m_check.exec())
            importjob::failStatement(QStringLiteral("Looking up a record in table RACR"), m_check.lastError());
        const bool stored = m_check.next();
        m_check.finish();
        if (stored)
            return false;

        m_insert.bindValue(0, serviceText(record.personaName));
        m_insert.bindValue(1, serviceText(record.make + QLatin1Char(' ') + record.carName));
        m_insert.bindValue(2, serviceText(date));
        m_insert.bindValue(3, trackId);
        m_insert.bindValue(4, eventType);
        m_insert.bindValue(5, serviceText(record.eventDuration));
        m_insert.bindValue(6, serviceText(shard));
        if (!m_insert.exec())
            importjob::failStatement(QStringLiteral("Storing %1 in table RACR").arg(whose), m_insert.lastError());
        return m_insert.numRowsAffected() > 0;
    }

private:
    // Prepared when the first record arrives: a run that finds no records never needs the table.
    void prepare()
    {
        if (m_prepared)
            return;
        if (!m_check.prepare(QStringLiteral("select id from RACR where driver=? and shard=? and trackid=? and [date]=?"
                                            " and multiplayer=? and besttime=?")))
            importjob::failStatement(QStringLiteral("Looking up a record in table RACR"), m_check.lastError());
        if (!m_insert.prepare(QStringLiteral("INSERT INTO RACR (driver,car,[date],trackid,multiplayer,besttime,shard)"
                                             " VALUES (?,?,?,?,?,?,?)")))
            importjob::failStatement(QStringLiteral("Storing a record in table RACR"), m_insert.lastError());
        m_prepared = true;
    }

    QSqlDatabase m_db;
    QSqlQuery m_check;
    QSqlQuery m_insert;
    bool m_prepared = false;
    bool m_inTransaction = false;
};

} // namespace

LeaderboardImport::LeaderboardImport(const ImportInputs& inputs, QueryObject& query, JobHost& host)
    : m_inputs(inputs), m_query(query), m_host(host)
{
}

LeaderboardImport::Outcome LeaderboardImport::run()
{
    const quint32 startTick = importjob::tickCount();
    const QList<racr::Track>& tracks = racr::trackTable();
    m_host.setGaugeMaximum(kPasses * int(tracks.size()));
    // One request object and one document serve the whole run; the connection stays alive.
    racr::HttpRequest request;
    racr::XmlDocument document;
    ResultTable table(m_query.connection().database());

    for (int pass = 1; pass <= kPasses; ++pass) {
        int count = 0;
        const auto writePassLine = [&] {
            m_host.logLine(QStringLiteral("%1: %2 new record(s).").arg(passName(pass)).arg(count));
        };
        try {
            for (const racr::Track& track : tracks) {
                const QString url = racr::leaderboardsUrl(
                    m_inputs.serviceBase,
                    {m_inputs.drivers, pass, m_inputs.periodType, track.eventId, m_inputs.periodValue, m_inputs.shard});
                m_host.runRequest([&] { racr::fetch(request, document, QStringLiteral("POST"), url); });
                // An answer without records (an error page included) adds nothing and is no error.
                const int records = racr::leaderboardRecordCount(document);
                table.begin();
                for (int i = 0; i < records; ++i) {
                    if (table.add(racr::readLeaderboardRecord(document, i), m_inputs.shard, track)) {
                        ++count;
                        ++m_stored;
                    }
                }
                table.commit();
                m_host.stepGauge();
                m_host.processPendingEvents();
                if (m_host.cancelRequested()) {
                    writePassLine();
                    return Outcome::Cancelled;
                }
            }
        } catch (...) {
            table.keepStored();
            writePassLine();
            throw;
        }
        writePassLine();
    }
    m_host.logLine(importjob::runningTimeLine(startTick, importjob::tickCount()));
    m_host.logLine(QStringLiteral("Finished!"));
    return Outcome::Finished;
}
