#pragma once

#include <QWidget>

// Keeps the control that starts a request disabled while the window waits for the answer, so
// that the window takes no second request meanwhile; focus returns to it afterwards.
class WaitingControl {
public:
    explicit WaitingControl(QWidget* control) : m_control(control), m_hadFocus(control->hasFocus())
    {
        m_control->setEnabled(false);
    }
    ~WaitingControl()
    {
        m_control->setEnabled(true);
        if (m_hadFocus)
            m_control->setFocus();
    }
    WaitingControl(const WaitingControl&) = delete;
    WaitingControl& operator=(const WaitingControl&) = delete;

private:
    QWidget* m_control;
    bool m_hadFocus;
};
