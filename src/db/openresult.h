#pragma once

#include "db/rowfilter.h"

#include <QElapsedTimer>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>

class Connection;
namespace rowsource {
enum class Want;
}
class QTimer;

// A open result on the one connection (the main window's results, the import window's writes).
// `messageName` (one of the two names below) heads its error messages, a text users and their
// scripts know. Its statement text goes to the database unchanged: a colon is never a
// parameter marker. An open result is a static cursor: exact row count, current row, sort in
// place, rows written back to their tables.
// The names that head the two open results' error messages: texts users
// and their scripts know, so they stay as the program has always written them.
inline const QString kResultsMessageName = QStringLiteral("ADODataSet1");
inline const QString kImportMessageName = QStringLiteral("ADOQuery1");

class OpenResult : public QObject {
    Q_OBJECT

public:
    OpenResult(Connection& connection, const QString& messageName, QObject* parent = nullptr);
    ~OpenResult() override;

    Connection& connection() const { return m_connection; }

    void setText(const QString& sql);  // closes an open result first
    QString text() const { return m_text; }

    // Runs the text and makes its rows the open result, positioned on the first row. A statement
    // without columns throws racr::DatabaseError "<messageName>: CommandText does not return a
    // result set" (after the database has run it); the engine's own errors throw
    // racr::EngineError.
    void open();
    // Runs the text as a statement without rows; rowsAffected() then holds the engine's count
    // (-1 when the statement returned rows, which are dropped).
    void execute();
    // Runs the text and lets the database decide: a statement that returns columns opens as the
    // result (true); any other leaves its count in rowsAffected() (false).
    bool run();
    // Sets the text and runs it as run() does, but an open result gives way only once the
    // statement has run: when the engine refuses it, the result stays as it was (one still being
    // read is stopped first, its rows read so far kept). A stop by the user closes it.
    bool runReplacing(const QString& sql);
    int rowsAffected() const { return m_rowsAffected; }

    // A text of the form "exec NAME [VALUE]" runs the saved query NAME (a view) instead:
    // SELECT * FROM NAME, keeping only the rows whose first column equals VALUE without regard
    // to case when VALUE is given. Any of open, execute and run takes it.

    bool isOpen() const;
    void close();

    // Reading a large result. With background fetch on, a statement opens with the rows the
    // engine gives in its first moments and the rest is read in turns of the event loop; off
    // (the default), open and run return with every row, as they do on an engine whose
    // connection runs nothing else until the last row is read. Moving past the last row read, a
    // sort, and any change of rows read the rest first.
    void setBackgroundFetch(bool background);
    bool isFetching() const;     // rows are still to come
    // Reading is never nested: fetchAll(), a move past the rows read, a sort, an edit, close() and
    // a new statement called from within a read (through the wait handler's event loop) throw
    // racr::DatabaseError; stopFetching() there ends the fetch once the read under way returns.
    void fetchAll();             // reads the rest now
    void stopFetching();         // drops the rest; the rows read stay
    bool wasStopped() const;     // the open result lacks rows the statement had
    // Called now and then while the engine works long on one row; true stops the statement,
    // which then throws racr::Cancelled from open or run, or ends the fetch as stopFetching().
    void setWaitHandler(std::function<bool()> handler);

    int recordCount() const;   // rows of the open result
    int currentRowNumber() const;         // 1-based current row; -1 when empty or inserting

    // The order the rows are shown in: by one column, or the statement's own (column -1).
    struct Sort {
        int column = -1;
        Qt::SortOrder order = Qt::AscendingOrder;
        bool operator==(const Sort&) const = default;
    };
    Sort sortOrder() const;
    QString sortText() const;             // "<field> ASC", "<field> DESC" or empty, as the status line says it
    void sortBy(int column, Qt::SortOrder order);            // reorders in place
    void sortBy(const QString& field, Qt::SortOrder order);  // the same by the field's name
    void clearSort();                     // back to the statement's order

