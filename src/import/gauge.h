#pragma once

#include <QString>

// The arithmetic of the progress gauge, apart from its drawing. Every change reports whether it
// raised the done event: that happens when the position arrives at the maximum, once per arrival.
class GaugeModel {
public:
    int minimum() const { return m_minimum; }
    int maximum() const { return m_maximum; }
    int position() const { return m_position; }

    // Percentage of the range covered, rounded to the nearest integer with ties to even.
    // An empty range (maximum equal to minimum) shows 0: there is nothing to measure.
    int percent() const;
    // "<percent>%", or "Done" once the percentage is 100.
    QString text() const;

    // A maximum below the minimum is taken as the minimum; the position is pulled into range.
    bool setMaximum(int maximum);
    bool setPosition(int position);   // clamped to [minimum, maximum]
    bool stepIt();                    // adds the step, stops at the maximum

private:
    bool atMaximum() const { return m_maximum > m_minimum && m_position == m_maximum; }
    bool change(int maximum, int position);

    int m_minimum = 0;
    int m_maximum = 172;
    int m_position = 0;
    int m_step = 1;
};
