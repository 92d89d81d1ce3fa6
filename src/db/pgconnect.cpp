#include "db/pgconnect.h"

#include "common/error.h"
#include "db/pgcancel.h"
#include "db/sqlerrortext.h"

#include <QRegularExpression>
#include <QSqlDriver>
#include <QSqlError>
#include <QUrl>

#include <libpq-fe.h>

#include <algorithm>

namespace pg {

namespace {

QString decoded(const QString& part)
{
    return QUrl::fromPercentEncoding(part.toUtf8());
}

// The passwords a URI may hold, as written: after "user:" up to the last '@' (read generously, so a
// password with a raw '/', '?' or '@' is still covered), and every value of a "password" parameter.
// A message about a malformed URI quotes it, and must not show these.
QStringList secretsOf(const QString& uri)
{
    QStringList secrets;
    const qsizetype scheme = uri.indexOf(QStringLiteral("://"));
    const qsizetype start = scheme < 0 ? 0 : scheme + 3;
    const qsizetype at = uri.lastIndexOf(QLatin1Char('@'));
    if (at > start) {
        const qsizetype colon = uri.indexOf(QLatin1Char(':'), start);
        if (colon >= 0 && colon < at)
            secrets.append(uri.mid(colon + 1, at - colon - 1));
    }
    const qsizetype question = uri.indexOf(QLatin1Char('?'), start);
    if (question >= 0)
        for (const QString& item : uri.mid(question + 1).split(QLatin1Char('&'))) {
            const qsizetype equals = item.indexOf(QLatin1Char('='));
            if (equals >= 0 && decoded(item.left(equals)).trimmed().compare(QLatin1String("password"), Qt::CaseInsensitive) == 0)
                secrets.append(item.mid(equals + 1));
        }
    secrets.removeAll(QString());
    return secrets;
}

QString masked(const QString& uri)
{
    QString text = uri;
    for (const QString& secret : secretsOf(uri))
        text.replace(secret, QStringLiteral("***"));
    return text;
}

// A part of the URI quoted in a message: shown when the masked URI shows it anyway, else "***"
// (a password with a raw '/' is cut into a "host" and a "port" by the pattern).
QString shown(const QString& uri, const QString& part)
{
    const QString visible = masked(uri);
    return visible.contains(part) || decoded(visible).contains(part) ? part : QStringLiteral("***");
}

[[noreturn]] void badUri(const QString& uri, const QString& why)
{
    throw racr::EngineError(
        QStringLiteral("The database setting \"%1\" is not a PostgreSQL connection URI: %2. Write it as "
                       "postgresql://user@host:port/dbname (in racr.ini's key \"database\" or after --database).")
            .arg(masked(uri), why));
}

int portNumber(const QString& uri, const QString& text)
{
    bool ok = false;
    const int port = text.toInt(&ok);
    if (!ok || port < 1 || port > 65535)
        badUri(uri, QStringLiteral("the port \"%1\" is not a number from 1 to 65535").arg(shown(uri, text)));
    return port;
}

// Qt hands the options to libpq with each ';' turned into a blank, so a value is quoted the way
// libpq reads quoted values, and a ';' (which Qt would split) is refused.
QString connectOptions(const Target& target)
{
    QStringList parts;
    for (const auto& [key, value] : target.options) {
        QString quoted = value;
        quoted.replace(QLatin1Char('\\'), QStringLiteral("\\\\")).replace(QLatin1Char('\''), QStringLiteral("\\'"));
        parts.append(key + QStringLiteral("='") + quoted + QLatin1Char('\''));
    }
    return parts.join(QLatin1Char(';'));
}

bool hasOption(const Target& target, const char* key)
{
    for (const auto& option : target.options)
        if (option.first == QLatin1String(key))
            return true;
    return false;
}

} // namespace

Target parseUri(const QString& uri)
{
    static const QRegularExpression form(QStringLiteral(
        "^postgres(?:ql)?://(?:([^/?]*)@)?(\\[[^\\]]*\\]|[^:/?]*)(?::([^/?]*))?(?:/([^?]*))?(?:\\?(.*))?$"),
        QRegularExpression::CaseInsensitiveOption);
    const auto match = form.match(uri.trimmed());
    if (!match.hasMatch())
        badUri(uri, QStringLiteral("it must begin with postgresql://"));

    Target target;
    const QString login = match.captured(1);
    const qsizetype colon = login.indexOf(QLatin1Char(':'));
    target.user = decoded(colon < 0 ? login : login.left(colon));
    if (colon >= 0)
        target.password = decoded(login.mid(colon + 1));
    target.host = decoded(match.captured(2));
    if (target.host.startsWith(QLatin1Char('[')))   // an IPv6 address
        target.host = target.host.mid(1, target.host.size() - 2);
    if (!match.captured(3).isEmpty())
        target.port = portNumber(uri, match.captured(3));
    target.database = decoded(match.captured(4));

    const QString query = match.captured(5);
    static const QRegularExpression keyword(QStringLiteral("^[a-z_]+$"));
    for (const QString& item : query.split(QLatin1Char('&'), Qt::SkipEmptyParts)) {
        const qsizetype equals = item.indexOf(QLatin1Char('='));
        const QString key = decoded(equals < 0 ? item : item.left(equals));
        const QString value = equals < 0 ? QString() : decoded(item.mid(equals + 1));
        if (!keyword.match(key).hasMatch())
            badUri(uri, QStringLiteral("\"%1\" is not a connection parameter").arg(shown(uri, key)));
        if (value.contains(QLatin1Char(';')))
            badUri(uri, QStringLiteral("the value of %1 holds a ';', which cannot be handed on").arg(key));
        // The parameters that have a place of their own go there; libpq takes them in the query too.
        if (key == QLatin1String("host"))
            target.host = value;
        else if (key == QLatin1String("port"))
            target.port = portNumber(uri, value);
        else if (key == QLatin1String("dbname"))
            target.database = value;
        else if (key == QLatin1String("user"))
            target.user = value;
        else if (key == QLatin1String("password"))
            target.password = value;
        else
            target.options.append({key, value});
    }
    return target;
}

void blankSecrets(char* uri)
{
    const QByteArray text(uri);
    for (const QString& secret : secretsOf(QString::fromLocal8Bit(text))) {
        const QByteArray bytes = secret.toLocal8Bit();
        for (qsizetype at = text.indexOf(bytes); at >= 0; at = text.indexOf(bytes, at + bytes.size()))
            std::fill(uri + at, uri + at + bytes.size(), '*');
    }
}

QString displayName(const Target& target)
{
    QString name;
    if (!target.user.isEmpty())
        name += target.user + QLatin1Char('@');
    name += target.host.isEmpty() ? QStringLiteral("localhost") : target.host;
    if (target.port > 0)
        name += QLatin1Char(':') + QString::number(target.port);
    if (!target.database.isEmpty())
        name += QLatin1Char('/') + target.database;
    return name;
}

namespace {

void dropNotice(void*, const char*) {}

} // namespace

bool connectionLost(const QSqlDatabase& db)
{
    const PGconn* connection = nativeConnection(db);
    return connection && PQstatus(connection) == CONNECTION_BAD;
}

void open(QSqlDatabase& db, const Target& given)
{
    Target target = given;
    // A server that drops packets would otherwise hold the start for the system's TCP time-out.
    if (!hasOption(target, "connect_timeout"))
        target.options.append({QStringLiteral("connect_timeout"), QStringLiteral("10")});
    // The server's own views (pg_stat_activity) then say which sessions are this program's.
    if (!hasOption(target, "application_name"))
        target.options.append({QStringLiteral("application_name"), QStringLiteral("racr")});
    db.setHostName(target.host);
    if (target.port > 0)
        db.setPort(target.port);
    db.setDatabaseName(target.database);
    db.setUserName(target.user);
    db.setPassword(target.password);
    db.setConnectOptions(connectOptions(target));
    if (db.open()) {
        // The server's notices ("table ... does not exist, skipping") are no failure, and would
        // reach standard error ahead of the program's own words.
        if (PGconn* connection = nativeConnection(db))
            PQsetNoticeProcessor(connection, dropNotice, nullptr);
        return;
    }

    // libpq says what failed in words of its own; the program adds what to do about it.
    const QString why = sqlErrorText(db.lastError());
    const QString where = displayName(given);
    static const QRegularExpression refusedLogin(QStringLiteral(
        "authentication failed|no password supplied|password is required|role \"[^\"]*\" does not exist"
        "|no pg_hba.conf entry|permission denied for database"));
    static const QRegularExpression missingDatabase(QStringLiteral("database \"[^\"]*\" does not exist"));
    if (refusedLogin.match(why).hasMatch())
        throw racr::EngineError(
            QStringLiteral("PostgreSQL refused the login to %1: %2. Check the user name, and give the password in "
                           "~/.pgpass or PGPASSWORD.")
                .arg(where, why));
    if (missingDatabase.match(why).hasMatch())
        throw racr::EngineError(
            QStringLiteral("The PostgreSQL server has no database %1: %2. Create it (createdb) or correct the "
                           "name in racr.ini's key \"database\".")
                .arg(where, why));
    throw racr::EngineError(
        QStringLiteral("Cannot reach the PostgreSQL server for %1: %2. Check the host and port, and that the "
                       "server is running.")
            .arg(where, why));
}

} // namespace pg
