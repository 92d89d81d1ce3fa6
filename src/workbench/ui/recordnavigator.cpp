#include "workbench/ui/recordnavigator.h"

#include <QApplication>
#include <QIconEngine>
#include <QPainter>
#include <QPainterPath>
#include <QPalette>
#include <QToolButton>

namespace {
struct ButtonText {
    const char* name;     // objectName, for tests and style sheets
    const char* tip;
};

const ButtonText buttonTexts[RecordNavigator::ButtonCount] = {
    {"firstRecord", "First record"},  {"priorRecord", "Prior record"}, {"nextRecord", "Next record"},
    {"lastRecord", "Last record"},    {"insertRecord", "Insert record"}, {"deleteRecord", "Delete record"},
    {"editRecord", "Edit record"},    {"postEdit", "Post edit"},      {"cancelEdit", "Cancel edit"},
};

// The symbols are drawn, not taken from a font: a desktop whose fonts lack the arrow or check
// glyphs would show empty boxes. Drawn in a 16 x 16 square, in the palette's text colour.
class SymbolEngine : public QIconEngine {
public:
    explicit SymbolEngine(RecordNavigator::Button which) : m_which(which) {}

    void paint(QPainter* painter, const QRect& rect, QIcon::Mode mode, QIcon::State) override
    {
        const QPalette palette = QApplication::palette();
        const QColor ink = palette.color(mode == QIcon::Disabled ? QPalette::Disabled : QPalette::Active,
                                         QPalette::ButtonText);
        const qreal side = std::min(rect.width(), rect.height());
        painter->save();
        painter->setRenderHint(QPainter::Antialiasing);
        painter->translate(rect.center().x() + 0.5 - side / 2, rect.center().y() + 0.5 - side / 2);
        painter->scale(side / 16.0, side / 16.0);
        painter->setPen(QPen(ink, 2.0, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        painter->setBrush(ink);
        const auto triangle = [painter](qreal tipX, qreal baseX) {
            painter->drawPolygon(QPolygonF{{tipX, 8}, {baseX, 3.5}, {baseX, 12.5}});
        };
        switch (m_which) {
        case RecordNavigator::First:
            painter->drawLine(QPointF(4, 3.5), QPointF(4, 12.5));
            triangle(6, 12);
            break;
        case RecordNavigator::Prior:
            triangle(5, 11);
            break;
        case RecordNavigator::Next:
            triangle(11, 5);
            break;
        case RecordNavigator::Last:
            triangle(10, 4);
            painter->drawLine(QPointF(12, 3.5), QPointF(12, 12.5));
            break;
        case RecordNavigator::Insert:
            painter->drawLine(QPointF(8, 3), QPointF(8, 13));
            painter->drawLine(QPointF(3, 8), QPointF(13, 8));
            break;
        case RecordNavigator::Delete:
            painter->drawLine(QPointF(3, 8), QPointF(13, 8));
            break;
        case RecordNavigator::Edit:
            painter->drawPolygon(QPolygonF{{8, 4}, {3.5, 11}, {12.5, 11}});
            break;
        case RecordNavigator::Submit:
            painter->setBrush(Qt::NoBrush);
            painter->drawPolyline(QPolygonF{{3, 8.5}, {6.5, 12}, {13, 4}});
            break;
        case RecordNavigator::Cancel:
            painter->drawLine(QPointF(4, 4), QPointF(12, 12));
            painter->drawLine(QPointF(12, 4), QPointF(4, 12));
            break;
        case RecordNavigator::ButtonCount:
            break;
        }
        painter->restore();
    }

    QPixmap pixmap(const QSize& size, QIcon::Mode mode, QIcon::State state) override
    {
        QPixmap picture(size);
        picture.fill(Qt::transparent);
        QPainter painter(&picture);
        paint(&painter, QRect(QPoint(), size), mode, state);
        return picture;
    }

    QIconEngine* clone() const override { return new SymbolEngine(m_which); }

private:
    const RecordNavigator::Button m_which;
};
} // namespace

RecordNavigator::RecordNavigator(QWidget* parent) : QWidget(parent)
{
    for (int i = 0; i < ButtonCount; ++i) {
        auto* b = new QToolButton(this);
        b->setObjectName(QLatin1String(buttonTexts[i].name));
        b->setIcon(QIcon(new SymbolEngine(Button(i))));
        b->setIconSize(QSize(12, 12));
        b->setToolButtonStyle(Qt::ToolButtonIconOnly);
        b->setToolTip(QLatin1String(buttonTexts[i].tip));
        b->setAccessibleName(QLatin1String(buttonTexts[i].tip));   // the symbol says nothing to a screen reader
        // The grid keeps the focus, so an open cell editor is still there to submit or cancel.
        b->setFocusPolicy(Qt::NoFocus);
        connect(b, &QToolButton::clicked, this, [this, i] { Q_EMIT clicked(Button(i)); });
        m_buttons[i] = b;
    }
}

void RecordNavigator::setButtonEnabled(Button which, bool enabled)
{
    m_buttons[which]->setEnabled(enabled);
}

void RecordNavigator::resizeEvent(QResizeEvent*)
{
    // Equal widths across the whole control, the last button taking what is left over.
    const int count = ButtonCount;
    int x = 0;
    for (int i = 0; i < count; ++i) {
        const int right = (i + 1) * width() / count;
        m_buttons[i]->setGeometry(x, 0, right - x, height());
        x = right;
    }
}
