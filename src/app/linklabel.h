#pragma once

#include <QLabel>

// A label drawn as a link (in the theme's link colour, underlined, hand cursor) that acts on a
// single click.
class LinkLabel : public QLabel {
    Q_OBJECT

public:
    LinkLabel(const QString& text, QWidget* parent = nullptr);

Q_SIGNALS:
    void clicked();

protected:
    void mouseReleaseEvent(QMouseEvent* event) override;
};
