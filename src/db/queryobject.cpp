#include "queryobject.h"

#include "common/error.h"
#include "connection.h"
#include "queryresult.h"
#include "rowsource.h"

#include <QLocale>
#include <QRegularExpression>
#include <QScopedValueRollback>
#include <QTimer>

#include <limits>

namespace {

// While it lives, the query object waits for the engine on the caller's thread: views show a
// busy state and offer to stop.
class Waiting {
public:
    explicit Waiting(QueryObject& dataSet) : m_dataSet(dataSet) { Q_EMIT m_dataSet.waiting(true); }
    ~Waiting() { Q_EMIT m_dataSet.waiting(false); }
    Waiting(const Waiting&) = delete;
    Waiting& operator=(const Waiting&) = delete;

private:
    QueryObject& m_dataSet;
};

// The first rows are read at once for this long before the window shows them, the rest in turns
// of the event loop this long each, so the window stays usable while a large result comes in.
constexpr std::chrono::milliseconds kFirstRowsBudget{40};
constexpr std::chrono::milliseconds kBackgroundBudget{15};
constexpr std::chrono::milliseconds kShowEvery{250};

} // namespace

QueryObject::QueryObject(Connection& connection, const QString& messageName, QObject* parent)
    : QObject(parent), m_connection(connection), m_messageName(messageName), m_fetchTimer(new QTimer(this))
{
    m_fetchTimer->setInterval(0);
    connect(m_fetchTimer, &QTimer::timeout, this, &QueryObject::fetchInBackground);
}

QueryObject::Result::Result(std::vector<Field> f) : fields(std::move(f)), store(int(fields.size())) {}
QueryObject::Result::~Result() = default;

void QueryObject::setBackgroundFetch(bool background)
{
    m_backgroundFetch = background;
}

void QueryObject::setWaitHandler(std::function<bool()> handler)
{
    m_waitHandler = std::move(handler);
}

QueryObject::~QueryObject() = default;

QString QueryObject::message(const QString& text) const
{
    return m_messageName + QStringLiteral(": ") + text;
}

void QueryObject::setText(const QString& sql)
{
    close();
    m_text = sql;
}

void QueryObject::open()
{
    perform(rowsource::Want::Rows);
}

void QueryObject::execute()
{
    perform(rowsource::Want::NoRows);
}

bool QueryObject::run()
{
    return perform(rowsource::Want::Either);
}

bool QueryObject::runReplacing(const QString& sql)
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

void QueryObject::requireNotReading() const
{
    if (m_reading)
        throw racr::DatabaseError(
            message(QStringLiteral("The result is still being read; wait until its rows are in, or stop it.")));
}

bool QueryObject::perform(rowsource::Want want, bool keepUntilRun)
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
        } catch (const racr::ProviderError& error) {
            // The engine's place is one in the text it was given; "exec NAME" gave it another.
            if (error.position() >= 0 && statement.sql != m_text)
                throw racr::ProviderError(error.message());
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
    result->eof = rows == 0;
    result->shown = rows;
    Q_EMIT resultAboutToChange();
    m_result = std::move(result);
    Q_EMIT resultChanged();
    if (rows)
        Q_EMIT afterScroll();
    if (m_result->source) {
        if (m_result->source->pausing() == RowSource::Pausing::HoldsConnection)
            m_result->hold = m_connection.hold([this] { readRestForAnotherUse(); }, [this] { stopFetching(); });
        m_sinceShown.start();
        m_fetchTimer->start();
        Q_EMIT fetchingChanged(true);
    }
    return true;
}

bool QueryObject::isFetching() const
{
    return m_result && m_result->source;
}

bool QueryObject::wasStopped() const
{
    return m_result && m_result->stopped;
}

// The engine's wait handler runs the event loop while a read is under way. A second read of the
// same statement from there would step it inside its own step and silently give wrong rows, so
// the background turns pause while reading and any nested call is refused.
void QueryObject::fetchMore(int maxRows, std::chrono::milliseconds budget, bool show)
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
void QueryObject::showFetched()
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
        r.eof = false;
    }
    Q_EMIT rowsFetched();
    if (wasEmpty)
        Q_EMIT afterScroll();
}

void QueryObject::finishFetching()
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
void QueryObject::readRestForAnotherUse()
{
    try {
        fetchAll();
    } catch (const racr::ProviderError& error) {
        Q_EMIT fetchFailed(error.message());
    }
}

// Reads in short turns so the window stays usable, but tells the views of new rows only a few
// times a second: each time costs them work in proportion to the rows they already hold.
void QueryObject::fetchInBackground()
{
    if (!isFetching() || m_reading)
        return;
    try {
        fetchMore(std::numeric_limits<int>::max(), kBackgroundBudget, m_sinceShown.elapsed() >= kShowEvery.count());
    } catch (const racr::Error& error) {
        Q_EMIT fetchFailed(error.message());
    }
}

void QueryObject::fetchAll()
{
    if (!isFetching())
        return;
    const Waiting waiting(*this);
    fetchMore(std::numeric_limits<int>::max(), std::chrono::milliseconds(0), true);
}

