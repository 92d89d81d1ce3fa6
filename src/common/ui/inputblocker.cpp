#include "common/ui/inputblocker.h"

#include <QCoreApplication>
#include <QKeyEvent>
#include <QWidget>

InputBlocker::InputBlocker(QObject* escapeWindow) : m_escapeWindow(escapeWindow)
{
    QCoreApplication::instance()->installEventFilter(this);
}

InputBlocker::~InputBlocker()
{
    QCoreApplication::instance()->removeEventFilter(this);
}

bool InputBlocker::eventFilter(QObject* watched, QEvent* event)
{
    switch (event->type()) {
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
    case QEvent::ShortcutOverride: {
        const auto* key = static_cast<QKeyEvent*>(event);
        const auto* widget = qobject_cast<QWidget*>(watched);
        const bool escapeCloses = m_escapeWindow != nullptr && key->key() == Qt::Key_Escape
                                  && key->modifiers() == Qt::NoModifier && widget != nullptr
                                  && widget->window() == m_escapeWindow;
        return !escapeCloses;
    }
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::Wheel:
    case QEvent::TouchBegin:
    case QEvent::TouchUpdate:
    case QEvent::TouchEnd:
    case QEvent::TabletPress:
    case QEvent::TabletRelease:
    case QEvent::ContextMenu:
    case QEvent::Shortcut:
        return true;
    default:
        return false;
    }
}
