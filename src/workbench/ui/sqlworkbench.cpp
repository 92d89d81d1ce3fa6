#include "workbench/ui/sqlworkbench.h"

#include "common/ui/dialogs.h"
#include "common/error.h"
#include "common/ui/errordisplay.h"
#include "common/programpaths.h"
#include "db/connection.h"
#include "db/databasefiles.h"
#include "workbench/errorplace.h"
#include "workbench/ui/errorpane.h"
#include "workbench/ui/fetchcontrol.h"
#include "db/openresult.h"
#include "db/startingstatement.h"
#include "workbench/statementat.h"
#include "workbench/ui/sqleditor.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QKeyEvent>
#include <QAction>
#include <QLabel>
#include <QPushButton>
#include <QRegularExpression>
#include <QSaveFile>
#include <QStringDecoder>

namespace {
const QString caption = QStringLiteral("RACR tool");

Dialogs::FileRequest sqlFileRequest(const QString& title, const QString& initial)
{
    return {title, {QStringLiteral("SQL files (*.sql)"), QStringLiteral("All files (*.*)")}, QStringLiteral("sql"), initial};
}

QLabel* statusLabel(QWidget* area, const char* name, const QString& text)
{
    auto* label = new QLabel(text, area);
    label->setObjectName(QLatin1String(name));
    QFont bold = label->font();
    bold.setBold(true);
    label->setFont(bold);
    label->setWordWrap(true);
    return label;
}

QPushButton* button(QWidget* area, const char* name, const QString& text)
{
    auto* b = new QPushButton(text, area);
    b->setObjectName(QLatin1String(name));
    return b;
}

QString recordNumberText(int number)
{
    return QStringLiteral("RecNo: ") + QString::number(number);
}
} // namespace

SqlWorkbench::SqlWorkbench(QWidget* area, OpenResult& openResult, QObject* parent)
    : QObject(parent), m_area(area), m_openResult(openResult)
{
    m_records = statusLabel(area, "recordsLabel", QStringLiteral("Records:"));
    m_recordNumber = statusLabel(area, "recNoLabel", QStringLiteral("RecNo:"));
    m_sort = statusLabel(area, "sortLabel", QStringLiteral("Sort: default"));

    auto* sqlLabel = new QLabel(QStringLiteral("SQL:"), area);
    sqlLabel->setObjectName(QStringLiteral("sqlLabel"));

    // Right-aligned 4 pixels inside the editor's right edge and sized to its text, so it grows to
    // the left (see placeFileName).
    m_fileName = new QLabel(area);
    m_fileName->setObjectName(QStringLiteral("fileNameLabel"));
    QFont bold = m_fileName->font();
    bold.setBold(true);
    m_fileName->setFont(bold);
    m_fileName->setAlignment(Qt::AlignRight | Qt::AlignTop);

    // The editor and the error pane share one place: the pane takes its room from the editor.
    m_editorBox = new QWidget(area);
    m_editorBox->setObjectName(QStringLiteral("sqlEditorBox"));
    m_editor = new SqlEditor(m_editorBox);
    m_editor->setObjectName(QStringLiteral("sqlEditor"));
    m_editor->setText(startingStatement());
    m_editor->setAccessibleName(QStringLiteral("SQL statement"));
    sqlLabel->setBuddy(m_editor);
    m_errorPane = new ErrorPane(m_editor, m_editorBox);
    m_editorBox->installEventFilter(this);

    m_execute = button(area, "executeButton", QStringLiteral("Execute SQL"));
    m_execute->setDefault(true);
    m_open = button(area, "openSqlButton", QStringLiteral("Open SQL"));
    m_save = button(area, "saveSqlButton", QStringLiteral("Save SQL"));
    // Enter on a focused button presses that button, as on any desktop; elsewhere it reaches
    // the area, which runs the statement (see eventFilter).
    for (QPushButton* b : {m_execute, m_open, m_save})
        b->setAutoDefault(true);

    connect(m_execute, &QPushButton::clicked, this, [this] { guarded([this] { runStatement(); }); });
    connect(m_open, &QPushButton::clicked, this, [this] { guarded([this] { openSql(); }); });
    connect(m_save, &QPushButton::clicked, this, [this] { guarded([this] { saveSql(); }); });
    connect(&m_openResult, &OpenResult::currentRowChanged, this, [this] { setRecordNumber(m_openResult.currentRowNumber()); });
    connect(m_editor, &QsciScintilla::modificationChanged, this, &SqlWorkbench::showFileName);
    connect(&m_openResult.connection(), &Connection::connected, this, &SqlWorkbench::readCatalogue);
    if (m_openResult.connection().isOpen())
        readCatalogue();
    area->installEventFilter(this);
    m_fetch = new FetchControl(area, m_openResult, m_records, this);
    // The engine failed on a row after the first ones: those read stay in the grid.
    connect(&m_openResult, &OpenResult::fetchFailed, this,
            [this](const QString& message) { m_errorPane->report(QStringLiteral("Error: ") + message); });
}

