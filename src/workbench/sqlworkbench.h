#pragma once

#include <QObject>
#include <QString>
#include <QStringList>

class ErrorPane;
class FetchControl;
class QLabel;
class QPushButton;
class QueryObject;
class SqlEditor;
class QWidget;

// The lower left of the main window: the SQL editor, its buttons and the status line above it.
class SqlWorkbench : public QObject {
    Q_OBJECT

public:
    SqlWorkbench(QWidget* form, QueryObject& dataSet, QObject* parent = nullptr);

    SqlEditor* sqlEditor;
    QLabel* recordsLabel;
    QLabel* recNoLabel;
    QLabel* sortLabel;
    QLabel* sqlLabel;
    QLabel* fileNameLabel;
    QPushButton* executeButton;
    QPushButton* openSqlButton;
    QPushButton* saveSqlButton;
    QPushButton* stopButton() const;
    ErrorPane* errorPane;   // the engine's message when the statement failed

    static QString defaultStatement();

    // The editor's lines (an empty editor has none) and the statement text made of them: each
    // line followed by a carriage return and a line feed.
    QStringList lines() const;
    QString statementText() const;
    // What Execute SQL runs: the selected text when there is one, else the whole text.
    QString textToRun() const;

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
    void showRecordNumber();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void showFileName();
    void readCatalogue();
    // The engine's message in the pane, with its place in the editor where it names one;
    // `start` is where the text that ran begins in the editor, `sent` that text as it was sent.
    void showError(const QString& message, qsizetype position, qsizetype start, const QString& sent);

    QWidget* m_form;
    QueryObject& m_dataSet;
    QString m_lastFolder;   // of the last file confirmed in either dialog; where both start
    QString m_filePath;     // the file the editor's text was last read from or written to
    FetchControl* m_fetch;
};
