#include "import/driverimport.h"

#include "common/error.h"
#include "db/asynccommits.h"
#include "db/connection.h"
#include "db/openresult.h"
#include "common/drivernames.h"
#include "import/jobsupport.h"
#include "db/writetransaction.h"
#include "webservice/answercheck.h"
#include "webservice/endpoints.h"
#include "webservice/parallelfetch.h"
#include "webservice/readers.h"
#include "webservice/xmldocument.h"

#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <array>

namespace {

// The columns of DRIVERS after drivername, in the order every statement lists them.
const char* const kValueColumns[] = {
    "driverlevel", "statusmessage", "image", "drivershard", "tot_race_won", "tot_race_lost", "tot_avg_place",
    "sp_race_won", "sp_race_lost", "sp_avg_place", "mp_race_won", "mp_race_lost", "mp_avg_place",
    "sp_bestwinstreak", "mp_bestwinstreak", "car_count",
};
constexpr int kValueCount = int(std::size(kValueColumns));

// One driver as stored: the name the service spells, then the values in column order.
struct DriverRow {
    QString name;
    std::array<QVariant, kValueCount> values;
};

QString insertStatement()
{
    QString columns = QStringLiteral("drivername");
    QString markers = QStringLiteral("?");
    for (const char* column : kValueColumns) {
        columns += QLatin1Char(',') + QLatin1String(column);
        markers += QStringLiteral(",?");
    }
    return QStringLiteral("INSERT INTO DRIVERS (%1) VALUES (%2)").arg(columns, markers);
}

QString updateStatement()
{
    QStringList assignments;
    for (const char* column : kValueColumns)
        assignments.append(QLatin1String(column) + QStringLiteral("=?"));
    return QStringLiteral("UPDATE DRIVERS SET %1 where drivername=?").arg(assignments.join(QLatin1Char(',')));
}

// PostgreSQL's form of the insert-or-update: one statement, so members importing the same
// driver at the same moment cannot both insert it. It tells whether the row was new (a row just
// inserted has no deleting transaction, xmax 0).
QString upsertStatement()
{
    QStringList assignments;
    for (const char* column : kValueColumns)
        assignments.append(QLatin1String(column) + QStringLiteral("=EXCLUDED.") + QLatin1String(column));
    return insertStatement() + QStringLiteral(" ON CONFLICT (drivername) DO UPDATE SET %1 RETURNING xmax = 0")
                                   .arg(assignments.join(QLatin1Char(',')));
}

// Table DRIVERS as the import writes it, with every value bound. Statements are prepared when the
// first driver gets this far.
class DriverTable {
public:
    explicit DriverTable(const QSqlDatabase& db)
        : m_db(db), m_exists(db), m_insert(db), m_update(db), m_upsert(db.driverName() == QLatin1String("QPSQL"))
    {
    }

    enum class Written { Inserted, Updated, Nothing };

    // The look-up and the write are one transaction that holds the write lock from its start, so
    // another program writing at the same time is waited for instead of failing the driver.
    Written write(const DriverRow& row)
    {
        prepare();
        racr::WriteTransaction transaction(m_db, QStringLiteral("Storing the driver in table DRIVERS"));
        if (m_upsert)
            return upsert(row, transaction);
        m_exists.bindValue(0, importjob::serviceText(row.name));
        if (!m_exists.exec() || !m_exists.next())
            importjob::failStatement(m_db, QStringLiteral("Looking up the driver in table DRIVERS"), m_exists.lastError());
        const bool stored = m_exists.value(0).toLongLong() != 0;
        m_exists.finish();

        QSqlQuery& statement = stored ? m_update : m_insert;
        int at = 0;
        if (!stored)
            statement.bindValue(at++, importjob::serviceText(row.name));
        for (const QVariant& value : row.values)
            statement.bindValue(at++, value);
        if (stored)
            statement.bindValue(at, importjob::serviceText(row.name));
        if (!statement.exec())
            importjob::failStatement(m_db,
                                     stored ? QStringLiteral("Updating the driver in table DRIVERS")
                                            : QStringLiteral("Adding the driver to table DRIVERS"),
                                     statement.lastError());
        const int affected = statement.numRowsAffected();
        transaction.commit();
        if (affected <= 0)
            return Written::Nothing;
        return stored ? Written::Updated : Written::Inserted;
    }

private:
    Written upsert(const DriverRow& row, racr::WriteTransaction& transaction)
    {
        m_insert.bindValue(0, importjob::serviceText(row.name));
        int at = 1;
        for (const QVariant& value : row.values)
            m_insert.bindValue(at++, value);
        if (!m_insert.exec() || !m_insert.next())
            importjob::failStatement(m_db, QStringLiteral("Adding the driver to table DRIVERS"), m_insert.lastError());
        const bool inserted = m_insert.value(0).toBool();
        m_insert.finish();
        transaction.commit();
        return inserted ? Written::Inserted : Written::Updated;
    }