QList<QWidget*> SqlWorkbench::tabOrder() const
{
    return {m_editor, m_execute, m_fetch->stopButton(), m_open, m_save};
}

QString SqlWorkbench::statement() const
{
    return m_editor->text();
}

void SqlWorkbench::setStatement(const QString& text, bool caretAtEnd)
{
    if (caretAtEnd) {
        m_editor->setTextAtEnd(text);
        return;
    }
    if (text.isEmpty())
        m_editor->clear();
    else
        m_editor->setText(text);
}

void SqlWorkbench::setFileCommandsEnabled(bool enabled)
{
    m_open->setEnabled(enabled);
    m_save->setEnabled(enabled);
    m_fileName->setVisible(enabled);
}

bool SqlWorkbench::fileCommandsEnabled() const
{
    return m_open->isEnabled();
}

bool SqlWorkbench::runEnabled() const
{
    return m_execute->isEnabled();
}

void SqlWorkbench::clickRun()
{
    m_execute->click();
}

void SqlWorkbench::clickOpen()
{
    m_open->click();
}

void SqlWorkbench::clickSave()
{
    m_save->click();
}

void SqlWorkbench::addEditorAction(QAction* action)
{
    action->setShortcutContext(Qt::WidgetShortcut);
    m_editor->addAction(action);
}

bool SqlWorkbench::lineNumbersShown() const
{
    return m_editor->lineNumbersShown();
}

void SqlWorkbench::setLineNumbersShown(bool shown)
{
    m_editor->setLineNumbersShown(shown);
}

namespace {
QStringList linesOf(const QString& text)
{
    // Line breaks pasted from elsewhere may still be CR LF or CR.
    static const QRegularExpression lineBreak(QStringLiteral("\r\n|\r|\n"));
    return text.isEmpty() ? QStringList() : text.split(lineBreak);
}

QString crlfLines(const QString& text)
{
    QString joined;
    for (const QString& line : linesOf(text))
        joined += line + QStringLiteral("\r\n");
    return joined;
}
} // namespace

QStringList SqlWorkbench::lines() const
{
    return linesOf(m_editor->text());
}

QString SqlWorkbench::statementText() const
{
    return crlfLines(m_editor->text());
}

QString SqlWorkbench::textToRun() const
{
    return m_editor->hasSelectedText() ? m_editor->selectedText() : m_editor->text();
}

void SqlWorkbench::runStatementAtCursor()
{
    const QByteArray text = m_editor->text().toUtf8();
    const auto caret = qsizetype(m_editor->SendScintilla(QsciScintillaBase::SCI_GETCURRENTPOS));
    const statementat::Range statement = statementat::around(text, caret);
    if (statement.begin == statement.end)
        return;
    // Selected, so the user sees what ran and Execute SQL runs it again.
    m_editor->SendScintilla(QsciScintillaBase::SCI_SETSEL, static_cast<unsigned long>(statement.begin),
                             static_cast<long>(statement.end));
    runStatement();
}

