#include "db/openresult.h"

#include "common/error.h"
#include "db/connection.h"
#include "db/queryresult.h"
#include "db/rowsource.h"

#include <QLocale>
#include <QRegularExpression>
#include <QScopedValueRollback>
#include <QTimer>

#include <limits>

namespace {

// While it lives, the open result waits for the engine on the caller's thread: views show a
// busy state and offer to stop.
class Waiting {
public:
    explicit Waiting(OpenResult& openResult) : m_openResult(openResult) { Q_EMIT m_openResult.waiting(true); }
    ~Waiting() { Q_EMIT m_openResult.waiting(false); }
    Waiting(const Waiting&) = delete;
    Waiting& operator=(const Waiting&) = delete;

private:
    OpenResult& m_openResult;
};

// The first rows are read at once for this long before the window shows them, the rest in turns
// of the event loop this long each, so the window stays usable while a large result comes in.
constexpr std::chrono::milliseconds kFirstRowsBudget{40};
constexpr std::chrono::milliseconds kBackgroundBudget{15};
constexpr std::chrono::milliseconds kShowEvery{250};

} // namespace

OpenResult::OpenResult(Connection& connection, const QString& messageName, QObject* parent)
    : QObject(parent), m_connection(connection), m_messageName(messageName), m_fetchTimer(new QTimer(this))
{
    m_fetchTimer->setInterval(0);
    connect(m_fetchTimer, &QTimer::timeout, this, &OpenResult::fetchInBackground);
}

OpenResult::Result::Result(std::vector<Field> f) : fields(std::move(f)), store(int(fields.size())) {}
OpenResult::Result::~Result() = default;

void OpenResult::setBackgroundFetch(bool background)
{
    m_backgroundFetch = background;
}

void OpenResult::setWaitHandler(std::function<bool()> handler)
{
    m_waitHandler = std::move(handler);
}

OpenResult::~OpenResult() = default;

QString OpenResult::message(const QString& text) const
{
    return m_messageName + QStringLiteral(": ") + text;
}

void OpenResult::setText(const QString& sql)
{
    close();
    m_text = sql;
}

void OpenResult::open()
{
    perform(rowsource::Want::Rows);
}

void OpenResult::execute()
{
    perform(rowsource::Want::NoRows);
}

bool OpenResult::run()
{
    return perform(rowsource::Want::Either);
}

bool OpenResult::runReplacing(const QString& sql)
{
    requireNotReading();
    m_text = sql;
    try {
        return perform(rowsource::Want::Either, true);
    } catch (const racr::Cancelled&) {
        close();
        throw;
    }
}

void OpenResult::requireNotReading() const
{
    if (m_reading)
        throw racr::DatabaseError(
            message(QStringLiteral("The result is still being read; wait until its rows are in, or stop it.")));
}

