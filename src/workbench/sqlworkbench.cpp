#include "sqlworkbench.h"

#include "common/dialogs.h"
#include "common/error.h"
#include "common/errordisplay.h"
#include "common/programpaths.h"
#include "db/connection.h"
#include "db/databasefiles.h"
#include "db/errorplace.h"
#include "workbench/errorpane.h"
#include "workbench/fetchcontrol.h"
#include "db/queryobject.h"
#include "db/statementat.h"
#include "workbench/sqleditor.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QKeyEvent>
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

QLabel* statusLabel(QWidget* form, const char* name, const QString& text, const QRect& geometry)
{
    auto* label = new QLabel(text, form);
    label->setObjectName(QLatin1String(name));
    QFont bold = label->font();
    bold.setBold(true);
    label->setFont(bold);
    label->setWordWrap(true);
    label->setGeometry(geometry);
    return label;
}

QPushButton* button(QWidget* form, const char* name, const QString& text, const QRect& geometry)
{
    auto* b = new QPushButton(text, form);
    b->setObjectName(QLatin1String(name));
    b->setGeometry(geometry);
    return b;
}
} // namespace

SqlWorkbench::SqlWorkbench(QWidget* form, QueryObject& dataSet, QObject* parent)
    : QObject(parent), m_form(form), m_dataSet(dataSet)
{
    recordsLabel = statusLabel(form, "recordsLabel", QStringLiteral("Records:"), QRect(8, 384, 116, 26));
    recNoLabel = statusLabel(form, "recNoLabel", QStringLiteral("RecNo:"), QRect(128, 384, 108, 26));
    sortLabel = statusLabel(form, "sortLabel", QStringLiteral("Sort: default"), QRect(244, 384, 149, 26));

    sqlLabel = new QLabel(QStringLiteral("SQL:"), form);
    sqlLabel->setObjectName(QStringLiteral("sqlLabel"));
    sqlLabel->setGeometry(8, 416, 24, 13);

    // Right-aligned at x = 415 and sized to its text, so it grows to the left.
    fileNameLabel = new QLabel(form);
    fileNameLabel->setObjectName(QStringLiteral("fileNameLabel"));
    QFont bold = fileNameLabel->font();
    bold.setBold(true);
    fileNameLabel->setFont(bold);
    fileNameLabel->setAlignment(Qt::AlignRight | Qt::AlignTop);
    fileNameLabel->setGeometry(415 - 200, 416, 200, 13);

    sqlEditor = new SqlEditor(form);
    sqlEditor->setObjectName(QStringLiteral("sqlEditor"));
    sqlEditor->setGeometry(8, 436, 411, 209);
    sqlEditor->setText(defaultStatement());
    sqlEditor->setAccessibleName(QStringLiteral("SQL statement"));
    sqlLabel->setBuddy(sqlEditor);
    errorPane = new ErrorPane(sqlEditor, form);

    executeButton = button(form, "executeButton", QStringLiteral("Execute SQL"), QRect(8, 656, 82, 32));
    executeButton->setDefault(true);
    openSqlButton = button(form, "openSqlButton", QStringLiteral("Open SQL"), QRect(232, 656, 82, 32));
    saveSqlButton = button(form, "saveSqlButton", QStringLiteral("Save SQL"), QRect(336, 656, 82, 32));
    // Enter on a focused button presses that button, as on any desktop; elsewhere it reaches
    // the form, which runs the statement (see eventFilter).
    for (QPushButton* b : {executeButton, openSqlButton, saveSqlButton})
        b->setAutoDefault(true);

    connect(executeButton, &QPushButton::clicked, this, [this] { guarded([this] { runStatement(); }); });
    connect(openSqlButton, &QPushButton::clicked, this, [this] { guarded([this] { openSql(); }); });
    connect(saveSqlButton, &QPushButton::clicked, this, [this] { guarded([this] { saveSql(); }); });
    connect(&m_dataSet, &QueryObject::afterScroll, this, &SqlWorkbench::showRecordNumber);
    connect(sqlEditor, &QsciScintilla::modificationChanged, this, &SqlWorkbench::showFileName);
    connect(&m_dataSet.connection(), &Connection::afterConnect, this, &SqlWorkbench::readCatalogue);
    if (m_dataSet.connection().isOpen())
        readCatalogue();
    form->installEventFilter(this);
    m_fetch = new FetchControl(form, m_dataSet, recordsLabel, this);
    // The engine failed on a row after the first ones: those read stay in the grid.
    connect(&m_dataSet, &QueryObject::fetchFailed, this,
            [this](const QString& message) { errorPane->report(QStringLiteral("Error: ") + message); });
}