// Whether a run shows rows is the database's answer, not a search of the text: a statement that
// returns columns opens in the grid, any other reports how many rows it changed.
void SqlWorkbench::runStatement()
{
    // A completion list left open by Ctrl+Enter would sit over the editor after the run.
    if (m_editor->isListActive())
        m_editor->cancelList();
    const QString text = textToRun();
    // Where that text begins in the editor: the engine counts the place of a fault from there.
    qsizetype start = 0;
    if (m_editor->hasSelectedText()) {
        const auto selectionStart = qsizetype(m_editor->SendScintilla(QsciScintillaBase::SCI_GETSELECTIONSTART));
        start = QString::fromUtf8(m_editor->text().toUtf8().left(selectionStart)).size();
    }
    Q_EMIT statementRun(text);
    // What the pane says belongs to the statement before.
    m_errorPane->dismiss();
    m_editor->clearErrorMark();
    const QString sent = crlfLines(text);
    bool stopped = false;
    // A statement that fails leaves the result before it, and the status line that describes it.
    try {
        if (!m_openResult.runReplacing(sent)) {
            // A statement without rows may have created, dropped or altered a table or view.
            readCatalogue();
            Dialogs::instance().message(caption,
                                        QStringLiteral("Operation affected %1 row(s)").arg(m_openResult.rowsAffected()),
                                        Dialogs::Icon::Information);
        }
    } catch (const racr::DatabaseError& error) {
        // The program's own objections to the text keep their box.
        Dialogs::instance().message(caption, error.message(), Dialogs::Icon::Error);
        return;
    } catch (const racr::EngineError& error) {
        showError(error.message(), error.position(), start, sent);
        return;
    } catch (const racr::Cancelled&) {
        // Stopped by the user before its first rows: nothing to show, but the status line says
        // why nothing came.
        stopped = true;
    }
    if (m_openResult.isOpen()) {
        showRecordCount();
        setRecordNumber(m_openResult.currentRowNumber());
    } else {
        m_records->setText(stopped ? QStringLiteral("Stopped") : QStringLiteral("Records: "));
        m_recordNumber->setText(QStringLiteral("RecNo: "));
    }
    showSort(QString());
}

void SqlWorkbench::showError(const QString& message, qsizetype position, qsizetype start, const QString& sent)
{
    if (position < 0) {
        m_errorPane->report(QStringLiteral("Error: ") + message);
        return;
    }
    const QString text = m_editor->text();
    const TextPlace place = placeInEditor(text, start, sent, position);
    m_errorPane->report(QStringLiteral("Error at line %1, column %2: %3")
                          .arg(QString::number(place.line), QString::number(place.column), message));
    // A selection that ran stays selected, so Execute SQL runs it again after a fix.
    m_editor->markError(text.left(indexOf(text, place)).toUtf8().size(), !m_editor->hasSelectedText());
}

// Both dialogs start in the folder last used, the program folder at first; Save offers the
// editor's own file by name, so saving it again is one Enter.
void SqlWorkbench::openSql()
{
    const QString folder = m_lastFolder.isEmpty() ? ProgramPaths::home() : m_lastFolder;
    const QString path = Dialogs::instance().openFileName(sqlFileRequest(QStringLiteral("Open SQL"), folder));
    if (path.isEmpty())
        return;
    databasefiles::refuseOpenDatabaseFile(m_openResult.connection(), path, QStringLiteral("opened as an SQL script"));
    m_lastFolder = QFileInfo(path).absolutePath();
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw racr::Error(QStringLiteral("Cannot read %1: %2").arg(QDir::toNativeSeparators(path), file.errorString()));
    const QByteArray bytes = file.readAll();
    // Our files are UTF-8; a script written elsewhere in a single-byte code page still opens
    // with its letters instead of replacement characters.
    QStringDecoder utf8(QStringDecoder::Utf8);
    QString text = utf8.decode(bytes);
    if (utf8.hasError())
        text = QString::fromLatin1(bytes);
    static const QRegularExpression lineBreak(QStringLiteral("\r\n|\r|\n"));
    QStringList fileLines = text.split(lineBreak);
    if (!text.isEmpty() && fileLines.last().isEmpty())
        fileLines.removeLast();   // a break at the end closes the last line, it does not add one
    m_editor->setText(fileLines.join(QLatin1Char('\n')));
    m_editor->setModified(false);
    m_filePath = path;
    showFileName();
}

