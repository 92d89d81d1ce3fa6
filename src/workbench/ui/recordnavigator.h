#pragma once

#include <QWidget>

class QToolButton;

// The record navigator under the grid: first, prior, next, last, insert, delete, edit, submit,
// cancel. It only shows buttons and says which was pressed; the grid's owner acts.
class RecordNavigator : public QWidget {
    Q_OBJECT

public:
    enum Button { First, Prior, Next, Last, Insert, Delete, Edit, Submit, Cancel, ButtonCount };

    explicit RecordNavigator(QWidget* parent = nullptr);

    QToolButton* button(Button which) const { return m_buttons[which]; }
    void setButtonEnabled(Button which, bool enabled);

Q_SIGNALS:
    void clicked(RecordNavigator::Button which);

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    QToolButton* m_buttons[ButtonCount];
};
