#include "workbench/ui/errorpane.h"

#include "workbench/ui/sqleditor.h"

#include <QEvent>

#include <algorithm>

ErrorPane::ErrorPane(SqlEditor* editor, QWidget* box) : QLabel(box), m_editor(editor)
{
    setObjectName(QStringLiteral("sqlErrorPane"));
    setAccessibleName(QStringLiteral("SQL error"));
    // An engine's message may hold "<" and "&": it is shown as it is, never as markup.
    setTextFormat(Qt::PlainText);
    setWordWrap(true);
    setAlignment(Qt::AlignLeft | Qt::AlignTop);
    setFrameShape(QFrame::StyledPanel);
    setMargin(2);
    setTextInteractionFlags(Qt::TextSelectableByMouse);
    hide();
    box->installEventFilter(this);
}

void ErrorPane::report(const QString& text)
{
    setText(text);
    // Read out by a screen reader with the pane's name.
    setAccessibleDescription(text);
    show();
    arrange();
}

void ErrorPane::dismiss()
{
    if (isHidden())
        return;
    hide();
    clear();
    setAccessibleDescription(QString());
    arrange();
}

// The box was placed anew (the window grew): editor and pane share its new room.
bool ErrorPane::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == parentWidget() && event->type() == QEvent::Resize)
        arrange();
    return QLabel::eventFilter(watched, event);
}

void ErrorPane::arrange()
{
    const QRect area = parentWidget()->rect();
    if (isHidden()) {
        m_editor->setGeometry(area);
        return;
    }
    // As tall as the message, but never more than half the editor: the statement stays in sight.
    const int oneLine = fontMetrics().lineSpacing() + 2 * (margin() + frameWidth());
    const int height = std::clamp(heightForWidth(area.width()), oneLine, std::max(oneLine, area.height() / 2));
    setGeometry(area.left(), area.bottom() + 1 - height, area.width(), height);
    m_editor->setGeometry(area.adjusted(0, 0, 0, -height - 2));
}
