#pragma once

#include "import/gauge.h"

#include <QWidget>

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
