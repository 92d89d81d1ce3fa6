#include "common/ui/updown.h"

#include <QLineEdit>
#include <QToolButton>
#include <QVBoxLayout>

UpDown::UpDown(QLineEdit* buddy, int minimum, int maximum, QWidget* parent)
    : QWidget(parent)
    , m_buddy(buddy)
    , m_up(new QToolButton(this))
    , m_down(new QToolButton(this))
    , m_minimum(minimum)
    , m_maximum(maximum)
    , m_position(minimum)
{
    m_up->setObjectName(QStringLiteral("up"));
    m_down->setObjectName(QStringLiteral("down"));
    m_up->setArrowType(Qt::UpArrow);
    m_down->setArrowType(Qt::DownArrow);
    // Named after the edit they step, for screen readers.
    m_up->setAccessibleName(buddy->accessibleName() + QStringLiteral(" up"));
    m_down->setAccessibleName(buddy->accessibleName() + QStringLiteral(" down"));
    m_up->setAutoRepeat(true);
    m_down->setAutoRepeat(true);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(m_up);
    layout->addWidget(m_down);
    connect(m_up, &QToolButton::clicked, this, &UpDown::stepUp);
    connect(m_down, &QToolButton::clicked, this, &UpDown::stepDown);
    bool ok = false;
    const int typed = buddy->text().toInt(&ok);
    if (ok)
        m_position = qBound(minimum, typed, maximum);
}

void UpDown::setPosition(int position)
{
    m_position = qBound(m_minimum, position, m_maximum);
    m_buddy->setText(QString::number(m_position));
}

void UpDown::stepUp()
{
    step(1);
}

void UpDown::stepDown()
{
    step(-1);
}

void UpDown::step(int delta)
{
    // A number typed into the edit is where the step starts; other text leaves the last position.
    bool ok = false;
    const int typed = m_buddy->text().trimmed().toInt(&ok);
    int next = (ok ? qBound(m_minimum, typed, m_maximum) : m_position) + delta;
    if (next > m_maximum)
        next = m_minimum;
    else if (next < m_minimum)
        next = m_maximum;
    setPosition(next);
}