QPushButton* SqlWorkbench::stopButton() const
{
    return m_fetch->stopButton;
}

QString SqlWorkbench::defaultStatement()
{
    return QStringLiteral("select image,driver,driverlevel, car, date, besttime, \n"
                          "trackname,iif(multiplayer=1,'MP','SP') as Racetype\n"
                          "from ((RACR\n"
                          "left join DRIVERS on DRIVERS.drivername=RACR.driver) \n"
                          "inner join TRACKLIST on TRACKLIST.trackid=RACR.trackid)\n"
                          "order by trackname, multiplayer DESC,\n"
                          "case when trim(besttime,'0123456789') in ('','.') and besttime not in ('','.') then cast(besttime as numeric) end is null,\n"
                          "case when trim(besttime,'0123456789') in ('','.') and besttime not in ('','.') then cast(besttime as numeric) end ASC,\n"
                          "besttime NULLS FIRST");
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
    return linesOf(sqlEditor->text());
}

QString SqlWorkbench::statementText() const
{
    return crlfLines(sqlEditor->text());
}

QString SqlWorkbench::textToRun() const
{
    return sqlEditor->hasSelectedText() ? sqlEditor->selectedText() : sqlEditor->text();
}

void SqlWorkbench::runStatementAtCursor()
{
    const QByteArray text = sqlEditor->text().toUtf8();
    const auto caret = qsizetype(sqlEditor->SendScintilla(QsciScintillaBase::SCI_GETCURRENTPOS));
    const statementat::Range statement = statementat::around(text, caret);
    if (statement.begin == statement.end)
        return;
    // Selected, so the user sees what ran and Execute SQL runs it again.
    sqlEditor->SendScintilla(QsciScintillaBase::SCI_SETSEL, static_cast<unsigned long>(statement.begin),
                             static_cast<long>(statement.end));
    runStatement();
}

// Whether a run shows rows is the database's answer, not a search of the text: a statement that
// returns columns opens in the grid, any other reports how many rows it changed.
void SqlWorkbench::runStatement()
{
    // A completion list left open by Ctrl+Enter would sit over the editor after the run.
    if (sqlEditor->isListActive())
        sqlEditor->cancelList();
    const QString text = textToRun();
    // Where that text begins in the editor: the engine counts the place of a fault from there.
    qsizetype start = 0;
    if (sqlEditor->hasSelectedText()) {
        const auto selectionStart = qsizetype(sqlEditor->SendScintilla(QsciScintillaBase::SCI_GETSELECTIONSTART));
        start = QString::fromUtf8(sqlEditor->text().toUtf8().left(selectionStart)).size();
    }
    Q_EMIT statementRun(text);
    // What the pane says belongs to the statement before.
    errorPane->dismiss();
    sqlEditor->clearErrorMark();
    const QString sent = crlfLines(text);
    bool stopped = false;
    // A statement that fails leaves the result before it, and the status line that describes it.
    try {
        if (!m_dataSet.runReplacing(sent)) {
            // A statement without rows may have created, dropped or altered a table or view.
            readCatalogue();
            Dialogs::instance().message(caption,
                                        QStringLiteral("Operation affected %1 row(s)").arg(m_dataSet.rowsAffected()),
                                        Dialogs::Icon::Information);
        }
    } catch (const racr::DatabaseError& error) {
        // The program's own objections to the text keep their box.
        Dialogs::instance().message(caption, error.message(), Dialogs::Icon::Error);
        return;
    } catch (const racr::ProviderError& error) {
        showError(error.message(), error.position(), start, sent);
        return;
    } catch (const racr::Cancelled&) {
        // Stopped by the user before its first rows: nothing to show, but the status line says
        // why nothing came.
        stopped = true;
    }
    if (m_dataSet.isOpen()) {
        recordsLabel->setText(FetchControl::recordsText(m_dataSet));
        recNoLabel->setText(QStringLiteral("RecNo: ") + QString::number(m_dataSet.recNo()));
    } else {
        recordsLabel->setText(stopped ? QStringLiteral("Stopped") : QStringLiteral("Records: "));
        recNoLabel->setText(QStringLiteral("RecNo: "));
    }
    sortLabel->setText(QStringLiteral("Sort: default"));
}

