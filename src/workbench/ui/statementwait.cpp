#include "workbench/ui/statementwait.h"

#include "common/ui/inputblocker.h"

#include <QAbstractButton>
#include <QCoreApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QWidget>
#include <QWindow>

StatementWait::StatementWait(QAbstractButton* stopButton, QObject* parent)
    : QObject(parent), m_stopButton(stopButton)
{
}

bool StatementWait::operator()()
{
    m_stopAsked = false;
    // The blocker drops the input; this filter, installed after it and so asked first, only
    // watches for the three ways to stop.
    const InputBlocker blocker;
    QCoreApplication::instance()->installEventFilter(this);
    QCoreApplication::processEvents();
    QCoreApplication::instance()->removeEventFilter(this);
    return m_stopAsked;
}

// A click arrives first at the top-level window and goes no further while input is blocked, so
// it is matched to the button by its place, not by the widget it would have reached.
bool StatementWait::pressesStopButton(QObject* watched, const QMouseEvent* press) const
{
    if (press->button() != Qt::LeftButton || !m_stopButton->isEnabled() || !m_stopButton->isVisible())
        return false;
    if (watched == m_stopButton)
        return true;
    QWidget* window = m_stopButton->window();
    if (watched != window && watched != window->windowHandle())
        return false;
    const QPoint inWindow = press->position().toPoint();
    return m_stopButton->rect().contains(m_stopButton->mapFrom(window, inWindow));
}

bool StatementWait::eventFilter(QObject* watched, QEvent* event)
{
    switch (event->type()) {
    case QEvent::KeyPress:
        if (static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape)
            m_stopAsked = true;
        break;
    case QEvent::MouseButtonPress:
        if (pressesStopButton(watched, static_cast<QMouseEvent*>(event)))
            m_stopAsked = true;
        break;
    case QEvent::Close:
        m_stopAsked = true;
        break;
    default:
        break;
    }
    return false;
}
