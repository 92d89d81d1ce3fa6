#include "db/oldmerge.h"

#include "common/error.h"
#include "db/sqlerrortext.h"
#include "db/connection.h"
#include "db/openresult.h"
#include "db/writetransaction.h"

#include <QDir>
#include <QFileInfo>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>

#include <algorithm>
#include <map>

namespace {

// A table as the merge copies it: the columns in the order the program writes them, and those of
// them that tell whether a row is already present.
struct Table {
    QString name;
    QStringList columns;
    QStringList keys;
};

const Table& resultsTable()
{
    static const Table table{
        QStringLiteral("RACR"),
        {"driver", "car", "date", "trackid", "multiplayer", "besttime", "shard"},
        {"driver", "shard", "trackid", "date", "multiplayer", "besttime"},
    };
    return table;
}

const Table& driversTable()
{
    static const Table table{
        QStringLiteral("DRIVERS"),
        {"drivername", "driverlevel", "statusmessage", "image", "drivershard", "tot_race_won", "tot_race_lost",
         "tot_avg_place", "sp_race_won", "sp_race_lost", "sp_avg_place", "mp_race_won", "mp_race_lost",
         "mp_avg_place", "sp_bestwinstreak", "mp_bestwinstreak", "car_count"},
        {"drivername"},
    };
    return table;
}

// A column name as the engine quotes it: "date" is a keyword to some.
QString column(const QSqlDatabase& db, const QString& name)
{
    return db.driver()->escapeIdentifier(name, QSqlDriver::FieldName);
}

QString selectStatement(const QSqlDatabase& db, const Table& table)
{
    QStringList names;
    for (const QString& name : table.columns)
        names.append(column(db, name));
    return QStringLiteral("SELECT %1 FROM %2").arg(names.join(QLatin1Char(',')), table.name);
}

QString insertStatement(const QSqlDatabase& db, const Table& table)
{
    QStringList names;
    for (const QString& name : table.columns)
        names.append(column(db, name));
    const QStringList marks(table.columns.size(), QStringLiteral("?"));
    QString sql = QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)")
                      .arg(table.name, names.join(QLatin1Char(',')), marks.join(QLatin1Char(',')));
    // A shared server database takes other members' imports while the merge runs: a row one of
    // them adds after the presence check is skipped by the unique index instead of failing the
    // whole merge.
    if (db.driverName() == QLatin1String("QPSQL"))
        sql += QStringLiteral(" ON CONFLICT DO NOTHING");
    return sql;
}

[[noreturn]] void fail(const QSqlDatabase& db, const QString& action, const QSqlQuery& query)
{
    racr::throwWriteFailure(db, action, query.lastError());
}

// Whether the current table already holds a row like the one offered. A NULL matches a NULL, so
// each pattern of NULL duplicate-check values gets a statement of its own, comparing with "=" or
// "IS NULL": every engine takes both and looks them up in the unique index on all its columns.
// A null-safe comparison is spelled differently by each engine, and the portable
// "(c = ? OR (c IS NULL AND ? IS NULL))" lets SQLite use the index's first column only.
// A table shows few patterns, so the statements are prepared once each.
class PresenceCheck {
public:
    PresenceCheck(const QSqlDatabase& db, const Table& table, const QString& action)
        : m_db(db), m_table(table), m_action(action)
    {
        for (const QString& key : table.keys)
            m_keys.append(int(table.columns.indexOf(key)));
    }

    bool holds(const QVariantList& row)
    {
        unsigned nulls = 0;
        for (qsizetype i = 0; i < m_keys.size(); ++i)
            if (row[m_keys[i]].isNull())
                nulls |= 1u << i;
        auto [at, fresh] = m_queries.try_emplace(nulls, m_db);
        QSqlQuery& query = at->second;
        if (fresh) {
            query.setForwardOnly(true);
            if (!query.prepare(statement(nulls)))
                fail(m_db, m_action, query);
        }
        int bound = 0;
        for (qsizetype i = 0; i < m_keys.size(); ++i)
            if (!(nulls & (1u << i)))
                query.bindValue(bound++, row[m_keys[i]]);
        if (!query.exec())
            fail(m_db, m_action, query);
        const bool found = query.next();
        query.finish();
        return found;
    }

private:
    QString statement(unsigned nulls) const
    {
        QStringList terms;
        for (qsizetype i = 0; i < m_keys.size(); ++i)
            terms.append(column(m_db, m_table.keys[i])
                         + ((nulls & (1u << i)) ? QStringLiteral(" IS NULL") : QStringLiteral(" = ?")));
        return QStringLiteral("SELECT 1 FROM %1 WHERE %2").arg(m_table.name, terms.join(QStringLiteral(" AND ")));
    }