    // Shows only the rows read so far (and those still to come) that meet the filter, in the
    // current sort; the current row stays when it is still shown. The positions of every other
    // call (recordCount, moveTo, textAt, editing, an export) are those of the rows shown. A sort
    // keeps the filter; a new statement starts without one.
    void setFilter(const RowFilter& filter);
    RowFilter filter() const;
    int loadedCount() const;              // rows read, shown or not

    QStringList fieldNames() const;
    int fieldCount() const;
    QVariant value(int field) const;      // of the current row
    QString fieldText(int field) const;   // null as empty text

    void first();
    void next();
    bool atEnd() const;
    void moveTo(int row);                 // 0-based position in the current order

    // Any row by position, without moving the current row; a row being edited shows its
    // pending values.
    QVariant valueAt(int row, int field) const;
    QString textAt(int row, int field) const;
    bool isBlob(int row, int field) const;
    int currentRow() const;               // 0-based position; -1 when closed or empty

    // Row editing. Changes collect on the current row until submit() writes them to the table each
    // column came from, inside one transaction; a column without a table (an expression such as
    // Racetype) is read-only.
    enum class State { Inactive, Browse, Edit, Insert };
    State state() const;
    bool isModified() const;              // the edited or new row holds a change
    bool isReadOnly(int field) const;
    void edit();
    void insert();                        // a new empty row before the current one
    void append();                        // a new empty row after the last one
    // Sets a field of the current row, entering Edit from Browse. Empty text is null; text that
    // reads as a number goes to a numeric column as a number.
    void setFieldText(int field, const QString& text);
    void setFieldValue(int field, const QVariant& value);
    // Writes the edited or new row. When the database refuses, an edited row takes back its old
    // values and a new row stays pending, and the error is thrown.
    void submit();
    void cancel();
    void submitPending();               // submits a changed row, drops an untouched new one
    // Deletes the current row from the table that gives the result most of its columns.
    void deleteRecord();

Q_SIGNALS:
    void currentRowChanged();      // the current row changed
    void resultChanged();    // opened, closed or reordered
    void rowChanged(int row);    // values or editing state of one row
    // Sent just before and just after the rows change, for views that follow the result.
    void resultAboutToChange();
    void rowAboutToBeInserted(int row);
    void rowInserted(int row);
    void rowAboutToBeRemoved(int row);
    void rowRemoved(int row);
    // Rows read in the background join the end of the result.
    void rowsAboutToBeFetched(int first, int last);
    void rowsFetched();
    void fetchingChanged(bool fetching);
    void fetchFailed(const QString& message);   // the rows read before stay open
    void waiting(bool waiting);                 // the caller's thread waits for the engine

private:
    void arrange(const Sort& sort);   // shows the rows in that order, the filter kept
    struct Result;
    struct Table;
    bool perform(rowsource::Want want, bool keepUntilRun = false);
    void fetchMore(int maxRows, std::chrono::milliseconds budget, bool show);
    void showFetched();
    void finishFetching();
    void readRestForAnotherUse();
    void fetchInBackground();
    // Throws racr::DatabaseError when called from within a read of this object's statement.
    void requireNotReading() const;
    QString message(const QString& text) const;   // "<messageName>: <text>"
    void requireOpen() const;
    void requireCurrentRow() const;
    void insertAt(int position);
    void removeRow(int position);
    bool writeInsert();
    void writeEdit();
    void writeDelete();
    template <typename Write> void inTransaction(Write write);
    const std::vector<Table>& tables();
    QString whereClause(const Table& table, std::uint32_t row, QVariantList& values) const;
    void checkOneRow(const Table& table, int affected) const;

    Connection& m_connection;
    const QString m_messageName;
    QString m_text;
    int m_rowsAffected = 0;
    std::unique_ptr<Result> m_result;
    QTimer* m_fetchTimer;
    QElapsedTimer m_sinceShown;   // since the views last heard of rows read in the background
    bool m_backgroundFetch = false;
    bool m_reading = false;       // a read of the statement is under way (possibly below this call)
    std::function<bool()> m_waitHandler;
    static constexpr int kNextBlockRows = 4096;
};