bool OpenResult::perform(rowsource::Want want, bool keepUntilRun)
{
    requireNotReading();
    // A statement still being read would hold the tables it reads against the next one.
    if (keepUntilRun)
        stopFetching();
    else
        close();
    m_rowsAffected = 0;
    const rowsource::Statement statement = rowsource::statementOf(m_connection, m_text, message({}));
    std::unique_ptr<Result> result;
    {
        const Waiting waiting(*this);
        const QScopedValueRollback reading(m_reading, true);
        // A stop asked from inside the wait (stopFetching() through its event loop) stops the engine
        // too; a result kept from the statement before reads nothing and is no such stop.
        rowsource::WaitHandler wait;
        if (m_waitHandler)
            wait = [this] { return m_waitHandler() || (m_result && m_result->source && m_result->stopped); };
        rowsource::Opened opened;
        try {
            opened = rowsource::open(m_connection, statement.sql, statement.filter, want, message({}), std::move(wait));
        } catch (const racr::EngineError& error) {
            // The engine's place is one in the text it was given; "exec NAME" gave it another.
            if (error.position() >= 0 && statement.sql != m_text)
                throw racr::EngineError(error.message());
            throw;
        }
        m_rowsAffected = opened.rowsAffected;
        if (opened.rows) {
            result = std::make_unique<Result>(opened.rows->fields());
            result->source = std::move(opened.rows);
            // In the background the first rows are shown as soon as they come; the rest follows.
            const bool background = m_backgroundFetch && result->source->pausing() != RowSource::Pausing::Never;
            result->source->read(result->store, std::numeric_limits<int>::max(),
                                 background ? kFirstRowsBudget : std::chrono::milliseconds(0));
        }
    }
    if (!result) {
        close();
        return false;
    }
    if (result->source->atEnd()) {
        result->fields = result->source->fields();
        result->source.reset();
    }

    const std::uint32_t rows = result->store.rowCount();
    result->natural = RowOrder::identity(rows);
    result->arranged = result->natural;
    result->order = result->natural;
    result->current = rows ? 0 : -1;
    result->atEnd = rows == 0;
    result->shown = rows;
    Q_EMIT resultAboutToChange();
    m_result = std::move(result);
    Q_EMIT resultChanged();
    if (rows)
        Q_EMIT currentRowChanged();
    if (m_result->source) {
        if (m_result->source->pausing() == RowSource::Pausing::HoldsConnection)
            m_result->hold = m_connection.hold([this] { readRestForAnotherUse(); }, [this] { stopFetching(); });
        m_sinceShown.start();
        m_fetchTimer->start();
        Q_EMIT fetchingChanged(true);
    }
    return true;
}

bool OpenResult::isFetching() const
{
    return m_result && m_result->source;
}

bool OpenResult::wasStopped() const
{
    return m_result && m_result->stopped;
}

// The engine's wait handler runs the event loop while a read is under way. A second read of the
// same statement from there would step it inside its own step and silently give wrong rows, so
// the background turns pause while reading and any nested call is refused.
void OpenResult::fetchMore(int maxRows, std::chrono::milliseconds budget, bool show)
{
    requireNotReading();
    const QScopedValueRollback reading(m_reading, true);
    m_fetchTimer->stop();
    Result& r = *m_result;
    try {
        r.source->read(r.store, maxRows, budget);
    } catch (const racr::Cancelled&) {
        r.stopped = true;
    } catch (...) {
        // What was read stays; the rest of a failed statement cannot be read any more.
        r.stopped = true;
        finishFetching();
        throw;
    }
    if (r.stopped || r.source->atEnd()) {
        finishFetching();
        return;
    }
    if (show)
        showFetched();
    m_fetchTimer->start();
}

// Rows read after the first block join the end: while they come there is no sort and no new
// row (both wait for the whole result), so both orders are the statement's.
void OpenResult::showFetched()
{
    Result& r = *m_result;
    const std::uint32_t from = r.shown;
    const std::uint32_t to = r.store.rowCount();
    m_sinceShown.restart();
    if (to == from)
        return;
    std::vector<std::uint32_t> kept;
    for (std::uint32_t row = from; row < to; ++row) {
        r.natural.push_back(row);
        r.arranged.push_back(row);
        if (r.filter.accepts(r.store, row))
            kept.push_back(row);
    }
    r.shown = to;
    if (kept.empty())
        return;
    const int first = int(r.order.size());
    Q_EMIT rowsAboutToBeFetched(first, first + int(kept.size()) - 1);
    for (const std::uint32_t row : kept)
        r.order.push_back(row);
    const bool wasEmpty = r.current < 0;
    if (wasEmpty) {
        r.current = 0;
        r.atEnd = false;
    }
    Q_EMIT rowsFetched();
    if (wasEmpty)
        Q_EMIT currentRowChanged();
}

