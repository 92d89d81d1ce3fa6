#pragma once

#include <QLabel>

class SqlEditor;

// The engine's message for the statement that failed last, under the SQL editor. It is there only
// after a failure and takes its room from the editor's lower part, so no other control of the
// window moves. Its text can be selected and copied. Editor and pane share `box`, which the
// window's layout places: the editor fills it while the pane is hidden.
class ErrorPane : public QLabel {
public:
    ErrorPane(SqlEditor* editor, QWidget* box);

    void report(const QString& text);
    void dismiss();   // the editor has its whole place again

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void arrange();

    SqlEditor* m_editor;
};