    QSqlDatabase m_db;
    const Table& m_table;
    QString m_action;
    QList<int> m_keys;   // positions of the duplicate-check columns in a row
    std::map<unsigned, QSqlQuery> m_queries;
};

// Copies the rows of `table` that `to` does not hold yet, in one transaction; returns how many
// were added.
int copy(const QSqlDatabase& from, const QSqlDatabase& to, const Table& table, const QString& action)
{
    QSqlQuery read(from);
    read.setForwardOnly(true);
    if (!read.exec(selectStatement(from, table)))
        fail(from, action, read);
    // A missing column is looked for as well: SQLite takes a quoted name it does not know for a
    // text constant, and would copy that text.
    const QSqlRecord record = from.record(table.name);
    QStringList missing;
    for (const QString& name : table.columns)
        if (record.indexOf(name) < 0)
            missing.append(name);
    if (!missing.isEmpty())
        throw racr::EngineError(QStringLiteral("%1 failed: its %2 table lacks the column(s) %3.")
                                      .arg(action, table.name, missing.join(QStringLiteral(", "))));

    racr::WriteTransaction transaction(to, action);
    PresenceCheck present(to, table, action);
    QSqlQuery insert(to);
    if (!insert.prepare(insertStatement(to, table)))
        fail(to, action, insert);
    int added = 0;
    const int columns = int(table.columns.size());
    QVariantList row(columns);
    while (read.next()) {
        for (int i = 0; i < columns; ++i)
            row[i] = read.value(i);
        if (present.holds(row))
            continue;
        for (int i = 0; i < columns; ++i)
            insert.bindValue(i, row[i]);
        if (!insert.exec())
            fail(to, action, insert);
        if (insert.numRowsAffected() > 0)
            ++added;
    }
    // A read that stopped on an error (a damaged page) has not reached the end of the table.
    if (read.lastError().isValid())
        fail(from, action, read);
    read.finish();
    transaction.commit();
    return added;
}

// The current ODBC connection's keys with the old file in place of the database file: the keys
// that name it (DBQ, as Access drivers read it, and Database, as SQLite's does) are replaced, and
// DBQ is added when there is neither. Values keep their braces; braces are added where a value
// needs them, as the program's own connection does.
QString odbcPointedAt(const QString& connectionString, const QString& path)
{
    QString braced = path;
    braced.replace(QLatin1Char('}'), QStringLiteral("}}"));
    const bool needsBraces = path.contains(QLatin1Char(';')) || path.startsWith(QLatin1Char('{')) || path != path.trimmed();
    const QString value = needsBraces ? QLatin1Char('{') + braced + QLatin1Char('}') : path;

    QString result;
    bool replaced = false;
    const QString& s = connectionString;
    qsizetype at = 0;
    while (at < s.size()) {
        const qsizetype equals = s.indexOf(QLatin1Char('='), at);
        if (equals < 0)
            break;
        const QString key = s.mid(at, equals - at).trimmed();
        qsizetype end = equals + 1;
        if (end < s.size() && s[end] == QLatin1Char('{')) {
            // A braced value runs to the first single closing brace; "}}" is a brace inside it.
            for (++end; end < s.size(); ++end) {
                if (s[end] != QLatin1Char('}'))
                    continue;
                if (end + 1 < s.size() && s[end + 1] == QLatin1Char('}'))
                    ++end;
                else
                    break;
            }
        }
        end = s.indexOf(QLatin1Char(';'), end);
        if (end < 0)
            end = s.size();
        if (key.compare(QLatin1String("DBQ"), Qt::CaseInsensitive) == 0
            || key.compare(QLatin1String("Database"), Qt::CaseInsensitive) == 0) {
            result += key + QLatin1Char('=') + value + QLatin1Char(';');
            replaced = true;
        } else if (!key.isEmpty()) {
            result += s.mid(at, end - at).trimmed() + QLatin1Char(';');
        }
        at = end + 1;
    }
    if (!replaced)
        result += QStringLiteral("DBQ=") + value + QLatin1Char(';');
    return result;
}

