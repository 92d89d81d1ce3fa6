#include "sqlhistory.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QSaveFile>

#include <cctype>

namespace {

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

} // namespace

// The file is a JSON array of texts: statements span lines, and a hand-edited or half-written
// file must not turn one statement into several.
SqlHistory::SqlHistory(QString filePath, int limit) : m_filePath(std::move(filePath)), m_limit(qMax(1, limit))
{
    QFile file(m_filePath);
    const bool movedAside = file.exists() && load(file);
    if (m_entries.size() > m_limit)
        m_entries.remove(0, m_entries.size() - m_limit);
    m_position = m_entries.size();
    // What could be read of a damaged file must not live only in the file moved aside.
    if (movedAside)
        save();
}

bool SqlHistory::load(QFile& file)
{
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
        return false;
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(bytes, &error);
    const auto keep = [this](const QJsonValue& value) {
        if (value.isString() && !value.toString().trimmed().isEmpty())
            m_entries.append(value.toString());
    };
    if (error.error == QJsonParseError::NoError && document.isArray()) {
        for (const QJsonValue& value : document.array())
            keep(value);
        return false;
    }
    for (const QString& statement : readableStart(bytes))
        keep(statement);
    const QString why = error.error != QJsonParseError::NoError
        ? QStringLiteral("%1 at byte %2").arg(error.errorString()).arg(error.offset)
        : QStringLiteral("it is not a list of statements");

    // The damaged file is kept for the user to look at; only then may a new one take its name.
    const QString aside = m_filePath + QStringLiteral(".damaged");
    QFile::remove(aside);
    if (!QFile::rename(m_filePath, aside)) {
        m_saving = false;
        m_problem = QStringLiteral("The statement history %1 is damaged (%2) and could not be moved aside, so the "
                                   "statements run now are not saved in it. %3 statement(s) could be read. Move or "
                                   "delete the file, then start the program again.")
                        .arg(QDir::toNativeSeparators(m_filePath), why)
                        .arg(m_entries.size());
        return false;
    }
    m_problem = QStringLiteral("The statement history %1 was damaged (%2). The %3 statement(s) that could be read "
                               "are kept; the damaged file is now %4.")
                    .arg(QDir::toNativeSeparators(m_filePath), why)
                    .arg(m_entries.size())
                    .arg(QDir::toNativeSeparators(aside));
    return true;
}

bool SqlHistory::add(const QString& statement)
{
    m_draft.clear();
    if (statement.trimmed().isEmpty() || (!m_entries.isEmpty() && m_entries.last() == statement)) {
        m_position = m_entries.size();
        return true;
    }
    m_entries.append(statement);
    if (m_entries.size() > m_limit)
        m_entries.remove(0, m_entries.size() - m_limit);
    m_position = m_entries.size();
    return m_saving && save();
}

bool SqlHistory::save()
{
    // Written beside the old file and renamed over it: a crash mid-write keeps the old history.
    const QByteArray bytes = QJsonDocument(QJsonArray::fromStringList(m_entries)).toJson(QJsonDocument::Indented);
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
