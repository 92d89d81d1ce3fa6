#include "statementwait.h"

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
        return true;
    case QEvent::MouseButtonPress:
        if (watched == m_stopButton)
            m_stopAsked = true;
        return true;
    case QEvent::Close:
        m_stopAsked = true;
        return false;
    case QEvent::KeyRelease:
    case QEvent::ShortcutOverride:
    case QEvent::Shortcut:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::Wheel:
    case QEvent::TouchBegin:
    case QEvent::TouchUpdate:
    case QEvent::TouchEnd:
    case QEvent::ContextMenu:
        return true;
    default:
        return false;
    }
}