// The old file on a connection of its own, for reading.
// Whether SQLite takes the file for a database, asked of SQLite itself on the connection `name`,
// which stays open when it does. Reading the header here instead would open a second descriptor
// of a file SQLite may hold (the open database, an attached one), and closing it would drop
// SQLite's locks on it.
bool readsAsSqlite(const QString& path, const QString& name)
{
    // An empty file would read as an empty database; it holds no results either way.
    if (QFileInfo(path).size() == 0)
        return false;
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
    db.setDatabaseName(path);
    // Never changed, and a lock held by a program writing it is waited for as our own.
    db.setConnectOptions(QStringLiteral("QSQLITE_OPEN_READONLY;QSQLITE_BUSY_TIMEOUT=%1").arg(racr::kBusyTimeoutMs));
    bool sqlite = false;
    QString failure;
    if (db.open()) {
        QSqlQuery probe(db);
        sqlite = probe.exec(QStringLiteral("SELECT count(*) FROM sqlite_master"));
        // SQLITE_NOTADB: another kind of file; anything else (a lock held too long, a damaged
        // file) is SQLite's to tell.
        if (!sqlite && probe.lastError().nativeErrorCode() != QLatin1String("26"))
            failure = sqlErrorText(probe.lastError());
    } else {
        failure = sqlErrorText(db.lastError());
    }
    if (sqlite)
        return true;
    db.close();
    db = QSqlDatabase();
    QSqlDatabase::removeDatabase(name);
    if (!failure.isEmpty())
        throw racr::EngineError(QStringLiteral("Cannot open %1: %2").arg(QDir::toNativeSeparators(path), failure));
    return false;
}

class OldFile {
public:
    OldFile(const QString& path, const QSqlDatabase& current);
    ~OldFile();
    OldFile(const OldFile&) = delete;
    OldFile& operator=(const OldFile&) = delete;

    QSqlDatabase database() const { return QSqlDatabase::database(m_name, false); }
    bool holds(const QString& table) const;

private:
    QString m_name;
};

OldFile::OldFile(const QString& path, const QSqlDatabase& current)
    : m_name(QStringLiteral("racr-old-%1").arg(reinterpret_cast<quintptr>(this)))
{
    const QString file = QDir::toNativeSeparators(path);
    // Opening a missing file could create an empty database in its place.
    if (!QFileInfo(path).isFile())
        throw racr::Error(QStringLiteral("Cannot open %1: there is no such file.").arg(file));
    QSqlDatabase db;
    if (readsAsSqlite(path, m_name)) {
        db = QSqlDatabase::database(m_name, false);
    } else if (current.driverName() == QLatin1String("QODBC")) {
        db = QSqlDatabase::addDatabase(QStringLiteral("QODBC"), m_name);
        db.setDatabaseName(odbcPointedAt(current.databaseName(), path));
        db.setConnectOptions(QStringLiteral("SQL_ATTR_ACCESS_MODE=SQL_MODE_READ_ONLY"));
    } else {
        throw racr::Error(QStringLiteral("Cannot open %1: it is not an SQLite database.").arg(file));
    }
    if (!db.isOpen() && !db.open()) {
        const QString why = sqlErrorText(db.lastError());
        db = QSqlDatabase();
        QSqlDatabase::removeDatabase(m_name);
        throw racr::EngineError(QStringLiteral("Cannot open %1: %2").arg(file, why));
    }
}

OldFile::~OldFile()
{
    database().close();
    QSqlDatabase::removeDatabase(m_name);
}

bool OldFile::holds(const QString& table) const
{
    const QSqlDatabase db = database();
    const QStringList names = db.tables(QSql::Tables) + db.tables(QSql::Views);
    return std::any_of(names.begin(), names.end(),
                       [&](const QString& name) { return name.compare(table, Qt::CaseInsensitive) == 0; });
}

} // namespace

void mergeOldDatabase(OpenResult& openResult, const QString& path, const std::function<void(const QString&)>& report)
{
    Connection& connection = openResult.connection();
    if (!connection.isOpen())
        connection.open();
    const QSqlDatabase current = connection.database();
    const OldFile old(path, current);
    const QString file = QDir::toNativeSeparators(path);

    openResult.setText(insertStatement(current, resultsTable()));   // closes the open result
    const int results = copy(old.database(), current, resultsTable(), QStringLiteral("Merging the results of %1").arg(file));
    report(QStringLiteral("Operation affected %1 row(s) in RACR table").arg(results));

    openResult.close();
    openResult.setText(insertStatement(current, driversTable()));
    // Older files hold results only.
    if (!old.holds(driversTable().name))
        return;
    const int drivers = copy(old.database(), current, driversTable(),
                             QStringLiteral("Merging the driver rows of %1").arg(file));
    report(QStringLiteral("Operation affected %1 row(s) in DRIVERS table").arg(drivers));
}
