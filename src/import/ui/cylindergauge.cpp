#include "import/ui/cylindergauge.h"

#include <QAccessible>
#include <QAccessibleValueInterface>
#include <QAccessibleWidget>
#include <QLinearGradient>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>

#include <algorithm>

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

GaugeColours gaugeColours(const QPalette& palette)
{
    const QColor window = palette.color(QPalette::Window);
    if (window.lightness() >= 128)
        return {QColor(150, 150, 150), QColor(236, 236, 236), QColor(112, 112, 112),
                QColor(205, 205, 205), Qt::white, QColor(170, 170, 170),
                QColor(200, 200, 200), Qt::white,
                Qt::black, Qt::black, QColor(128, 128, 128)};
    // Dark: the empty tube a little below the window, the filled part a step above it, the
    // palette's text over both. Lightness is capped so light text keeps its contrast.
    const auto shade = [](const QColor& colour, int lightness) {
        return QColor::fromHsl(colour.hslHue(), std::min(colour.hslSaturation(), 40), lightness);
    };
    const int base = std::min(window.lightness(), 60);
    const QColor text = palette.color(QPalette::WindowText).lightness() >= 180 ? palette.color(QPalette::WindowText)
                                                                                : QColor(235, 235, 235);
    return {shade(window, base + 8), shade(window, base + 22), shade(window, std::max(0, base - 15)),
            shade(window, base + 25), shade(window, base + 45), shade(window, base + 12),
            shade(window, base + 18), shade(window, base + 45),
            text, text, Qt::black};
}

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
    const GaugeColours colours = gaugeColours(palette());
    const QPen outline(colours.outline, 1);

    // The empty tube, then the filled part over it.
    painter.setPen(Qt::NoPen);
    painter.setBrush(tubeShade(area, colours.emptyEdge, colours.emptyLight, colours.emptyBottom));
    painter.drawPath(tube(left, right, area.top(), area.height(), cap));
    if (fraction > 0) {
        painter.setBrush(tubeShade(area, colours.filledEdge, colours.filledLight, colours.filledBottom));
        painter.drawPath(tube(left, filled, area.top(), area.height(), cap));
    }

    // Outlines: the tube, its visible far end, and the face where the white stops.
    painter.setBrush(Qt::NoBrush);
    painter.setPen(outline);
    painter.drawPath(tube(left, right, area.top(), area.height(), cap));
    painter.setBrush(colours.farEnd);
    painter.drawEllipse(QRectF(right - cap, area.top(), 2 * cap, area.height()));
    if (fraction > 0 && fraction < 1) {
        painter.setBrush(colours.filledFace);
        painter.drawEllipse(QRectF(filled - cap, area.top(), 2 * cap, area.height()));
    }

    // The text with its shadow one pixel down and to the right.
    const QString label = text();
    painter.setPen(colours.shadow);
    painter.drawText(rect().translated(1, 1), Qt::AlignCenter, label);
    painter.setPen(colours.text);
    painter.drawText(rect(), Qt::AlignCenter, label);
}

void CylinderGauge::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()))
        Q_EMIT clicked();
    QWidget::mouseReleaseEvent(event);
}
