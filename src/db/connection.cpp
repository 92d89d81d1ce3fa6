#include "db/connection.h"

#include "common/error.h"
#include "db/sqlerrortext.h"
#include "common/settings.h"
#include "db/pgconnect.h"
#include "db/postgresschema.h"
#include "db/schema.h"
#include "db/writetransaction.h"

#include <QDir>
#include <QFileInfo>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>

namespace {

// unixODBC's connect ignores FILEDSN and Qt rewrites names holding ".dsn", so the keys of the
// data-source file are handed over as a driver connection string instead.
QString odbcConnectionString(const QList<QPair<QString, QString>>& keys)
{
    QString result;
    for (const auto& [key, value] : keys) {
        // Braces only where the value needs them: some drivers (SQLite's) keep them as part of a
        // file name.
        const bool needsBraces = key.compare(QLatin1String("DRIVER"), Qt::CaseInsensitive) == 0
            || value.contains(';') || value.startsWith('{') || value != value.trimmed();
        if (needsBraces) {
            QString braced = value;
            braced.replace('}', QStringLiteral("}}"));
            result += key + QStringLiteral("={") + braced + QStringLiteral("};");
        } else {
            result += key + '=' + value + ';';
        }
    }
    return result;
}

bool namesDriver(const QList<QPair<QString, QString>>& keys)
{
    for (const auto& [key, value] : keys)
        if (key.compare(QLatin1String("DRIVER"), Qt::CaseInsensitive) == 0 && !value.trimmed().isEmpty())
            return true;
    return false;
}

// unixODBC copies the DRIVER value into a buffer of 1,000 bytes without a check, and glibc then
// ends the program; other values go on to drivers with fixed buffers of their own. So no value
// longer than that is handed over.
constexpr qsizetype maxDataSourceValueBytes = 1000;

void checkDataSourceValues(const QList<QPair<QString, QString>>& keys, const QString& dsnPath)
{
    for (const auto& [key, value] : keys)
        if (value.toUtf8().size() > maxDataSourceValueBytes)
            throw racr::EngineError(
                QStringLiteral("The value of %1 in %2 is too long: the ODBC driver manager takes at most %3 bytes. "
                               "Shorten it, then start again.")
                    .arg(key, QDir::toNativeSeparators(dsnPath))
                    .arg(maxDataSourceValueBytes));
}

void exec(QSqlDatabase& db, const QString& sql)
{
    QSqlQuery query(db);
    if (!query.exec(sql))
        throw racr::EngineError(sqlErrorText(query.lastError()));
}

// An earlier build's file gets the indexes that let the first statement's rows come in order
// without a sort, once. Only speed depends on them: a file another program keeps locked, or that
// refuses, opens as it is and is asked again at the next start.
void upgradeOrderIndexes(QSqlDatabase& db, const QString& file)
{
    try {
        if (!schema::canUpgradeOrderIndexes(db))
            return;
        racr::WriteTransaction transaction(db, QStringLiteral("Indexing the results of %1").arg(file));
        if (schema::canUpgradeOrderIndexes(db))
            schema::upgradeOrderIndexes(db);
        transaction.commit();
    } catch (const racr::Error&) {
    }
}

// Gives a file without tables the schema, and saved queries an earlier build wrote their current
// form. Nothing is written to a file that needs neither, so an ordinary start takes no lock.
void prepare(QSqlDatabase& db, const QString& path)
{
    const QString file = QFileInfo(path).fileName();
    bool empty = false;
    try {
        empty = schema::isEmpty(db);
    } catch (const racr::EngineError& error) {   // not a database, or locked for too long
        throw racr::EngineError(error.message() + QStringLiteral(": ") + path);
    }
    if (empty) {
        // A file of our own: write-ahead logging makes the imports' many small commits cheap. The
        // journal mode cannot change inside a transaction, so it is set first; a second first start
        // racing with this one sets the same mode or finds it set. It only costs speed if it fails.
        QSqlQuery(db).exec(QStringLiteral("PRAGMA journal_mode=WAL"));
        // The check is made again under the write lock: another first start may have made the
        // tables meanwhile, and then they are simply used.
        racr::WriteTransaction transaction(db, QStringLiteral("Creating the tables of %1").arg(file));
        if (schema::isEmpty(db))
            schema::create(db);
        transaction.commit();
    } else if (schema::hasProgramTables(db) && QFileInfo(path).isWritable()) {
        // A file that cannot be written keeps its views and indexes; it opens as before.
        if (schema::hasOutdatedViews(db)) {
            racr::WriteTransaction transaction(db, QStringLiteral("Updating the saved queries of %1").arg(file));
            schema::upgradeViews(db);
            transaction.commit();
        }
        upgradeOrderIndexes(db, file);
    }
}

// Only words for a failure to come: a catalogue that cannot be read leaves them out.
QString layoutGapsNote(const QSqlDatabase& db, const QString& path)
{
    QStringList gaps;
    try {
        gaps = schema::layoutGaps(db);
    } catch (const racr::Error&) {
        return {};
    }
    if (gaps.isEmpty())
        return {};
    const QFileInfo file(path);
    const QString old = file.completeBaseName() + QStringLiteral("-old.") + file.suffix();
    return QStringLiteral("%1 has an older or foreign layout: it lacks %2, which the program's statements use. "
                          "To bring its results in, rename it (to %3, say), start the program again so that it "
                          "makes a new %1, and merge the old file with Export & Import > Import from old "
                          "database, or racr merge %3.")
        .arg(file.fileName(), gaps.join(QStringLiteral(", ")), old);
}

} // namespace

