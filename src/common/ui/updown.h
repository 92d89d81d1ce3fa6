#pragma once

#include <QWidget>

class QLineEdit;
class QToolButton;

// A pair of arrow buttons attached to an edit. A click steps the number in the edit within
// [minimum, maximum], wrapping at the ends; the edit still takes any typed text, which callers
// send as typed. The arrows take their accessible names from the edit's ("Week number up"), so
// the edit is named before the arrows are made.
class UpDown : public QWidget {
    Q_OBJECT

public:
    UpDown(QLineEdit* buddy, int minimum, int maximum, QWidget* parent = nullptr);

    int position() const { return m_position; }
    void setPosition(int position);   // clamped; written into the edit

public Q_SLOTS:
    void stepUp();
    void stepDown();

private:
    void step(int delta);

    QLineEdit* m_buddy;
    QToolButton* m_up;
    QToolButton* m_down;
    int m_minimum;
    int m_maximum;
    int m_position;
};
