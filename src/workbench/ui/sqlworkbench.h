#pragma once

#include <QObject>
#include <QString>
#include <QStringList>

class ErrorPane;
class FetchControl;
class QAction;
class QLabel;
class QPushButton;
class OpenResult;
class SqlEditor;
class QWidget;

// The lower left of the main window: the SQL editor, its buttons and the status line above it.
// Its controls are made on the main window's editor area under their names (recordsLabel, recNoLabel,
// sortLabel, sqlLabel, fileNameLabel, sqlEditorBox with sqlEditor and sqlErrorPane, executeButton,
// stopButton, openSqlButton, saveSqlButton); the window's layout places them.
class SqlWorkbench : public QObject {
    Q_OBJECT

public:
    SqlWorkbench(QWidget* area, OpenResult& openResult, QObject* parent = nullptr);


    // The editor's lines (an empty editor has none) and the statement text made of them: each
    // line followed by a carriage return and a line feed.
    QStringList lines() const;
    QString statementText() const;
    // What Execute SQL runs: the selected text when there is one, else the whole text.
    QString textToRun() const;

    // The editor's whole text, and a new one in its place (the caret at its end with
    // `caretAtEnd`, as a recalled statement is edited there).
    QString statement() const;
    void setStatement(const QString& text, bool caretAtEnd = false);

    // Open SQL and Save SQL with the file's name over the editor, which procedure mode takes away.
    void setFileCommandsEnabled(bool enabled);
    bool fileCommandsEnabled() const;
    bool runEnabled() const;

    // Keys that act only while the editor has the keyboard (the history's Ctrl+Up and Ctrl+Down).
    void addEditorAction(QAction* action);
    bool lineNumbersShown() const;

    // The controls in the order Tab walks them.
    QList<QWidget*> tabOrder() const;

    // Closes the open result and resets the status line, as an import does before it starts.
    void closeResult();

Q_SIGNALS:
    // A run of the editor's text begins; the text as the editor holds it.
    void statementRun(const QString& text);

public Q_SLOTS:
    void runStatement();   // "Execute SQL", and Enter outside the editor and the grid
    // Selects the statement at the editor's caret (statements end with `;`) and runs it.
    void runStatementAtCursor();
    void openSql();        // "Open SQL"; a file that cannot be read throws racr::Error
    void saveSql();        // "Save SQL"; a file that cannot be written throws racr::Error
    // The buttons pressed as by a click: nothing happens while a button is disabled.
    void clickRun();
    void clickOpen();
    void clickSave();
    void setLineNumbersShown(bool shown);
    // The status line: the current record's number, the result's sort ("" for the statement's
    // order) and its count of records.
    void setRecordNumber(int number);
    void showSort(const QString& sort);
    void showRecordCount();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void showFileName();
    void placeFileName();
    void readCatalogue();
    // The engine's message in the pane, with its place in the editor where it names one;
    // `start` is where the text that ran begins in the editor, `sent` that text as it was sent.
    void showError(const QString& message, qsizetype position, qsizetype start, const QString& sent);

    QWidget* m_area;
    OpenResult& m_openResult;
    QString m_lastFolder;   // of the last file confirmed in either dialog; where both start
    QString m_filePath;     // the file the editor's text was last read from or written to
    QWidget* m_editorBox;
    SqlEditor* m_editor;
    ErrorPane* m_errorPane;   // the engine's message when the statement failed
    QLabel* m_records;
    QLabel* m_recordNumber;
    QLabel* m_sort;
    QLabel* m_fileName;
    QPushButton* m_execute;
    QPushButton* m_open;
    QPushButton* m_save;
    FetchControl* m_fetch;
};