Connection::Connection(const QString& dsnPath, const QString& databasePath, QObject* parent)
    : QObject(parent)
    , m_dsnPath(dsnPath)
    , m_databasePath(databasePath)
    , m_connectionName(QStringLiteral("racr-%1").arg(reinterpret_cast<quintptr>(this)))
{
    setObjectName(QStringLiteral("databaseConnection"));
}

Connection::~Connection()
{
    if (m_finishHold)
        m_dropHold();
    {
        QSqlDatabase db = QSqlDatabase::database(m_connectionName, false);
        if (db.isValid())
            db.close();
    }
    QSqlDatabase::removeDatabase(m_connectionName);
}

QSqlDatabase Connection::database() const
{
    settleHold();
    return QSqlDatabase::database(m_connectionName, false);
}

std::unique_ptr<Connection::Hold> Connection::hold(std::function<void()> finish, std::function<void()> drop)
{
    m_finishHold = std::move(finish);
    m_dropHold = std::move(drop);
    return std::unique_ptr<Hold>(new Hold(*this, ++m_holdId));
}

Connection::Hold::~Hold()
{
    if (m_connection.m_holdId != m_id)
        return;
    m_connection.m_finishHold = nullptr;
    m_connection.m_dropHold = nullptr;
}

void Connection::settleHold() const
{
    if (!m_finishHold || m_settling)
        return;
    m_settling = true;
    try {
        const std::function<void()> finish = m_finishHold;
        finish();
    } catch (...) {
        m_settling = false;
        throw;
    }
    m_settling = false;
}

bool Connection::isOpen() const
{
    return QSqlDatabase::database(m_connectionName, false).isOpen();
}

void Connection::open()
{
    settleHold();
    if (QSqlDatabase::contains(m_connectionName)) {
        QSqlDatabase::database(m_connectionName, false).close();
        QSqlDatabase::removeDatabase(m_connectionName);
    }
    m_serverName.clear();
    m_layoutNote.clear();
    const QFileInfo dsnFile(m_dsnPath);
    // A server database named in racr.ini (beside connection.dsn) or on the command line takes the
    // place of the others.
    if (const QString uri = settings::databaseUri(dsnFile.absolutePath() + QStringLiteral("/racr.ini")); !uri.isEmpty()) {
        openPostgres(uri);
        Q_EMIT connected();
        return;
    }
    // Only a regular file is read (a FIFO would not answer), and what stands there instead is not
    // passed over in silence: the program would quietly use another database.
    if (dsnFile.exists() && !dsnFile.isFile())
        throw racr::EngineError(
            QStringLiteral("%1 is not a regular file, so the data source cannot be read from it. "
                           "Remove or rename it, then start again.")
                .arg(QDir::toNativeSeparators(m_dsnPath)));
    const auto keys = settings::dataSourceKeys(m_dsnPath);
    m_engine = namesDriver(keys) ? Engine::Odbc : Engine::Sqlite;

    if (m_engine == Engine::Odbc) {
        checkDataSourceValues(keys, m_dsnPath);
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QODBC"), m_connectionName);
        db.setDatabaseName(odbcConnectionString(keys));
        if (!db.open())
            throw racr::EngineError(sqlErrorText(db.lastError()));
    } else {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), m_connectionName);
        // Another program's lock (an import of a second copy, the sqlite3 shell) is waited for.
        db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=%1").arg(racr::kBusyTimeoutMs));
        db.setDatabaseName(m_databasePath);
        if (!db.open())
            throw racr::EngineError(sqlErrorText(db.lastError()) + QStringLiteral(": ") + m_databasePath);
        try {
            // The file is never removed on failure: it may hold another program's rows.
            prepare(db, m_databasePath);
            // Connection-level only: an existing file is opened as it is and never altered.
            exec(db, QStringLiteral("PRAGMA synchronous=NORMAL"));
            m_layoutNote = layoutGapsNote(db, m_databasePath);
        } catch (...) {
            db.close();
            throw;
        }
    }
    Q_EMIT connected();
}

void Connection::openPostgres(const QString& uri)
{
    m_engine = Engine::Postgres;
    const pg::Target target = pg::parseUri(uri);
    if (!QSqlDatabase::isDriverAvailable(QStringLiteral("QPSQL")))
        throw racr::EngineError(QStringLiteral("Qt's PostgreSQL driver (QPSQL) is not installed, so %1 cannot be "
                                                 "opened. Install the package libqt6sql6-psql, then start again.")
                                      .arg(pg::displayName(target)));
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), m_connectionName);
    pg::open(db, target);
    try {
        pgschema::prepare(db);
    } catch (...) {
        db.close();
        throw;
    }
    m_serverName = QStringLiteral("PostgreSQL ") + pg::displayName(target);
}

void Connection::ensureOpen()
{
    if (!isOpen())
        open();
}

QStringList Connection::tableNames()
{
    ensureOpen();
    QStringList names;
    const QStringList all = database().tables(QSql::Tables);
    for (const QString& name : all)
        if (!name.startsWith(QLatin1String("sqlite_"), Qt::CaseInsensitive))
            names.append(name);
    return names;
}

QStringList Connection::viewNames()
{
    ensureOpen();
    return database().tables(QSql::Views);
}

QStringList Connection::fieldNames(const QString& table)
{
    ensureOpen();
    const QSqlRecord record = database().record(table);
    QStringList names;
    for (int i = 0; i < record.count(); ++i)
        names.append(record.fieldName(i));
    return names;
}