void QueryObject::stopFetching()
{
    if (!isFetching())
        return;
    m_result->stopped = true;
    // Asked from within a read: the read under way ends the fetch when it returns.
    if (m_reading)
        return;
    finishFetching();
}

bool QueryObject::isOpen() const
{
    return m_result != nullptr;
}

void QueryObject::close()
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

void QueryObject::requireOpen() const
{
    if (!m_result)
        throw racr::DatabaseError(message(QStringLiteral("The result is closed; run a statement first.")));
}

void QueryObject::requireCurrentRow() const
{
    requireOpen();
    if (m_result->current < 0)
        throw racr::DatabaseError(message(QStringLiteral("The result has no rows.")));
}

int QueryObject::recordCount() const
{
    return m_result ? int(m_result->order.size()) : 0;
}

int QueryObject::recNo() const
{
    if (!m_result || m_result->current < 0 || m_result->state == State::Insert)
        return -1;
    return m_result->current + 1;
}

int QueryObject::currentRow() const
{
    return m_result ? m_result->current : -1;
}

QString QueryObject::sort() const
{
    return m_result ? m_result->sort : QString();
}

void QueryObject::setSort(const QString& sort)
{
    requireOpen();
    fetchAll();
    checkBrowseMode();
    Result& r = *m_result;
    const QString wanted = sort.trimmed();
    RowOrder order;
    QString text;
    if (wanted.isEmpty()) {
        order = r.natural;
    } else {
        QString name = wanted;
        bool descending = false;
        static const QRegularExpression direction(QStringLiteral("^(.*\\S)\\s+(ASC|DESC)$"),
                                                  QRegularExpression::CaseInsensitiveOption);
        if (const auto match = direction.match(wanted); match.hasMatch()) {
            name = match.captured(1);
            descending = match.captured(2).compare(QLatin1String("DESC"), Qt::CaseInsensitive) == 0;
        }
        int field = -1;
        for (Qt::CaseSensitivity cs : {Qt::CaseSensitive, Qt::CaseInsensitive}) {
            for (std::size_t i = 0; field < 0 && i < r.fields.size(); ++i)
                if (r.fields[i].name.compare(name, cs) == 0)
                    field = int(i);
        }
        if (field < 0)
            throw racr::DatabaseError(message(QStringLiteral("Cannot sort by \"%1\": the result has no such field.").arg(name)));
        order = RowOrder(r.store.sorted(r.natural, field, descending));
        text = r.fields[std::size_t(field)].name + (descending ? QStringLiteral(" DESC") : QStringLiteral(" ASC"));
    }
    RowOrder shown = r.filter.apply(r.store, order);
    Q_EMIT resultAboutToChange();
    r.arranged = std::move(order);
    r.order = std::move(shown);
    r.sort = text;
    r.current = r.order.empty() ? -1 : 0;
    r.eof = r.order.empty();
    Q_EMIT resultChanged();
    Q_EMIT afterScroll();
}

QStringList QueryObject::fieldNames() const
{
    QStringList names;
    if (m_result)
        for (const Field& f : m_result->fields)
            names.append(f.name);
    return names;
}

int QueryObject::fieldCount() const
{
    return m_result ? int(m_result->fields.size()) : 0;
}

QVariant QueryObject::valueAt(int row, int field) const
{
    if (!m_result || row < 0 || row >= recordCount() || field < 0 || field >= fieldCount())
        return {};
    const Result& r = *m_result;
    if (row == r.current && r.state != State::Browse)
        return r.pending[std::size_t(field)];
    return r.store.value(r.order[std::size_t(row)], field);
}

QString QueryObject::textAt(int row, int field) const
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

bool QueryObject::isBlob(int row, int field) const
{
    const QVariant v = valueAt(row, field);
    return v.typeId() == QMetaType::QByteArray;
}

QVariant QueryObject::value(int field) const
{
    return m_result ? valueAt(m_result->current, field) : QVariant();
}

QString QueryObject::fieldText(int field) const
{
    return m_result ? textAt(m_result->current, field) : QString();
}

void QueryObject::first()
{
    requireOpen();
    checkBrowseMode();
    m_result->current = m_result->order.empty() ? -1 : 0;
    m_result->eof = m_result->order.empty();
    Q_EMIT afterScroll();
}

void QueryObject::next()
{
    requireOpen();
    checkBrowseMode();
    Result& r = *m_result;
    if (r.current + 1 >= int(r.order.size()) && isFetching()) {
        const Waiting waiting(*this);
        fetchMore(kNextBlockRows, std::chrono::milliseconds(0), true);
    }
    if (r.current + 1 < int(r.order.size())) {
        ++r.current;
        Q_EMIT afterScroll();
    } else {
        r.eof = true;
    }
}

bool QueryObject::eof() const
{
    return !m_result || m_result->eof;
}

void QueryObject::moveTo(int row)
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
    checkBrowseMode();
    if (int(r.order.size()) < before && row > from)
        --row;
    r.current = row;
    r.eof = false;
    Q_EMIT afterScroll();
}
