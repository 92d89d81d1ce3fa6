#include "statementwait.h"

#include "common/inputblocker.h"

#include <QAbstractButton>
#include <QCoreApplication>
#include <QKeyEvent>

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

bool StatementWait::eventFilter(QObject* watched, QEvent* event)
{
    switch (event->type()) {
    case QEvent::KeyPress:
        if (static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape)
            m_stopAsked = true;
        break;
    case QEvent::MouseButtonPress:
        if (watched == m_stopButton)
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
