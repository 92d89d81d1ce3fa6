#include "db/openresult.h"

#include "common/error.h"
#include "db/queryresult.h"

#include <algorithm>

using queryresult::sameValue;

// Editing the open result: the state of the row being changed (browse, edit, insert), the values
// typed into it, and posting them to the row's tables or cancelling them.

namespace {

QVariant typedValue(const QString& text, Affinity affinity)
{
    if (text.isEmpty())
        return {};
    if (affinity == Affinity::Integer || affinity == Affinity::Real) {
        bool ok = false;
        const qint64 whole = text.trimmed().toLongLong(&ok);
        if (ok)
            return affinity == Affinity::Integer ? QVariant(whole) : QVariant(double(whole));
        const double real = text.trimmed().toDouble(&ok);
        if (ok)
            return real;
    }
    return text;
}

} // namespace

OpenResult::State OpenResult::state() const
{
    return m_result ? m_result->state : State::Inactive;
}

bool OpenResult::isModified() const
{
    return m_result && m_result->state != State::Browse && m_result->modified;
}

bool OpenResult::isReadOnly(int field) const
{
    return !m_result || field < 0 || field >= fieldCount() || m_result->fields[std::size_t(field)].origin.isEmpty();
}

void OpenResult::edit()
{
    requireCurrentRow();
    Result& r = *m_result;
    if (r.state != State::Browse)
        return;
    // A row is written only once the statement has been read to its end: the engine would
    // otherwise go on reading a table that changed under it.
    fetchAll();
    const std::uint32_t row = r.order[std::size_t(r.current)];
    r.pending.assign(r.fields.size(), QVariant());
    for (int f = 0; f < int(r.fields.size()); ++f)
        r.pending[std::size_t(f)] = r.store.value(row, f);
    r.modified = false;
    r.state = State::Edit;
    Q_EMIT rowChanged(r.current);
}

void OpenResult::insert()
{
    requireOpen();
    fetchAll();
    submitPending();
    insertAt(std::max(m_result->current, 0));
}

void OpenResult::append()
{
    requireOpen();
    fetchAll();
    submitPending();
    insertAt(int(m_result->order.size()));
}

void OpenResult::insertAt(int position)
{
    Result& r = *m_result;
    Q_EMIT rowAboutToBeInserted(position);
    // Under a filter the new row goes before the shown row it was made at, among all rows.
    const std::size_t place = std::size_t(position) < r.order.size() ? r.arranged.indexOf(r.order[std::size_t(position)])
                                                                     : r.arranged.size();
    const std::uint32_t row = r.store.appendEmptyRow();
    r.order.insert(std::size_t(position), row);
    r.arranged.insert(place, row);
    // In statement order the new row sits where it was made; under a sort it joins the end of
    // the statement's order, where an empty sort will show it.
    if (r.sort.column < 0)
        r.natural.insert(place, row);
    else
        r.natural.push_back(row);
    r.current = position;
    r.atEnd = false;
    r.state = State::Insert;
    r.pending.assign(r.fields.size(), QVariant());
    r.modified = false;
    Q_EMIT rowInserted(position);
    Q_EMIT currentRowChanged();
}

void OpenResult::removeRow(int position)
{
    Result& r = *m_result;
    Q_EMIT rowAboutToBeRemoved(position);
    const std::uint32_t row = r.order[std::size_t(position)];
    r.order.erase(std::size_t(position));
    r.arranged.eraseRow(row);
    r.natural.eraseRow(row);
    r.state = State::Browse;
    r.current = std::min(position, int(r.order.size()) - 1);
    r.atEnd = r.order.empty();
    Q_EMIT rowRemoved(position);
    Q_EMIT currentRowChanged();
}

void OpenResult::setFieldText(int field, const QString& text)
{
    requireCurrentRow();
    if (field < 0 || field >= fieldCount())
        throw racr::DatabaseError(message(QStringLiteral("There is no field %1.").arg(field)));
    setFieldValue(field, typedValue(text, m_result->fields[std::size_t(field)].affinity));
}

void OpenResult::setFieldValue(int field, const QVariant& value)
{
    requireCurrentRow();
    Result& r = *m_result;
    if (field < 0 || field >= int(r.fields.size()))
        throw racr::DatabaseError(message(QStringLiteral("There is no field %1.").arg(field)));
    if (isReadOnly(field))
        throw racr::DatabaseError(message(
            QStringLiteral("Field \"%1\" cannot be changed: the statement computes it, and only columns read from a table can be edited.")
                .arg(r.fields[std::size_t(field)].name)));
    edit();
    if (sameValue(r.pending[std::size_t(field)], value))
        return;
    r.pending[std::size_t(field)] = value;
    r.modified = true;
    Q_EMIT rowChanged(r.current);
}

void OpenResult::cancel()
{
    if (!m_result)
        return;
    Result& r = *m_result;
    if (r.state == State::Insert) {
        removeRow(r.current);
    } else if (r.state == State::Edit) {
        r.state = State::Browse;
        Q_EMIT rowChanged(r.current);
    }
}

void OpenResult::submitPending()
{
    if (!m_result)
        return;
    if (m_result->state == State::Insert && !m_result->modified)
        cancel();
    else
        submit();
}

void OpenResult::submit()
{
    requireOpen();
    Result& r = *m_result;
    if (r.state == State::Browse)
        return;
    if (!r.modified) {
        cancel();
        return;
    }
    const std::uint32_t row = r.order[std::size_t(r.current)];
    if (r.state == State::Edit) {
        try {
            writeEdit();
        } catch (...) {
            cancel();   // the row shows what the table still holds
            throw;
        }
    } else if (!writeInsert()) {
        cancel();
        return;
    }
    for (int f = 0; f < int(r.fields.size()); ++f)
        if (!sameValue(r.pending[std::size_t(f)], r.store.value(row, f)))
            r.store.set(row, f, r.pending[std::size_t(f)]);
    r.state = State::Browse;
    Q_EMIT rowChanged(r.current);
}

void OpenResult::deleteRecord()
{
    requireCurrentRow();
    fetchAll();
    if (m_result->state == State::Insert) {
        cancel();
        return;
    }
    cancel();
    writeDelete();
    removeRow(m_result->current);
}
