#include "workbench/sqlhistory.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QSaveFile>

#include <QLockFile>

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <unistd.h>

namespace {

// Another window holds the lock only while it reads and writes the small file.
constexpr int kLockWaitMs = 5000;

void skipBlanks(const QByteArray& bytes, qsizetype& at)
{
    while (at < bytes.size() && std::isspace(static_cast<unsigned char>(bytes.at(at))))
        ++at;
}

// The statements at the start of a damaged file (cut off by a full disk or a crash, or edited by
// hand), up to the first one that cannot be read whole.
QStringList readableStart(const QByteArray& bytes)
{
    QStringList statements;
    qsizetype at = 0;
    skipBlanks(bytes, at);
    if (at >= bytes.size() || bytes.at(at) != '[')
        return statements;
    ++at;
    for (;;) {
        skipBlanks(bytes, at);
        if (at >= bytes.size() || bytes.at(at) != '"')
            break;
        qsizetype end = at + 1;
        while (end < bytes.size() && bytes.at(end) != '"')
            end += bytes.at(end) == '\\' ? 2 : 1;
        if (end >= bytes.size())
            break;
        // JSON's own reader decodes the escapes of the one text.
        const QJsonArray one = QJsonDocument::fromJson('[' + bytes.mid(at, end - at + 1) + ']').array();
        if (one.size() != 1 || !one.first().isString())
            break;
        statements.append(one.first().toString());
        at = end + 1;
        skipBlanks(bytes, at);
        if (at >= bytes.size() || bytes.at(at) != ',')
            break;
        ++at;
    }
    return statements;
}

// "<file>.damaged", or the first of ".damaged.2", ".damaged.3", ... that no earlier damaged
// copy holds; empty when the file cannot be moved.
QString moveAside(const QString& path)
{
    const QByteArray from = QFile::encodeName(path);
    for (int n = 1;; ++n) {
        const QString aside = path + QStringLiteral(".damaged") + (n == 1 ? QString() : QStringLiteral(".%1").arg(n));
        const QByteArray to = QFile::encodeName(aside);
        if (::renameat2(AT_FDCWD, from.constData(), AT_FDCWD, to.constData(), RENAME_NOREPLACE) == 0)
            return aside;
        if (errno == EEXIST)
            continue;
        if (errno != EINVAL && errno != ENOSYS)
            return {};
        // A file system that cannot rename without replacing: a link fails on any name in use.
        if (::link(from.constData(), to.constData()) == 0) {
            ::unlink(from.constData());
            return aside;
        }
        if (errno != EEXIST)
            return {};
    }
}

} // namespace

// The file is a JSON array of texts: statements span lines, and a hand-edited or half-written
// file must not turn one statement into several.
SqlHistory::SqlHistory(QString filePath, int limit) : m_filePath(std::move(filePath)), m_limit(qMax(1, limit))
{
    QLockFile lock(m_filePath + QStringLiteral(".lock"));
    const bool locked = lock.tryLock(kLockWaitMs);
    bool movedAside = false;
    read(m_entries, movedAside, locked);
    keep(m_entries);
    m_position = m_entries.size();
    // What could be read of a damaged file must not live only in the file moved aside.
    if (movedAside)
        save(m_entries);
}

bool SqlHistory::read(QStringList& entries, bool& movedAside, bool locked)
{
    QFile file(m_filePath);
    if (!file.exists())
        return true;
    if (!file.open(QIODevice::ReadOnly)) {
        m_saving = false;
        m_problem = QStringLiteral("The statement history %1 cannot be read (%2), so the statements run now are not "
                                   "saved in it. Make it readable or delete it, then start the program again.")
                        .arg(QDir::toNativeSeparators(m_filePath), file.errorString());
        return false;
    }
    const QByteArray bytes = file.readAll();
    file.close();
    if (bytes.trimmed().isEmpty())
        return true;
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(bytes, &error);
    const auto take = [&entries](const QString& statement) {
        if (!statement.trimmed().isEmpty())
            entries.append(statement);
    };
    if (error.error == QJsonParseError::NoError && document.isArray()) {
        for (const QJsonValue& value : document.array()) {
            if (value.isString())
                take(value.toString());
        }
        return true;
    }
    for (const QString& statement : readableStart(bytes))
        take(statement);
    const QString why = error.error != QJsonParseError::NoError
        ? QStringLiteral("%1 at byte %2").arg(error.errorString()).arg(error.offset)
        : QStringLiteral("it is not a list of statements");

    // The damaged file is kept for the user to look at; only then may a new one take its name.
    // Without the lock another window may be moving it at this moment, so it is left alone.
    const QString aside = locked ? moveAside(m_filePath) : QString();
    if (aside.isEmpty()) {
        m_saving = false;
        m_problem = QStringLiteral("The statement history %1 is damaged (%2) and could not be moved aside, so the "
                                   "statements run now are not saved in it. %3 statement(s) could be read. Move or "
                                   "delete the file, then start the program again.")
                        .arg(QDir::toNativeSeparators(m_filePath), why)
                        .arg(entries.size());
        return false;
    }
    m_problem = QStringLiteral("The statement history %1 was damaged (%2). The %3 statement(s) that could be read "
                               "are kept; the damaged file is now %4.")
                    .arg(QDir::toNativeSeparators(m_filePath), why)
                    .arg(entries.size())
                    .arg(QDir::toNativeSeparators(aside));
    movedAside = true;
    return true;
}

void SqlHistory::keep(QStringList& entries) const
{
    if (entries.size() > m_limit)
        entries.remove(0, entries.size() - m_limit);
}

bool SqlHistory::add(const QString& statement)
{
    m_draft.clear();
    if (statement.trimmed().isEmpty() || (!m_entries.isEmpty() && m_entries.last() == statement)) {
        m_position = m_entries.size();
        return true;
    }
    m_unsaved.append(statement);
    bool saved = false;
    QStringList entries;
    if (m_saving) {
        // Added to what the file holds now: another window may have written it since.
        QLockFile lock(m_filePath + QStringLiteral(".lock"));
        bool movedAside = false;
        if (lock.tryLock(kLockWaitMs) && read(entries, movedAside, true)) {
            for (const QString& mine : std::as_const(m_unsaved)) {
                if (entries.isEmpty() || entries.last() != mine)
                    entries.append(mine);
            }
            keep(entries);
            saved = save(entries);
            if (saved)
                m_unsaved.clear();
        } else {
            entries.clear();
        }
    }
    if (entries.isEmpty()) {
        entries = m_entries;
        entries.append(statement);
        keep(entries);
    }
    m_entries = entries;
    m_position = m_entries.size();
    return saved;
}

bool SqlHistory::save(const QStringList& entries) const
{
    // Written beside the old file and renamed over it: a crash mid-write keeps the old history.
    const QByteArray bytes = QJsonDocument(QJsonArray::fromStringList(entries)).toJson(QJsonDocument::Indented);
    QSaveFile file(m_filePath);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size() && file.commit();
}

std::optional<QString> SqlHistory::older(const QString& current)
{
    if (m_position == 0)
        return std::nullopt;
    if (m_position == m_entries.size())
        m_draft = current;
    return m_entries.at(--m_position);
}

std::optional<QString> SqlHistory::newer()
{
    if (m_position >= m_entries.size())
        return std::nullopt;
    ++m_position;
    return m_position == m_entries.size() ? m_draft : m_entries.at(m_position);
}
