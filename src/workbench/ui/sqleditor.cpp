#include "workbench/ui/sqleditor.h"

#include "workbench/ui/findbar.h"

#define signals Q_SIGNALS
#define slots Q_SLOTS
#include <Qsci/qsciabstractapis.h>
#include <Qsci/qscicommandset.h>
#undef signals
#undef slots

#include <QApplication>
#include <QEvent>
#include <QFontInfo>
#include <QFontDatabase>
#include <QKeyEvent>

#include <algorithm>

// Hands QScintilla the catalogue's names for the word at the caret.
class CatalogueApis : public QsciAbstractAPIs {
public:
    using QsciAbstractAPIs::QsciAbstractAPIs;

    void updateAutoCompletionList(const QStringList& context, QStringList& list) override
    {
        list = catalogue.completions(context);
    }
    QStringList callTips(const QStringList&, int, QsciScintilla::CallTipsStyle, QList<int>&) override { return {}; }

    SqlCatalogue catalogue;
};

namespace {
// SQL's lexer treats a dot as an ordinary character; for completion it joins a table and its
// column, so that "RACR." offers RACR's columns.
class SqlLexer : public QsciLexerSQL {
public:
    using QsciLexerSQL::QsciLexerSQL;
    QStringList autoCompletionWordSeparators() const override { return {QStringLiteral(".")}; }
};

bool isDark(const QPalette& palette)
{
    return palette.color(QPalette::Base).lightness() < 128;
}

// The lexer's colours are made for a white page. On a dark one each keeps its hue with the
// lightness turned over, so keywords, strings and comments stay apart and readable.
QColor forPage(const QColor& designed, bool dark)
{
    if (!dark)
        return designed;
    return QColor::fromHsl(designed.hslHue(), designed.hslSaturation(), 255 - designed.lightness() * 3 / 4);
}
} // namespace

SqlEditor::SqlEditor(QWidget* parent) : QsciScintilla(parent)
{
    setUtf8(true);
    setEolMode(EolUnix);
    setWrapMode(WrapWord);
    // The designed memo has no scroll bars; the caret scrolls the text.
    SendScintilla(SCI_SETHSCROLLBAR, 0UL);
    SendScintilla(SCI_SETVSCROLLBAR, 0UL);
    setMarginWidth(1, 0);
    setMarginLineNumbers(0, true);
    setMarginWidth(0, 0);

    m_lexer = new SqlLexer(this);
    followDesktopFont();
    // A platform theme sets the desktop's fonts after the editor exists. Qt tells the application
    // object alone (windows only see their own font resolved again), so the editor listens there.
    qApp->installEventFilter(this);
    m_apis = new CatalogueApis(m_lexer);
    setLexer(m_lexer);
    // The lexer's own colours, kept before the palette's replace them.
    m_designedText = static_cast<QsciLexer*>(m_lexer)->defaultColor();
    for (int style = 0; style <= QsciScintillaBase::STYLE_MAX; ++style)
        if (!m_lexer->description(style).isEmpty())
            m_designed.insert(style, m_lexer->defaultColor(style));
    setAutoCompletionSource(AcsAPIs);
    setAutoCompletionThreshold(2);
    setAutoCompletionCaseSensitivity(false);
    setAutoCompletionReplaceWord(true);

    // Scintilla scrolls by a line on Ctrl+Up and Ctrl+Down; here they walk the statement history.
    for (const QKeyCombination key : {Qt::CTRL | Qt::Key_Up, Qt::CTRL | Qt::Key_Down})
        if (QsciCommand* command = standardCommands()->boundTo(key.toCombined()))
            command->setKey(0);

    m_errorIndicator = indicatorDefine(SquiggleIndicator);
    setIndicatorForegroundColor(QColor(0xe0, 0x20, 0x20), m_errorIndicator);

    followPalette();
    new FindBar(this);   // Ctrl+F and Ctrl+H open it over the editor's bottom edge
}

void SqlEditor::setCatalogue(SqlCatalogue catalogue)
{
    m_apis->catalogue = std::move(catalogue);
}

void SqlEditor::setLineNumbersShown(bool shown)
{
    m_lineNumbers = shown;
    if (shown)
        setMarginWidth(0, QStringLiteral("0000"));
    else
        setMarginWidth(0, 0);
}

void SqlEditor::setTextAtEnd(const QString& text)
{
    setText(text);
    SendScintilla(SCI_DOCUMENTEND);
}

