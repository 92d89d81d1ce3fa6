#pragma once

#include <QLabel>

// A label drawn as a link (in the theme's link colour, underlined, hand cursor) that acts on a
// single click. It is also a link to the keyboard and to assistive technology: Tab reaches it,
// Enter or Space opens it, a focus frame shows where the keyboard is, and screen readers see a
// link with a press action.
class LinkLabel : public QLabel {
    Q_OBJECT

public:
    LinkLabel(const QString& text, QWidget* parent = nullptr);

    // Opens the link as a click does.
    void activate();

Q_SIGNALS:
    void clicked();

protected:
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
};
