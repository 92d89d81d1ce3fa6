#include "import/gauge.h"

#include <algorithm>

int GaugeModel::percent() const
{
    if (m_maximum <= m_minimum)
        return 0;
    // Integer arithmetic so that exact halves (1 of 8 is 12.5) round to even, not by luck of a double.
    const qint64 covered = qint64(m_position - m_minimum) * 100;
    const qint64 range = qint64(m_maximum) - m_minimum;
    qint64 whole = covered / range;
    const qint64 twiceRest = (covered % range) * 2;
    if (twiceRest > range || (twiceRest == range && whole % 2 != 0))
        ++whole;
    return int(whole);
}

QString GaugeModel::text() const
{
    const int p = percent();
    return p == 100 ? QStringLiteral("Done") : QString::number(p) + QLatin1Char('%');
}

bool GaugeModel::setMaximum(int maximum)
{
    const int newMaximum = std::max(maximum, m_minimum);
    return change(newMaximum, std::min(m_position, newMaximum));
}

bool GaugeModel::setPosition(int position)
{
    return change(m_maximum, std::clamp(position, m_minimum, m_maximum));
}

bool GaugeModel::stepIt()
{
    return change(m_maximum, int(std::min<qint64>(qint64(m_position) + m_step, m_maximum)));
}

bool GaugeModel::change(int maximum, int position)
{
    const bool wasAtMaximum = atMaximum();
    m_maximum = maximum;
    m_position = position;
    return atMaximum() && !wasAtMaximum;
}