    void prepare()
    {
        if (m_prepared)
            return;
        if (m_upsert) {
            if (!m_insert.prepare(upsertStatement()))
                importjob::failStatement(m_db, QStringLiteral("Adding the driver to table DRIVERS"), m_insert.lastError());
            m_prepared = true;
            return;
        }
        if (!m_exists.prepare(QStringLiteral("select count(*) from DRIVERS where drivername=?")))
            importjob::failStatement(m_db, QStringLiteral("Looking up the driver in table DRIVERS"), m_exists.lastError());
        if (!m_insert.prepare(insertStatement()))
            importjob::failStatement(m_db, QStringLiteral("Adding the driver to table DRIVERS"), m_insert.lastError());
        if (!m_update.prepare(updateStatement()))
            importjob::failStatement(m_db, QStringLiteral("Updating the driver in table DRIVERS"), m_update.lastError());
        m_prepared = true;
    }

    QSqlDatabase m_db;
    QSqlQuery m_exists;
    QSqlQuery m_insert;
    QSqlQuery m_update;
    bool m_upsert;   // PostgreSQL: m_insert inserts or updates
    bool m_prepared = false;
};

// The resource as a driver's failure line names it.
QString resourceName(racr::DriverResource resource)
{
    switch (resource) {
    case racr::DriverResource::Profile:
        return QStringLiteral("profile");
    case racr::DriverResource::Stats:
        return QStringLiteral("stats");
    case racr::DriverResource::Cars:
        return QStringLiteral("cars");
    default:
        return QStringLiteral("driver");
    }
}

QVariant number(const QString& text, const char* attribute)
{
    return importjob::serviceNumber(text, QLatin1String(attribute));
}

// The row is keyed by the service's spelling of the name, not by the name as listed.
DriverRow driverRow(const racr::DriverProfile& profile, const racr::EventStats& stats,
                    const racr::StreakStats& streaks, int cars, const QString& shard)
{
    using importjob::serviceText;
    return {profile.name,
            {number(profile.level, "level"), serviceText(profile.statusMessage), number(profile.image, "image"),
             serviceText(shard), number(stats.totalRacesWon, "totalRacesWon"),
             number(stats.totalRacesLost, "totalRacesLost"),
             number(stats.averageFinishingPlace, "averageFinishingPlace"),
             number(stats.singlePlayerRacesWon, "singlePlayerRacesWon"),
             number(stats.singlePlayerRacesLost, "singlePlayerRacesLost"),
             number(stats.singlePlayerAverageFinishingPlace, "singlePlayerAverageFinishingPlace"),
             number(stats.multiPlayerRacesWon, "multiPlayerRacesWon"),
             number(stats.multiPlayerRacesLost, "multiPlayerRacesLost"),
             number(stats.multiPlayerAverageFinishingPlace, "multiPlayerAverageFinishingPlace"),
             number(streaks.bestSinglePlayerWinStreak, "bestSinglePlayerWinStreak"),
             number(streaks.bestMultiPlayerWinStreak, "bestMultiPlayerWinStreak"), cars}};
}

// Whether a profile answer names a driver, read as the import reads it; only then are the
// driver's stats and cars worth asking for.
bool isReadableProfile(const racr::FetchAnswer& answer)
{
    racr::XmlDocument document;
    document.load(answer.body);
    if (!racr::answerProblem(answer.status, document).isEmpty())
        return false;
    racr::readProfile(document);   // throws when the element or one of its values is missing
    return true;
}

} // namespace

DriverImport::DriverImport(const ImportInputs& inputs, OpenResult& query, JobHost& host)
    : m_inputs(inputs), m_query(query), m_host(host)
{
}

