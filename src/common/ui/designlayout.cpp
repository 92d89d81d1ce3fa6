#include "common/ui/designlayout.h"

#include <QWidget>

DesignLayout::DesignLayout(QWidget* container, const QSize& designSize) : QLayout(container), m_design(designSize)
{
    setContentsMargins(0, 0, 0, 0);
    setSizeConstraint(QLayout::SetDefaultConstraint);
}

DesignLayout::~DesignLayout()
{
    for (const Entry& entry : std::as_const(m_entries))
        delete entry.item;
}

void DesignLayout::place(QWidget* widget, const QRect& designed, Qt::Edges following)
{
    addChildWidget(widget);
    m_entries.append({new QWidgetItem(widget), designed, following});
    // Code that reads a control's place before the first layout pass sees its design.
    widget->setGeometry(designed);
    m_placedFor = QRect();
    invalidate();
}

// A widget handed over without a rectangle keeps the one it has.
void DesignLayout::addItem(QLayoutItem* item)
{
    m_entries.append({item, item->geometry(), {}});
    m_placedFor = QRect();
}

int DesignLayout::count() const
{
    return int(m_entries.size());
}

QLayoutItem* DesignLayout::itemAt(int index) const
{
    return index >= 0 && index < m_entries.size() ? m_entries[index].item : nullptr;
}

QLayoutItem* DesignLayout::takeAt(int index)
{
    if (index < 0 || index >= m_entries.size())
        return nullptr;
    m_placedFor = QRect();
    return m_entries.takeAt(index).item;
}

QRect DesignLayout::placed(const QRect& designed, Qt::Edges following, const QSize& design, const QSize& size)
{
    const int dx = std::max(0, size.width() - design.width());
    const int dy = std::max(0, size.height() - design.height());
    QRect r = designed;
    r.setLeft(r.left() + (following & Qt::LeftEdge ? dx : 0));
    r.setRight(r.right() + (following & Qt::RightEdge ? dx : 0));
    r.setTop(r.top() + (following & Qt::TopEdge ? dy : 0));
    r.setBottom(r.bottom() + (following & Qt::BottomEdge ? dy : 0));
    return r;
}

// Widgets are placed again only when the container's rectangle changed: between two resizes a
// widget may adjust its own place (a label sized to its text, a pane sharing the editor's room),
// and showing or hiding another widget must not undo that.
void DesignLayout::setGeometry(const QRect& rect)
{
    QLayout::setGeometry(rect);
    if (rect == m_placedFor)
        return;
    m_placedFor = rect;
    for (const Entry& entry : std::as_const(m_entries)) {
        const QRect r = placed(entry.designed, entry.following, m_design, rect.size()).translated(rect.topLeft());
        // The widget itself, not QWidgetItem::setGeometry: a style's layout margins would shift it
        // off the designed rectangle.
        if (QWidget* widget = entry.item->widget())
            widget->setGeometry(r);
        else
            entry.item->setGeometry(r);
    }
}
