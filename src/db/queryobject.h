#pragma once

#include <QObject>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <memory>

class Connection;

// A query object on the one connection ("ADODataSet1" in the main window, "ADOQuery1" in the
// import window). Its statement text goes to the database unchanged: a colon is never a
// parameter marker. An open result is a static cursor: exact row count, current row, sort in
// place, rows written back to their tables.
class QueryObject : public QObject {
    Q_OBJECT

public:
    QueryObject(Connection& connection, const QString& objectName, QObject* parent = nullptr);
    ~QueryObject() override;

    Connection& connection() const { return m_connection; }

    void setText(const QString& sql);  // closes an open result first
    QString text() const { return m_text; }

    // Runs the text and makes its rows the open result, positioned on the first row. A statement
    // without columns throws racr::DatabaseError "<objectName>: CommandText does not return a
    // result set"; the engine's own errors throw racr::ProviderError.
    void open();
    // Runs the text as a statement without rows; rowsAffected() then holds the engine's count.
    void execute();
    int rowsAffected() const { return m_rowsAffected; }

    bool isOpen() const;
    void close();

    int recordCount() const;   // rows of the open result
    int recNo() const;         // 1-based current row; -1 when empty or inserting

    QString sort() const;                 // "<field> ASC", "<field> DESC" or empty
    void setSort(const QString& sort);    // reorders in place; empty restores the statement's order

    QStringList fieldNames() const;
    int fieldCount() const;
    QVariant value(int field) const;      // of the current row
    QString fieldText(int field) const;   // null as empty text

    void first();
    void next();
    bool eof() const;
    void moveTo(int row);                 // 0-based position in the current order

Q_SIGNALS:
    void afterScroll();      // the current row changed
    void resultChanged();    // opened, closed or reordered

private:
    struct Result;
    Connection& m_connection;
    QString m_text;
    int m_rowsAffected = 0;
    std::unique_ptr<Result> m_result;
};