DriverImport::Outcome DriverImport::run()
{
    const quint32 startTick = importjob::tickCount();
    racr::XmlDocument document;
    const QSqlDatabase db = m_query.connection().database();
    const AsyncCommits commits(db);
    DriverTable table(db);
    const QStringList names = splitDriverNames(m_inputs.drivers);
    m_host.setGaugeMaximum(int(names.size()));

    // The three requests of every driver, in list order; several drivers are under way at once,
    // and the answers still come in this order. Stats and cars are asked for only once the
    // driver's profile has come and names a driver: an unknown name costs one request.
    constexpr racr::DriverResource kResources[] = {racr::DriverResource::Profile, racr::DriverResource::Stats,
                                                   racr::DriverResource::Cars};
    QList<racr::FetchRequest> requests;
    for (const QString& name : names) {
        const int profile = int(requests.size());
        for (const racr::DriverResource resource : kResources)
            requests.append({QStringLiteral("GET"), racr::driverUrl(m_inputs.serviceBase, resource, name, m_inputs.shard),
                             resource == racr::DriverResource::Profile ? -1 : profile});
    }
    racr::ParallelFetch fetch(requests, m_inputs.parallel, m_host.abortFlag(),
                              racr::ParallelFetch::AfterNoAnswer::KeepGoing, isReadableProfile);

    // Every answer of a driver is taken, also after a failed one (a request never sent is
    // answered at once), so the next driver starts with its own.
    std::array<racr::FetchAnswer, std::size(kResources)> answers;
    std::size_t taken = 0;
    const auto load = [&](std::size_t which) {
        m_host.runRequest([&] { answers[which] = fetch.next(); });
        taken = which + 1;
        const racr::FetchAnswer& answer = answers[which];
        if (answer.failure)
            std::rethrow_exception(answer.failure);
        document.load(answer.body);
        // An error page is never read as the driver's numbers, whatever elements it holds.
        const QString problem = racr::answerProblem(answer.status, document);
        if (!problem.isEmpty())
            throw racr::ServiceError(QStringLiteral("The statistics service's %1 answer is not a driver document (%2).")
                                         .arg(resourceName(kResources[which]), problem));
    };
    const auto takeTheRest = [&] {
        for (; taken < answers.size(); ++taken)
            m_host.runRequest([&] { answers[taken] = fetch.next(); });
    };

    // A service that does not answer at all would cost every remaining driver its time-outs.
    constexpr int kSilentDriversToGiveUp = 3;
    int silentInARow = 0;

    for (const QString& listed : names) {
        taken = 0;
        try {
            load(0);
            const racr::DriverProfile profile = racr::readProfile(document);
            load(1);
            const racr::EventStats stats = racr::readEventStats(document);
            const racr::StreakStats streaks = racr::readStreakStats(document);
            load(2);
            const int cars = racr::carCount(document);

            const DriverRow row = driverRow(profile, stats, streaks, cars, m_inputs.shard);
            switch (table.write(row)) {
            case DriverTable::Written::Inserted:
                ++m_new;
                break;
            case DriverTable::Written::Updated:
                ++m_updated;
                break;
            case DriverTable::Written::Nothing:
                break;
            }
            silentInARow = 0;
            m_host.stepGauge();
        } catch (const racr::Cancelled&) {
            // Stopped while a request was under way: the driver in progress is not stored.
            return Outcome::Cancelled;
        } catch (const racr::StorageError&) {
            // A locked, damaged or full database fails every driver alike: the run ends here.
            throw;
        } catch (const racr::Error& error) {
            // The failed name is named in the log; the gauge shows that not everything went well.
            failDriver(listed, error.message());
            try {
                takeTheRest();
            } catch (const racr::Cancelled&) {
                return Outcome::Cancelled;
            }
            silentInARow = dynamic_cast<const racr::NoAnswerError*>(&error) ? silentInARow + 1 : 0;
            if (silentInARow == kSilentDriversToGiveUp)
                throw racr::NoAnswerError(
                    QStringLiteral("The statistics service did not answer for %1 drivers in a row, so the import "
                                   "stopped. The last reason: %2")
                        .arg(kSilentDriversToGiveUp)
                        .arg(error.message()));
        }
        // Also after a failed driver: a service that fails every request must not keep the user
        // from stopping the run.
        m_host.processPendingEvents();
        if (m_host.cancelRequested())
            return Outcome::Cancelled;
    }

    m_host.logLine(QString::number(m_new) + QStringLiteral(" new driver(s)."));
    m_host.logLine(QString::number(m_updated) + QStringLiteral(" updated driver(s)."));
    m_host.logLine(importjob::runningTimeLine(startTick, importjob::tickCount()));
    m_host.logLine(QStringLiteral("Finished!"));
    return Outcome::Finished;
}

void DriverImport::failDriver(const QString& listed, const QString& reason)
{
    ++m_failed;
    m_host.setGaugePosition(m_host.gaugeMaximum());
    m_host.logLine(listed + QStringLiteral(": ") + reason);
}
