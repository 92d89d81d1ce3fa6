#pragma once

#include "import/gauge.h"

#include <QColor>
#include <QWidget>

// The gauge's paint. On a light desktop the design's own: a silver tube filling white, black
// outlines and text; on a dark one the same shading in the palette's dark colours with its light
// text, so the percentage stays readable over either part of the tube.
struct GaugeColours {
    QColor emptyEdge, emptyLight, emptyBottom;    // the tube's shading, top to bottom
    QColor filledEdge, filledLight, filledBottom;
    QColor farEnd, filledFace;                    // the ellipses at the far end and where the fill stops
    QColor outline, text, shadow;
};
GaugeColours gaugeColours(const QPalette& palette);

// The import window's progress gauge: a horizontal cylinder that fills white over silver from
// left to right, with black outlines and the percentage (or "Done") in bold with a shadow.
class CylinderGauge : public QWidget {
    Q_OBJECT

public:
    explicit CylinderGauge(QWidget* parent = nullptr);

    int minimum() const { return m_gauge.minimum(); }
    int maximum() const { return m_gauge.maximum(); }
    int position() const { return m_gauge.position(); }
    int percent() const { return m_gauge.percent(); }
    QString text() const { return m_gauge.text(); }

    void setMaximum(int maximum);
    void setPosition(int position);
    void stepIt();

Q_SIGNALS:
    void progressDone();   // the position arrived at the maximum
    void clicked();

protected:
    void paintEvent(QPaintEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    void changed(bool done);

    GaugeModel m_gauge;
};
