#include "connection.h"

#include "app/error.h"
#include "app/settings.h"
#include "schema.h"

#include <QFile>
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

void exec(QSqlDatabase& db, const QString& sql)
{
    QSqlQuery query(db);
    if (!query.exec(sql))
        throw racr::ProviderError(query.lastError().text());
}

} // namespace

Connection::Connection(const QString& dsnPath, const QString& databasePath, QObject* parent)
    : QObject(parent)
    , m_dsnPath(dsnPath)
    , m_databasePath(databasePath)
    , m_connectionName(QStringLiteral("racr-%1").arg(reinterpret_cast<quintptr>(this)))
{
    setObjectName(QStringLiteral("ADOConnection1"));
}

Connection::~Connection()
{
    {
        QSqlDatabase db = QSqlDatabase::database(m_connectionName, false);
        if (db.isValid())
            db.close();
    }
    QSqlDatabase::removeDatabase(m_connectionName);
}

QSqlDatabase Connection::database() const
{
    return QSqlDatabase::database(m_connectionName, false);
}

bool Connection::isOpen() const
{
    return database().isOpen();
}

void Connection::open()
{
    if (QSqlDatabase::contains(m_connectionName)) {
        QSqlDatabase::database(m_connectionName, false).close();
        QSqlDatabase::removeDatabase(m_connectionName);
    }
    const auto keys = settings::dataSourceKeys(m_dsnPath);
    m_engine = namesDriver(keys) ? Engine::Odbc : Engine::Sqlite;

    if (m_engine == Engine::Odbc) {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QODBC"), m_connectionName);
        db.setDatabaseName(odbcConnectionString(keys));
        if (!db.open())
            throw racr::ProviderError(db.lastError().text());
    } else {
        const bool fresh = !QFile::exists(m_databasePath);
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), m_connectionName);
        db.setDatabaseName(m_databasePath);
        if (!db.open())
            throw racr::ProviderError(db.lastError().text() + QStringLiteral(": ") + m_databasePath);
        try {
            if (fresh) {
                // A file of our own: write-ahead logging makes the imports' many small commits cheap.
                exec(db, QStringLiteral("PRAGMA journal_mode=WAL"));
                schema::create(db);
            }
            // Connection-level only: an existing file is opened as it is and never altered.
            exec(db, QStringLiteral("PRAGMA synchronous=NORMAL"));
        } catch (...) {
            db.close();
            if (fresh) // a half-made file would be taken as prepared at the next start
                QFile::remove(m_databasePath);
            throw;
        }
    }
    Q_EMIT afterConnect();
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
