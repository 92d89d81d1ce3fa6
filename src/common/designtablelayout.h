#pragma once

#include <QLayout>
#include <QList>
#include <QRect>

// One window's table of controls: each stands at the rectangle it was designed at, so that at the
// design size every control is where the design puts it, pixel for pixel. A window that grows
// moves the edges a control's row names by the growth: the main content follows the window's
// right and bottom edges and takes the extra room, a control below it follows the bottom, and
// the others stay. The window cannot become smaller than its design size.
class DesignTableLayout : public QLayout {
public:
    DesignTableLayout(QWidget* window, const QSize& designSize);
    ~DesignTableLayout() override;

    // `follow`: the edges of the control that move with the window's growth (Qt::RightEdge and
    // Qt::BottomEdge stretch it; with Qt::LeftEdge or Qt::TopEdge as well it moves along).
    void place(QWidget* control, const QRect& design, Qt::Edges follow = {});

    QSize sizeHint() const override { return m_designSize; }
    QSize minimumSize() const override { return m_designSize; }
    void setGeometry(const QRect& area) override;
    void addItem(QLayoutItem* item) override;
    QLayoutItem* itemAt(int index) const override;
    QLayoutItem* takeAt(int index) override;
    int count() const override { return int(m_rows.size()); }

private:
    struct Row {
        QLayoutItem* item;
        QRect design;
        Qt::Edges follow;
    };

    QSize m_designSize;
    QList<Row> m_rows;
};
