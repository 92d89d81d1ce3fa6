#include "errorpane.h"

#include "sqleditor.h"

#include <algorithm>

ErrorPane::ErrorPane(SqlEditor* editor, QWidget* form) : QLabel(form), m_editor(editor), m_area(editor->geometry())
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
}

void ErrorPane::report(const QString& text)
{
    setText(text);
    // Read out by a screen reader with the pane's name.
    setAccessibleDescription(text);
    // As tall as the message, but never more than half the editor: the statement stays in sight.
    const int oneLine = fontMetrics().lineSpacing() + 2 * (margin() + frameWidth());
    const int height = std::clamp(heightForWidth(m_area.width()), oneLine, std::max(oneLine, m_area.height() / 2));
    setGeometry(m_area.left(), m_area.bottom() + 1 - height, m_area.width(), height);
    m_editor->setGeometry(m_area.adjusted(0, 0, 0, -height - 2));
    show();
}

void ErrorPane::dismiss()
{
    if (isHidden())
        return;
    hide();
    clear();
    setAccessibleDescription(QString());
    m_editor->setGeometry(m_area);
}
