#include "designtablelayout.h"

#include <QWidget>
#include <algorithm>

DesignTableLayout::DesignTableLayout(QWidget* window, const QSize& designSize)
    : QLayout(window), m_designSize(designSize)
{
    setContentsMargins(0, 0, 0, 0);
    setSpacing(0);
}

DesignTableLayout::~DesignTableLayout()
{
    for (const Row& row : std::as_const(m_rows))
        delete row.item;
}

void DesignTableLayout::place(QWidget* control, const QRect& design, Qt::Edges follow)
{
    addChildWidget(control);
    m_rows.append({new QWidgetItem(control), design, follow});
    control->setGeometry(design);
    invalidate();
}

// A control added without a row of its own keeps the rectangle it has.
void DesignTableLayout::addItem(QLayoutItem* item)
{
    m_rows.append({item, item->geometry(), {}});
}

QLayoutItem* DesignTableLayout::itemAt(int index) const
{
    return index >= 0 && index < m_rows.size() ? m_rows.at(index).item : nullptr;
}

QLayoutItem* DesignTableLayout::takeAt(int index)
{
    return index >= 0 && index < m_rows.size() ? m_rows.takeAt(index).item : nullptr;
}

// The rectangles are set on the controls as they stand in the table: a layout item would fit them
// to the controls' size hints and policies, and the design's sizes are the ones wanted.
void DesignTableLayout::setGeometry(const QRect& area)
{
    QLayout::setGeometry(area);
    const int dx = std::max(0, area.width() - m_designSize.width());
    const int dy = std::max(0, area.height() - m_designSize.height());
    for (const Row& row : std::as_const(m_rows)) {
        QRect r = row.design;
        r.setLeft(r.left() + (row.follow & Qt::LeftEdge ? dx : 0));
        r.setRight(r.right() + (row.follow & Qt::RightEdge ? dx : 0));
        r.setTop(r.top() + (row.follow & Qt::TopEdge ? dy : 0));
        r.setBottom(r.bottom() + (row.follow & Qt::BottomEdge ? dy : 0));
        if (QWidget* control = row.item->widget())
            control->setGeometry(r.translated(area.topLeft()));
        else
            row.item->setGeometry(r.translated(area.topLeft()));
    }
}
