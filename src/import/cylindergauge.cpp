#include "cylindergauge.h"

#include <QAccessible>
#include <QAccessibleValueInterface>
#include <QAccessibleWidget>
#include <QLinearGradient>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>

namespace {

// Light from above: dark at the top edge, a highlight a third of the way down, darkest below.
QLinearGradient tubeShade(const QRectF& body, const QColor& edge, const QColor& light, const QColor& bottom)
{
    QLinearGradient shade(body.topLeft(), body.bottomLeft());
    shade.setColorAt(0.0, edge);
    shade.setColorAt(0.35, light);
    shade.setColorAt(1.0, bottom);
    return shade;
}

// A tube from x = left to x = right seen from the side: rounded ends of half-width `cap`.
QPainterPath tube(qreal left, qreal right, qreal top, qreal height, qreal cap)
{
    QPainterPath path;
    path.moveTo(left, top);
    path.lineTo(right, top);
    path.arcTo(QRectF(right - cap, top, 2 * cap, height), 90, -180);
    path.lineTo(left, top + height);
    path.arcTo(QRectF(left - cap, top, 2 * cap, height), 270, -180);
    path.closeSubpath();
    return path;
}

// What assistive technology sees of the gauge: a progress bar whose value is the percentage
// and whose value text is what the gauge shows ("42%", "Done"). It cannot be set from outside.
class AccessibleProgressCyl : public QAccessibleWidget, public QAccessibleValueInterface {
public:
    explicit AccessibleProgressCyl(CylinderGauge* gauge) : QAccessibleWidget(gauge, QAccessible::ProgressBar) {}

    QString text(QAccessible::Text t) const override
    {
        return t == QAccessible::Value ? gauge()->text() : QAccessibleWidget::text(t);
    }

    void* interface_cast(QAccessible::InterfaceType type) override
    {
        if (type == QAccessible::ValueInterface)
            return static_cast<QAccessibleValueInterface*>(this);
        return QAccessibleWidget::interface_cast(type);
    }

    QVariant currentValue() const override { return gauge()->percent(); }
    void setCurrentValue(const QVariant&) override {}
    QVariant maximumValue() const override { return 100; }
    QVariant minimumValue() const override { return 0; }
    QVariant minimumStepSize() const override { return 0; }

private:
    CylinderGauge* gauge() const { return static_cast<CylinderGauge*>(widget()); }
};

QAccessibleInterface* progressCylFactory(const QString& className, QObject* object)
{
    if (className == QLatin1String("CylinderGauge"))
        if (auto* gauge = qobject_cast<CylinderGauge*>(object))
            return new AccessibleProgressCyl(gauge);
    return nullptr;
}

} // namespace

CylinderGauge::CylinderGauge(QWidget* parent) : QWidget(parent)
{
    static const bool factoryInstalled = [] {
        QAccessible::installFactory(progressCylFactory);
        return true;
    }();
    Q_UNUSED(factoryInstalled);

    QFont bold(QStringLiteral("Arial"));
    bold.setPointSize(font().pointSize() > 0 ? font().pointSize() : 9);
    bold.setBold(true);
    setFont(bold);
}

void CylinderGauge::setMaximum(int maximum)
{
    changed(m_gauge.setMaximum(maximum));
}

void CylinderGauge::setPosition(int position)
{
    changed(m_gauge.setPosition(position));
}

void CylinderGauge::stepIt()
{
    changed(m_gauge.stepIt());
}

void CylinderGauge::changed(bool done)
{
    update();
    if (QAccessible::isActive()) {
        QAccessibleValueChangeEvent event(this, percent());
        QAccessible::updateAccessibility(&event);
    }
    if (done)
        Q_EMIT progressDone();
}

void CylinderGauge::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);

    const QRectF area = QRectF(rect()).adjusted(1, 1, -1, -1);
    const qreal cap = std::max<qreal>(2, area.height() / 8);
    const qreal left = area.left() + cap;
    const qreal right = area.right() - cap;
    const qreal range = qreal(maximum() - minimum());
    const qreal fraction = range > 0 ? (position() - minimum()) / range : 0;
    const qreal filled = left + (right - left) * fraction;
    const QPen outline(Qt::black, 1);

    // The empty tube in silver, then the filled part in white over it.
    painter.setPen(Qt::NoPen);
    painter.setBrush(tubeShade(area, QColor(150, 150, 150), QColor(236, 236, 236), QColor(112, 112, 112)));
    painter.drawPath(tube(left, right, area.top(), area.height(), cap));
    if (fraction > 0) {
        painter.setBrush(tubeShade(area, QColor(205, 205, 205), Qt::white, QColor(170, 170, 170)));
        painter.drawPath(tube(left, filled, area.top(), area.height(), cap));
    }

    // Outlines: the tube, its visible far end, and the face where the white stops.
    painter.setBrush(Qt::NoBrush);
    painter.setPen(outline);
    painter.drawPath(tube(left, right, area.top(), area.height(), cap));
    painter.setBrush(QColor(200, 200, 200));
    painter.drawEllipse(QRectF(right - cap, area.top(), 2 * cap, area.height()));
    if (fraction > 0 && fraction < 1) {
        painter.setBrush(Qt::white);
        painter.drawEllipse(QRectF(filled - cap, area.top(), 2 * cap, area.height()));
    }

    // The text with its shadow one pixel down and to the right.
    const QString label = text();
    painter.setPen(QColor(128, 128, 128));
    painter.drawText(rect().translated(1, 1), Qt::AlignCenter, label);
    painter.setPen(Qt::black);
    painter.drawText(rect(), Qt::AlignCenter, label);
}

void CylinderGauge::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()))
        Q_EMIT clicked();
    QWidget::mouseReleaseEvent(event);
}