void OpenResult::finishFetching()
{
    m_fetchTimer->stop();
    showFetched();
    // Some engines name the tables behind the columns only once every row is read.
    if (m_result->source->atEnd())
        m_result->fields = m_result->source->fields();
    m_result->source.reset();
    m_result->hold.reset();
    Q_EMIT fetchingChanged(false);
}

// Another statement on a connection the result holds waits for the rest, as a sort does. A
// failure of the rest is told as in the background, and the connection is free again.
void OpenResult::readRestForAnotherUse()
{
    try {
        fetchAll();
    } catch (const racr::EngineError& error) {
        Q_EMIT fetchFailed(error.message());
    }
}

// Reads in short turns so the window stays usable, but tells the views of new rows only a few
// times a second: each time costs them work in proportion to the rows they already hold.
void OpenResult::fetchInBackground()
{
    if (!isFetching() || m_reading)
        return;
    try {
        fetchMore(std::numeric_limits<int>::max(), kBackgroundBudget, m_sinceShown.elapsed() >= kShowEvery.count());
    } catch (const racr::Error& error) {
        Q_EMIT fetchFailed(error.message());
    }
}

void OpenResult::fetchAll()
{
    if (!isFetching())
        return;
    const Waiting waiting(*this);
    fetchMore(std::numeric_limits<int>::max(), std::chrono::milliseconds(0), true);
}

void OpenResult::stopFetching()
{
    if (!isFetching())
        return;
    m_result->stopped = true;
    // Asked from within a read: the read under way ends the fetch when it returns.
    if (m_reading)
        return;
    finishFetching();
}

bool OpenResult::isOpen() const
{
    return m_result != nullptr;
}

void OpenResult::close()
{
    if (!m_result)
        return;
    requireNotReading();
    const bool fetching = isFetching();
    m_fetchTimer->stop();
    Q_EMIT resultAboutToChange();
    m_result.reset();
    Q_EMIT resultChanged();
    if (fetching)
        Q_EMIT fetchingChanged(false);
}

void OpenResult::requireOpen() const
{
    if (!m_result)
        throw racr::DatabaseError(message(QStringLiteral("The result is closed; run a statement first.")));
}

void OpenResult::requireCurrentRow() const
{
    requireOpen();
    if (m_result->current < 0)
        throw racr::DatabaseError(message(QStringLiteral("The result has no rows.")));
}

int OpenResult::recordCount() const
{
    return m_result ? int(m_result->order.size()) : 0;
}

int OpenResult::currentRowNumber() const
{
    if (!m_result || m_result->current < 0 || m_result->state == State::Insert)
        return -1;
    return m_result->current + 1;
}

int OpenResult::currentRow() const
{
    return m_result ? m_result->current : -1;
}

OpenResult::Sort OpenResult::sortOrder() const
{
    return m_result ? m_result->sort : Sort{};
}

QString OpenResult::sortText() const
{
    if (!m_result || m_result->sort.column < 0)
        return {};
    const Sort& sort = m_result->sort;
    return m_result->fields[std::size_t(sort.column)].name
        + (sort.order == Qt::DescendingOrder ? QStringLiteral(" DESC") : QStringLiteral(" ASC"));
}

void OpenResult::sortBy(const QString& field, Qt::SortOrder order)
{
    requireOpen();
    const Result& r = *m_result;
    int column = -1;
    for (Qt::CaseSensitivity cs : {Qt::CaseSensitive, Qt::CaseInsensitive})
        for (std::size_t i = 0; column < 0 && i < r.fields.size(); ++i)
            if (r.fields[i].name.compare(field, cs) == 0)
                column = int(i);
    if (column < 0)
        throw racr::DatabaseError(message(QStringLiteral("Cannot sort by \"%1\": the result has no such field.").arg(field)));
    sortBy(column, order);
}

void OpenResult::clearSort()
{
    requireOpen();
    arrange(Sort{});
}

