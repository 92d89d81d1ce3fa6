#pragma once

#include "db/sqlcatalogue.h"

#include <QColor>
#include <QMap>

// QScintilla's headers use Qt's bare keywords, which this project turns off (QT_NO_KEYWORDS).
#define signals Q_SIGNALS
#define slots Q_SLOTS
#include <Qsci/qscilexersql.h>
#include <Qsci/qsciscintilla.h>
#undef signals
#undef slots

class CatalogueApis;

// The workbench's SQL editor: SQL highlighting in the desktop's light or dark colours, completion
// of the open database's names, line numbers on request, find and replace. Enter inserts a line
// break; Ctrl+Up and Ctrl+Down are left free for the statement history.
class SqlEditor : public QsciScintilla {
    Q_OBJECT

public:
    explicit SqlEditor(QWidget* parent = nullptr);

    void setCatalogue(SqlCatalogue catalogue);

    bool lineNumbersShown() const { return m_lineNumbers; }
    void setLineNumbersShown(bool shown);

    // Replaces the text and puts the caret at its end, as a recalled statement is edited there.
    void setTextAtEnd(const QString& text);

    // Keeps the text clear of a bar laid over the editor's bottom edge (the find bar).
    void setBottomMargin(int height) { setViewportMargins(0, 0, 0, height); }

    // Underlines the word at `position` (a byte of the UTF-8 text) where the engine found a fault,
    // and scrolls it into view; `moveCaret` puts the caret there too.
    void markError(qsizetype position, bool moveCaret);
    void clearErrorMark();

protected:
    bool event(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void followPalette();
    void followDesktopFont();

    QsciLexerSQL* m_lexer;
    QMap<int, QColor> m_designed;   // by style
    QColor m_designedText;
    CatalogueApis* m_apis;
    bool m_lineNumbers = false;
    int m_errorIndicator;
};
