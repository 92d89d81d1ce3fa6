#include "queryobject.h"

#include "queryresult.h"

void QueryObject::setFilter(const RowFilter& filter)
{
    requireOpen();
    checkBrowseMode();
    Result& r = *m_result;
    RowOrder shown = filter.apply(r.store, r.arranged);
    const std::size_t wasCurrent = r.current >= 0 ? shown.indexOf(r.order[std::size_t(r.current)]) : shown.size();
    Q_EMIT resultAboutToChange();
    r.filter = filter;
    r.order = std::move(shown);
    r.current = wasCurrent < r.order.size() ? int(wasCurrent) : (r.order.empty() ? -1 : 0);
    r.eof = r.order.empty();
    Q_EMIT resultChanged();
    Q_EMIT afterScroll();
}

RowFilter QueryObject::filter() const
{
    return m_result ? m_result->filter : RowFilter();
}

int QueryObject::loadedCount() const
{
    return m_result ? int(m_result->arranged.size()) : 0;
}