void OpenResult::sortBy(int column, Qt::SortOrder order)
{
    requireOpen();
    if (column < 0 || std::size_t(column) >= m_result->fields.size())
        throw racr::DatabaseError(message(QStringLiteral("Cannot sort by column %1: the result has %2.")
                                              .arg(column + 1)
                                              .arg(m_result->fields.size())));
    arrange(Sort{column, order});
}

void OpenResult::arrange(const Sort& sort)
{
    fetchAll();
    submitPending();
    Result& r = *m_result;
    RowOrder order = sort.column < 0 ? r.natural
                                     : RowOrder(r.store.sorted(r.natural, sort.column, sort.order == Qt::DescendingOrder));
    RowOrder shown = r.filter.apply(r.store, order);
    Q_EMIT resultAboutToChange();
    r.arranged = std::move(order);
    r.order = std::move(shown);
    r.sort = sort;
    r.current = r.order.empty() ? -1 : 0;
    r.atEnd = r.order.empty();
    Q_EMIT resultChanged();
    Q_EMIT currentRowChanged();
}

QStringList OpenResult::fieldNames() const
{
    QStringList names;
    if (m_result)
        for (const Field& f : m_result->fields)
            names.append(f.name);
    return names;
}

int OpenResult::fieldCount() const
{
    return m_result ? int(m_result->fields.size()) : 0;
}

QVariant OpenResult::valueAt(int row, int field) const
{
    if (!m_result || row < 0 || row >= recordCount() || field < 0 || field >= fieldCount())
        return {};
    const Result& r = *m_result;
    if (row == r.current && r.state != State::Browse)
        return r.pending[std::size_t(field)];
    return r.store.value(r.order[std::size_t(row)], field);
}

QString OpenResult::textAt(int row, int field) const
{
    if (!m_result || row < 0 || row >= recordCount() || field < 0 || field >= fieldCount())
        return {};
    const Result& r = *m_result;
    if (row == r.current && r.state != State::Browse) {
        const QVariant& v = r.pending[std::size_t(field)];
        if (v.typeId() == QMetaType::Double)
            return QString::number(v.toDouble(), 'g', QLocale::FloatingPointShortest);
        return v.toString();
    }
    return r.store.text(r.order[std::size_t(row)], field);
}

bool OpenResult::isBlob(int row, int field) const
{
    const QVariant v = valueAt(row, field);
    return v.typeId() == QMetaType::QByteArray;
}

QVariant OpenResult::value(int field) const
{
    return m_result ? valueAt(m_result->current, field) : QVariant();
}

QString OpenResult::fieldText(int field) const
{
    return m_result ? textAt(m_result->current, field) : QString();
}

void OpenResult::first()
{
    requireOpen();
    submitPending();
    m_result->current = m_result->order.empty() ? -1 : 0;
    m_result->atEnd = m_result->order.empty();
    Q_EMIT currentRowChanged();
}

void OpenResult::next()
{
    requireOpen();
    submitPending();
    Result& r = *m_result;
    if (r.current + 1 >= int(r.order.size()) && isFetching()) {
        const Waiting waiting(*this);
        fetchMore(kNextBlockRows, std::chrono::milliseconds(0), true);
    }
    if (r.current + 1 < int(r.order.size())) {
        ++r.current;
        Q_EMIT currentRowChanged();
    } else {
        r.atEnd = true;
    }
}

bool OpenResult::atEnd() const
{
    return !m_result || m_result->atEnd;
}

void OpenResult::moveTo(int row)
{
    requireOpen();
    Result& r = *m_result;
    if (row < 0 || row >= int(r.order.size()))
        throw racr::DatabaseError(message(QStringLiteral("There is no row %1.").arg(row + 1)));
    if (row == r.current)
        return;
    // Leaving an untouched new row drops it, which moves every row after it up by one.
    const int before = int(r.order.size());
    const int from = r.current;
    submitPending();
    if (int(r.order.size()) < before && row > from)
        --row;
    r.current = row;
    r.atEnd = false;
    Q_EMIT currentRowChanged();
}