void SqlEditor::markError(qsizetype position, bool moveCaret)
{
    clearErrorMark();
    const auto length = qsizetype(SendScintilla(SCI_GETLENGTH));
    auto from = static_cast<unsigned long>(std::clamp<qsizetype>(position, 0, length));
    auto to = static_cast<unsigned long>(SendScintilla(SCI_WORDENDPOSITION, from, 1L));
    // Not at a word (an operator, the end of the text): one character is marked.
    if (to == from) {
        if (qsizetype(from) == length && from > 0)
            from = static_cast<unsigned long>(SendScintilla(SCI_POSITIONBEFORE, from));
        to = static_cast<unsigned long>(SendScintilla(SCI_POSITIONAFTER, from));
    }
    SendScintilla(SCI_SETINDICATORCURRENT, static_cast<unsigned long>(m_errorIndicator));
    SendScintilla(SCI_INDICATORFILLRANGE, from, static_cast<long>(to - from));
    if (moveCaret)
        SendScintilla(SCI_GOTOPOS, from);
    else
        SendScintilla(SCI_SCROLLRANGE, to, static_cast<long>(from));
}

void SqlEditor::clearErrorMark()
{
    SendScintilla(SCI_SETINDICATORCURRENT, static_cast<unsigned long>(m_errorIndicator));
    SendScintilla(SCI_INDICATORCLEARRANGE, 0UL, SendScintilla(SCI_GETLENGTH));
}

bool SqlEditor::event(QEvent* event)
{
    // Tab indents here, so Ctrl+Tab and Ctrl+Shift+Tab move the focus on, as in Qt's other
    // editors that take Tab; otherwise the keyboard could never leave the editor.
    if (event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        const bool ctrl = key->modifiers().testFlag(Qt::ControlModifier);
        if (ctrl && (key->key() == Qt::Key_Tab || key->key() == Qt::Key_Backtab)) {
            const bool back = key->key() == Qt::Key_Backtab || key->modifiers().testFlag(Qt::ShiftModifier);
            // The editor's own override keeps the focus for Tab; the window's chain moves it.
            QWidget::focusNextPrevChild(!back);
            return true;
        }
    }
    return QsciScintilla::event(event);
}

bool SqlEditor::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == qApp && event->type() == QEvent::ApplicationFontChange)
        followDesktopFont();
    return QsciScintilla::eventFilter(watched, event);
}

void SqlEditor::keyPressEvent(QKeyEvent* event)
{
    // Ctrl+Space asks for the names at any point, before the second letter is typed.
    if (event->keyCombination() == QKeyCombination(Qt::CTRL, Qt::Key_Space)) {
        autoCompleteFromAPIs();
        return;
    }
    QsciScintilla::keyPressEvent(event);
}

void SqlEditor::changeEvent(QEvent* event)
{
    QsciScintilla::changeEvent(event);
    if (event->type() == QEvent::PaletteChange)
        followPalette();
}

// Every style in the desktop's fixed-pitch font at the size of its ordinary text. A platform
// theme may set the fonts after the editor exists, and its fixed font may even be proportional.
void SqlEditor::followDesktopFont()
{
    QFont fixed = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    if (!QFontInfo(fixed).fixedPitch()) {
        fixed.setFamily(QStringLiteral("monospace"));
        fixed.setStyleHint(QFont::Monospace);
        fixed.setFixedPitch(true);
    }
    const QFont desktop = QApplication::font();
    if (desktop.pointSizeF() > 0)
        fixed.setPointSizeF(desktop.pointSizeF());
    else
        fixed.setPixelSize(desktop.pixelSize());
    if (m_lexer->font(QsciLexerSQL::Default) != fixed)
        m_lexer->setFont(fixed);
}

void SqlEditor::followPalette()
{
    const QPalette& p = palette();
    const bool dark = isDark(p);
    m_lexer->setDefaultPaper(p.color(QPalette::Base));
    m_lexer->setDefaultColor(p.color(QPalette::Text));
    for (auto style = m_designed.cbegin(); style != m_designed.cend(); ++style) {
        m_lexer->setPaper(p.color(QPalette::Base), style.key());
        // Plain text (identifiers, operators) is drawn as the desktop draws text.
        m_lexer->setColor(style.value() == m_designedText ? p.color(QPalette::Text) : forPage(style.value(), dark),
                          style.key());
    }
    setCaretForegroundColor(p.color(QPalette::Text));
    setSelectionBackgroundColor(p.color(QPalette::Highlight));
    setSelectionForegroundColor(p.color(QPalette::HighlightedText));
    setMarginsBackgroundColor(p.color(QPalette::Window));
    setMarginsForegroundColor(p.color(QPalette::WindowText));
}