void SqlWorkbench::showError(const QString& message, qsizetype position, qsizetype start, const QString& sent)
{
    if (position < 0) {
        errorPane->report(QStringLiteral("Error: ") + message);
        return;
    }
    const QString text = sqlEditor->text();
    const TextPlace place = placeInEditor(text, start, sent, position);
    errorPane->report(QStringLiteral("Error at line %1, column %2: %3")
                          .arg(QString::number(place.line), QString::number(place.column), message));
    // A selection that ran stays selected, so Execute SQL runs it again after a fix.
    sqlEditor->markError(text.left(indexOf(text, place)).toUtf8().size(), !sqlEditor->hasSelectedText());
}

// Both dialogs start in the folder last used, the program folder at first; Save offers the
// editor's own file by name, so saving it again is one Enter.
void SqlWorkbench::openSql()
{
    const QString folder = m_lastFolder.isEmpty() ? ProgramPaths::home() : m_lastFolder;
    const QString path = Dialogs::instance().openFileName(sqlFileRequest(QStringLiteral("Open SQL"), folder));
    if (path.isEmpty())
        return;
    databasefiles::refuseOpenDatabaseFile(m_dataSet.connection(), path, QStringLiteral("opened as an SQL script"));
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
    sqlEditor->setText(fileLines.join(QLatin1Char('\n')));
    sqlEditor->setModified(false);
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
    databasefiles::refuseOpenDatabaseFile(m_dataSet.connection(), path, QStringLiteral("replaced by the SQL script"));
    m_lastFolder = QFileInfo(path).absolutePath();
    QByteArray bytes;
    for (const QString& line : lines())
        bytes += line.toUtf8() + "\r\n";
    // Written beside the target and renamed over it, so a failed save leaves the old file whole.
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit())
        throw racr::Error(QStringLiteral("Cannot write %1: %2").arg(QDir::toNativeSeparators(path), file.errorString()));
    sqlEditor->setModified(false);
    m_filePath = path;
    showFileName();
}

// The file's name, and " *" after it while the editor holds changes not saved to it (undone
// changes count as none).
void SqlWorkbench::showFileName()
{
    if (m_filePath.isEmpty())
        return;
    // Right edge fixed at 415: the label grows to the left.
    fileNameLabel->setText(QFileInfo(m_filePath).fileName() + (sqlEditor->isModified() ? QStringLiteral(" *") : QString()));
    fileNameLabel->adjustSize();
    fileNameLabel->move(415 - fileNameLabel->width(), fileNameLabel->y());
}

void SqlWorkbench::readCatalogue()
{
    sqlEditor->setCatalogue(SqlCatalogue::read(m_dataSet.connection()));
}

void SqlWorkbench::showRecordNumber()
{
    recNoLabel->setText(QStringLiteral("RecNo: ") + QString::number(m_dataSet.recNo()));
}

void SqlWorkbench::closeResult()
{
    m_dataSet.close();
    recordsLabel->setText(QStringLiteral("Records: "));
    sortLabel->setText(QStringLiteral("Sort: default"));
    recNoLabel->setText(QStringLiteral("RecNo:"));
}

// Enter that no control took for itself (the editor and the grid do) runs the statement, as the
// default button of the window would.
bool SqlWorkbench::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_form && event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        const auto modifiers = key->modifiers() & ~Qt::KeypadModifier;
        if ((key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) && modifiers == Qt::NoModifier) {
            guarded([this] { runStatement(); });
            return true;
        }
    }
    return QObject::eventFilter(watched, event);
}