void SqlWorkbench::saveSql()
{
    const QString folder = m_lastFolder.isEmpty() ? ProgramPaths::home() : m_lastFolder;
    const QString path = Dialogs::instance().saveFileName(
        sqlFileRequest(QStringLiteral("Save SQL"), m_filePath.isEmpty() ? folder : m_filePath));
    if (path.isEmpty())
        return;
    databasefiles::refuseOpenDatabaseFile(m_openResult.connection(), path, QStringLiteral("replaced by the SQL script"));
    m_lastFolder = QFileInfo(path).absolutePath();
    QByteArray bytes;
    for (const QString& line : lines())
        bytes += line.toUtf8() + "\r\n";
    // Written beside the target and renamed over it, so a failed save leaves the old file whole.
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit())
        throw racr::Error(QStringLiteral("Cannot write %1: %2").arg(QDir::toNativeSeparators(path), file.errorString()));
    m_editor->setModified(false);
    m_filePath = path;
    showFileName();
}

// The file's name, and " *" after it while the editor holds changes not saved to it (undone
// changes count as none).
void SqlWorkbench::showFileName()
{
    if (m_filePath.isEmpty())
        return;
    m_fileName->setText(QFileInfo(m_filePath).fileName() + (m_editor->isModified() ? QStringLiteral(" *") : QString()));
    placeFileName();
}

// On the line of the "SQL:" label, its right edge fixed 4 pixels inside the editor's: before a
// file is named it holds the designed 200 pixels, then the width of its text, growing to the left.
void SqlWorkbench::placeFileName()
{
    const QRect editor = m_editorBox->geometry();
    const QSize size = m_filePath.isEmpty() ? QSize(200, 13) : m_fileName->sizeHint();
    m_fileName->setGeometry(editor.right() + 1 - 4 - size.width(), editor.top() - 20, size.width(), size.height());
}

void SqlWorkbench::readCatalogue()
{
    m_editor->setCatalogue(SqlCatalogue::read(m_openResult.connection()));
}

void SqlWorkbench::setRecordNumber(int number)
{
    m_recordNumber->setText(recordNumberText(number));
}

void SqlWorkbench::showSort(const QString& sort)
{
    m_sort->setText(sort.isEmpty() ? QStringLiteral("Sort: default") : QStringLiteral("Sort: ") + sort);
}

void SqlWorkbench::showRecordCount()
{
    m_records->setText(FetchControl::recordsText(m_openResult));
}

void SqlWorkbench::closeResult()
{
    m_openResult.close();
    m_records->setText(QStringLiteral("Records: "));
    showSort(QString());
    m_recordNumber->setText(QStringLiteral("RecNo:"));
}

// Enter that no control took for itself (the editor and the grid do) runs the statement, as the
// default button of the window would.
bool SqlWorkbench::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_editorBox && (event->type() == QEvent::Move || event->type() == QEvent::Resize))
        placeFileName();
    if (watched == m_area && event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        const auto modifiers = key->modifiers() & ~Qt::KeypadModifier;
        if ((key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) && modifiers == Qt::NoModifier) {
            guarded([this] { runStatement(); });
            return true;
        }
    }
    return QObject::eventFilter(watched, event);
}
