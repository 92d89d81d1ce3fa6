#pragma once

#include <QLabel>
#include <QRect>

class SqlEditor;

// The engine's message for the statement that failed last, under the SQL editor. It is there only
// after a failure and takes its room from the editor's lower part, so no other control of the
// window moves. Its text can be selected and copied.
class ErrorPane : public QLabel {
public:
    ErrorPane(SqlEditor* editor, QWidget* form);

    void report(const QString& text);
    void dismiss();   // the editor has its whole place again

private:
    SqlEditor* m_editor;
    QRect m_area;   // the editor's own place, which the pane shares while it shows
};
