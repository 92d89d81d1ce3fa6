#include "sqlhistory.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QSaveFile>

// The file is a JSON array of texts: statements span lines, and a hand-edited or half-written
// file must not turn one statement into several.
SqlHistory::SqlHistory(QString filePath, int limit) : m_filePath(std::move(filePath)), m_limit(qMax(1, limit))
{
    QFile file(m_filePath);
    if (file.open(QIODevice::ReadOnly)) {
        const QJsonArray stored = QJsonDocument::fromJson(file.readAll()).array();
        for (const QJsonValue& value : stored)
            if (value.isString() && !value.toString().trimmed().isEmpty())
                m_entries.append(value.toString());
    }
    if (m_entries.size() > m_limit)
        m_entries.remove(0, m_entries.size() - m_limit);
    m_position = m_entries.size();
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
