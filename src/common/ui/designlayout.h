#pragma once

#include <QLayout>
#include <QList>
#include <QRect>

// Places widgets at the rectangles a window was designed with, in one table per window. In a
// container of the design size every widget stands exactly at its rectangle; in a larger one the
// edges named for a widget move with the growth (Qt::RightEdge and Qt::BottomEdge make it grow,
// Qt::TopEdge | Qt::BottomEdge moves it down). The container is never made smaller than the design.
class DesignLayout : public QLayout {
public:
    DesignLayout(QWidget* container, const QSize& designSize);
    ~DesignLayout() override;

    // `designed` is in the container's design coordinates; the table's order is the order in
    // which the widgets are placed.
    void place(QWidget* widget, const QRect& designed, Qt::Edges following = {});

    void addItem(QLayoutItem* item) override;
    int count() const override;
    QLayoutItem* itemAt(int index) const override;
    QLayoutItem* takeAt(int index) override;
    QSize sizeHint() const override { return m_design; }
    QSize minimumSize() const override { return m_design; }
    void setGeometry(const QRect& rect) override;

    // Where `designed` lies in a container of `size`.
    static QRect placed(const QRect& designed, Qt::Edges following, const QSize& design, const QSize& size);

private:
    struct Entry {
        QLayoutItem* item;
        QRect designed;
        Qt::Edges following;
    };
    QList<Entry> m_entries;
    QSize m_design;
    QRect m_placedFor;   // the rectangle the widgets were last placed in
};
