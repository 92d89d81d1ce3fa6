#include "db/openresult.h"

#include "db/queryresult.h"

void OpenResult::setFilter(const RowFilter& filter)
{
    requireOpen();
    submitPending();
    Result& r = *m_result;
    RowOrder shown = filter.apply(r.store, r.arranged);
    const std::size_t wasCurrent = r.current >= 0 ? shown.indexOf(r.order[std::size_t(r.current)]) : shown.size();
    Q_EMIT resultAboutToChange();
    r.filter = filter;
    r.order = std::move(shown);
    r.current = wasCurrent < r.order.size() ? int(wasCurrent) : (r.order.empty() ? -1 : 0);
    r.atEnd = r.order.empty();
    Q_EMIT resultChanged();
    Q_EMIT currentRowChanged();
}

RowFilter OpenResult::filter() const
{
    return m_result ? m_result->filter : RowFilter();
}

int OpenResult::loadedCount() const
{
    return m_result ? int(m_result->arranged.size()) : 0;
}
