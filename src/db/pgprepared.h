#pragma once

#include <QByteArray>
#include <QSqlDatabase>
#include <QSqlError>
#include <QString>
#include <QVariantList>

#include <vector>

// A statement the PostgreSQL server parses and plans once and then runs with values only, through
// libpq's extended protocol on the connection of Qt's driver. Qt's driver sends every run of a
// prepared statement as text, its values written out as literals the server reads again each
// time: for an import's hundred rows of seven values per track that was most of the server's work.
namespace pg {

class PreparedStatement {
public:
    explicit PreparedStatement(const QSqlDatabase& db);
    ~PreparedStatement();
    PreparedStatement(const PreparedStatement&) = delete;
    PreparedStatement& operator=(const PreparedStatement&) = delete;

    // `sql` names its values $1, $2, ...; false with lastError() when the server refuses it.
    bool prepare(const QString& sql, int values);
    // Runs it with the values in order (a null QVariant is NULL); the rows it changed, or -1 with
    // lastError().
    int exec(const QVariantList& values);
    // As Qt's driver reports a failed statement: the server's message and its SQLSTATE.
    QSqlError lastError() const { return m_error; }

private:
    void release();

    QSqlDatabase m_db;
    QByteArray m_name;   // empty until prepared
    int m_values = 0;
    QSqlError m_error;
    std::vector<QByteArray> m_texts;
};

} // namespace pg
