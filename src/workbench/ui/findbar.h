#pragma once

#include <QWidget>

class QLabel;
class QLineEdit;
class QPushButton;
class QToolButton;
class SqlEditor;

// Find and replace in the SQL editor, in a bar along the editor's bottom edge: Ctrl+F opens it
// with the find field, Ctrl+H with the replace field as well; Enter or F3 finds the next match,
// Shift+F3 the previous one, from the caret and round the end. Escape closes the bar and gives
// the keyboard back to the editor. Matches ignore case; the search is QScintilla's own.
class FindBar : public QWidget {
    Q_OBJECT

public:
    explicit FindBar(SqlEditor* editor);

    void open(bool withReplace);
    void dismiss();
    bool findNext();
    bool findPrevious();
    void replaceOne();
    int replaceAll();

protected:
    void keyPressEvent(QKeyEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void place();
    void showOutcome(bool found);

    QLineEdit* findField;      // named findField
    QLineEdit* replaceField;   // named replaceField
    SqlEditor* m_editor;
    QWidget* m_replaceRow;
    QLabel* m_outcome;
};
