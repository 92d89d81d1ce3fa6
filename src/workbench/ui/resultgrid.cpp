#include "workbench/ui/resultgrid.h"

#include "common/ui/dialogs.h"
#include "common/ui/errordisplay.h"
#include "common/avatar.h"
#include "db/openresult.h"
#include "workbench/rangecopy.h"
#include "db/resultmodel.h"
#include "workbench/ui/filterheader.h"
#include "workbench/ui/sqlworkbench.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QHeaderView>
#include <QStyle>
#include <QKeyEvent>
#include <QLabel>
#include <QMimeData>
#include <QPainter>
#include <QScopeGuard>
#include <QStyledItemDelegate>
#include <QToolButton>

#include <limits>

namespace {
const QString imageField = QStringLiteral("image");
constexpr int imageWidth = 34;
constexpr int narrowest = 50;
constexpr int widest = 400;
constexpr int fallbackWidth = 150;
constexpr int sampledRows = 20;   // rows looked at for a new column's width

} // namespace

// Draws each cell as usual, then lets the grid's owner paint over it; keeps track of the open
// editor so that the navigator can submit or cancel it.
class CellDelegate : public QStyledItemDelegate {
public:
    CellDelegate(ResultGridController& owner, QObject* parent) : QStyledItemDelegate(parent), m_owner(owner) {}

    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override
    {
        QStyledItemDelegate::paint(painter, option, index);
        m_owner.drawAvatar(painter, option.rect, index);
    }

    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option, const QModelIndex& index) const override
    {
        QWidget* editor = QStyledItemDelegate::createEditor(parent, option, index);
        m_owner.m_editor = editor;
        return editor;
    }

private:
    ResultGridController& m_owner;
};

ResultTableView::ResultTableView(QWidget* parent) : QTableView(parent), filters(new FilterHeader(this))
{
    setHorizontalHeader(filters);
    // A range of cells can be selected (Shift+click, Shift+arrows, Ctrl+A) for copying; the
    // current cell still gives the current row.
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setSelectionBehavior(QAbstractItemView::SelectItems);
    setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed
                    | QAbstractItemView::AnyKeyPressed);
    setShowGrid(true);
    setWordWrap(false);
    horizontalHeader()->setSectionsClickable(true);
    horizontalHeader()->setHighlightSections(false);
    horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
    // The row indicator: a narrow column of fixed-height rows, which also keeps a million-row
    // result cheap to lay out.
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 4);
    verticalHeader()->setDefaultAlignment(Qt::AlignCenter);
    verticalHeader()->setFixedWidth(fontMetrics().horizontalAdvance(QChar(0x25B6)) + 8);
    verticalHeader()->setSectionsClickable(false);
}

void ResultTableView::keyPressEvent(QKeyEvent* event)
{
    const bool editing = state() == EditingState;
    if (!editing && event->key() == Qt::Key_Delete && event->modifiers() == Qt::ControlModifier) {
        Q_EMIT deletePressed();
    } else if (!editing && event->key() == Qt::Key_Insert && event->modifiers() == Qt::NoModifier) {
        Q_EMIT insertPressed();
    } else if (!editing && event->key() == Qt::Key_Down && event->modifiers() == Qt::NoModifier
               && model() && currentIndex().row() == model()->rowCount() - 1) {
        Q_EMIT downFromLastRow();
    } else if (!editing && (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter)) {
        // The grid takes Enter itself: it never runs the statement.
        Q_EMIT enterPressed();
    } else {
        QTableView::keyPressEvent(event);
        return;
    }
    event->accept();
}

void ResultTableView::focusOutEvent(QFocusEvent* event)
{
    QTableView::focusOutEvent(event);
    // Focus going to the grid's own cell editor, or to another window, does not leave the grid.
    const QWidget* next = QApplication::focusWidget();
    if (event->reason() != Qt::ActiveWindowFocusReason && event->reason() != Qt::PopupFocusReason
        && !(next && isAncestorOf(next)))
        Q_EMIT focusLeftGrid();
}

ResultGridController::ResultGridController(QWidget* gridPane, QWidget* area, OpenResult& openResult, SqlWorkbench& workbench, QObject* parent)
    : QObject(parent), m_openResult(openResult), m_workbench(workbench)
{
    // While the open result adds, drops or replaces rows, the grid's current row moves with
    // them; those moves must not be sent back as the user's. So the grid stops following before
    // the model hears of a change and starts again after it (connection order is call order).
    const auto quiet = [this] { m_following = true; };
    const auto listen = [this] { m_following = false; };
    connect(&m_openResult, &OpenResult::resultAboutToChange, this, quiet);
    connect(&m_openResult, &OpenResult::rowAboutToBeInserted, this, quiet);
    connect(&m_openResult, &OpenResult::rowAboutToBeRemoved, this, quiet);
    connect(&m_openResult, &OpenResult::rowsAboutToBeFetched, this, quiet);
    m_model = new ResultModel(openResult, this);
    m_model->setObjectName(QStringLiteral("resultModel"));
    connect(&m_openResult, &OpenResult::resultChanged, this, listen);
    connect(&m_openResult, &OpenResult::rowInserted, this, listen);
    connect(&m_openResult, &OpenResult::rowRemoved, this, listen);
    connect(&m_openResult, &OpenResult::rowsFetched, this, listen);

    m_grid = new ResultTableView(gridPane);
    m_grid->setObjectName(QStringLiteral("grid"));
    m_grid->setItemDelegate(new CellDelegate(*this, m_grid));
    m_grid->setModel(m_model);
    m_grid->setAccessibleName(QStringLiteral("Results"));

    m_navigator = new RecordNavigator(area);
    m_navigator->setObjectName(QStringLiteral("navigator"));

    QHeaderView* titles = m_grid->horizontalHeader();
    connect(titles, &QHeaderView::sectionClicked, this, &ResultGridController::sortByColumn);
    connect(m_grid->filters, &FilterHeader::filterEdited, this, &ResultGridController::applyFilter);
    connect(&m_openResult, &OpenResult::resultChanged, this, &ResultGridController::showFilter);
    connect(titles, &QHeaderView::sectionResized, this, [this](int column) { applyWidthRule(column); });
    connect(m_model, &QAbstractItemModel::modelReset, this, &ResultGridController::sizeColumns);
    connect(m_model, &ResultModel::writeFailed, this, [](const QString& message) { showDefaultError(message); });

    connect(m_grid->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            [this](const QModelIndex& current) { gridRowChanged(current.row()); });
    connect(&m_openResult, &OpenResult::currentRowChanged, this, &ResultGridController::showCurrentRow);

    connect(m_grid, &ResultTableView::insertPressed, this, [this] { navigate(RecordNavigator::Insert); });
    connect(m_grid, &ResultTableView::deletePressed, this, [this] { navigate(RecordNavigator::Delete); });
    connect(m_grid, &ResultTableView::downFromLastRow, this, [this] { guarded([this] { appendFromLastRow(); }); });
    connect(m_grid, &ResultTableView::enterPressed, this, [this] {
        if (m_openResult.state() == OpenResult::State::Insert || m_openResult.state() == OpenResult::State::Edit)
            guarded([this] { m_openResult.submit(); });
    });
    connect(m_grid, &ResultTableView::focusLeftGrid, this, [this] {
        if (m_openResult.state() == OpenResult::State::Insert && !m_openResult.isModified())
            m_openResult.cancel();
    });
    connect(m_navigator, &RecordNavigator::clicked, this, &ResultGridController::navigate);
    connect(this, &ResultGridController::sortChanged, &m_workbench, &SqlWorkbench::showSort);

    // Ctrl+C and Ctrl+Shift+C copy the whole selection instead of the one current cell the view
    // would copy. The shortcuts belong to the grid alone: in a cell editor they work on its text.
    auto* copyAction = new QAction(QStringLiteral("&Copy"), m_grid);
    copyAction->setObjectName(QStringLiteral("copyAction"));
    copyAction->setShortcut(QKeySequence::Copy);
    auto* copyWithTitlesAction = new QAction(QStringLiteral("Copy with &Titles"), m_grid);
    copyWithTitlesAction->setObjectName(QStringLiteral("copyWithTitlesAction"));
    copyWithTitlesAction->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_C));
    auto* selectAllAction = new QAction(QStringLiteral("Select &All"), m_grid);
    selectAllAction->setObjectName(QStringLiteral("selectAllAction"));
    selectAllAction->setShortcut(QKeySequence::SelectAll);
    for (QAction* action : {copyAction, copyWithTitlesAction, selectAllAction}) {
        action->setShortcutContext(Qt::WidgetShortcut);
        action->setShortcutVisibleInContextMenu(true);
        m_grid->addAction(action);
    }
    m_grid->setContextMenuPolicy(Qt::ActionsContextMenu);
    connect(copyAction, &QAction::triggered, this, [this] { copySelection(false); });
    connect(copyWithTitlesAction, &QAction::triggered, this, [this] { copySelection(true); });
    // "All" means every row of the result, also those still to be read.
    connect(selectAllAction, &QAction::triggered, this, [this] {
        guarded([this] {
            m_openResult.fetchAll();
            m_grid->selectAll();
        });
    });

    for (auto signal : {&OpenResult::currentRowChanged, &OpenResult::resultChanged})
        connect(&m_openResult, signal, this, &ResultGridController::updateNavigator);
    // A new result has the statement's order; a reordered one has the arrow of its sort.
    connect(&m_openResult, &OpenResult::resultChanged, this, &ResultGridController::showSortIndicator);
    connect(&m_openResult, &OpenResult::rowChanged, this, &ResultGridController::updateNavigator);
    connect(&m_openResult, &OpenResult::fetchingChanged, this, &ResultGridController::updateNavigator);
    updateNavigator();
}

QWidget* ResultGridController::focusWidget() const
{
    return m_grid;
}

void ResultGridController::drawAvatar(QPainter* painter, const QRect& cell, const QModelIndex& index) const
{
    if (m_model->fieldName(index.column()) != imageField)
        return;
    // Read from disk at every paint: a bitmap replaced while the program runs shows at once.
    const QImage picture = avatar::load(m_openResult.valueAt(index.row(), index.column()));
    if (picture.isNull())
        return;
    painter->drawImage(QRect(cell.topLeft(), QSize(16, 16)), picture);
}

void ResultGridController::applyWidthRule(int column)
{
    QHeaderView* titles = m_grid->horizontalHeader();
    const int width = titles->sectionSize(column);
    int wanted = width;
    if (m_model->fieldName(column) == imageField)
        wanted = imageColumnWidth();
    else if (width < narrowest || width > widest)
        wanted = fallbackWidth;
    if (wanted != width)
        titles->resizeSection(column, wanted);
}

// The avatars' width, or the title's when the desktop's font is wider than the design font.
int ResultGridController::imageColumnWidth() const
{
    const QHeaderView* titles = m_grid->horizontalHeader();
    const int margin = titles->style()->pixelMetric(QStyle::PM_HeaderMargin, nullptr, titles);
    return std::max(imageWidth, QFontMetrics(titles->font()).horizontalAdvance(imageField) + 2 * margin);
}

// A new result gets columns as wide as their titles and first values; a result that was only
// reordered keeps the widths the user gave it.
void ResultGridController::sizeColumns()
{
    QHeaderView* titles = m_grid->horizontalHeader();
    const QStringList fields = m_openResult.fieldNames();
    if (m_sorting && fields == m_widthFields) {
        for (int c = 0; c < m_widths.size(); ++c)
            titles->resizeSection(c, m_widths[c]);
        return;
    }
    const QFontMetrics text(m_grid->font());
    const QFontMetrics title(titles->font());
    const int rows = std::min(m_openResult.recordCount(), sampledRows);
    for (int c = 0; c < fields.size(); ++c) {
        int width = title.horizontalAdvance(fields[c]) + 16;
        for (int r = 0; r < rows; ++r)
            width = std::max(width, text.horizontalAdvance(m_openResult.textAt(r, c)) + 10);
        titles->resizeSection(c, width);
        applyWidthRule(c);
    }
}

void ResultGridController::sortByColumn(int column)
{
    guarded([&] {
        // Ascending, then descending, then the statement's own order again.
        const OpenResult::Sort now = m_openResult.sortOrder();
        if (now.column != column)
            keepingWidths([&] { m_openResult.sortBy(column, Qt::AscendingOrder); });
        else if (now.order == Qt::AscendingOrder)
            keepingWidths([&] { m_openResult.sortBy(column, Qt::DescendingOrder); });
        else
            keepingWidths([&] { m_openResult.clearSort(); });

        Q_EMIT sortChanged(m_openResult.sortText());
        m_workbench.setRecordNumber(m_openResult.currentRowNumber());
    });
    // Whatever the header made of the click, its arrow shows the sort the result has, also when
    // the sort was refused.
    showSortIndicator();
}

// A sort or a filter shows the same columns in another order or number: they keep the widths
// the user gave them.
template <typename Reorder>
void ResultGridController::keepingWidths(Reorder reorder)
{
    QHeaderView* titles = m_grid->horizontalHeader();
    m_widthFields = m_openResult.fieldNames();
    m_widths.clear();
    for (int c = 0; c < titles->count(); ++c)
        m_widths.append(titles->sectionSize(c));
    m_sorting = true;
    const auto done = qScopeGuard([this] { m_sorting = false; });
    reorder();
}

void ResultGridController::applyFilter()
{
    guarded([this] {
        if (!m_openResult.isOpen())
            return;
        RowFilter filter;
        for (int c = 0; c < m_openResult.fieldCount(); ++c)
            filter.set(c, m_grid->filters->filterText(c));
        keepingWidths([&] { m_openResult.setFilter(filter); });
        m_workbench.showRecordCount();
        m_workbench.setRecordNumber(m_openResult.currentRowNumber());
    });
    // A refused filter (a changed row the database would not take) leaves the fields as the
    // result's filter is.
    showFilter();
}

// The fields name the result's columns and show its filter: a new result starts without one.
void ResultGridController::showFilter()
{
    const RowFilter filter = m_openResult.filter();
    const QStringList fields = m_openResult.fieldNames();
    QStringList texts;
    for (int c = 0; c < fields.size(); ++c)
        texts.append(filter.text(c));
    m_grid->filters->showColumns(fields, texts);
}

void ResultGridController::showSortIndicator()
{
    QHeaderView* titles = m_grid->horizontalHeader();
    const OpenResult::Sort sort = m_openResult.sortOrder();
    titles->setSortIndicatorShown(sort.column >= 0);
    titles->setSortIndicator(sort.column, sort.order);
}

void ResultGridController::copySelection(bool withTitles)
{
    const QItemSelection selection = m_grid->selectionModel()->selection();
    if (selection.isEmpty())
        return;
    // Rows and columns each in the grid's order, whatever order the ranges were selected in.
    QList<bool> rowTaken(m_model->rowCount(), false);
    QList<bool> columnTaken(m_model->columnCount(), false);
    for (const QItemSelectionRange& range : selection) {
        for (int r = range.top(); r <= range.bottom(); ++r)
            rowTaken[r] = true;
        for (int c = range.left(); c <= range.right(); ++c)
            columnTaken[c] = true;
    }
    QList<int> rows;
    QList<int> columns;
    for (int r = 0; r < rowTaken.size(); ++r)
        if (rowTaken[r])
            rows.append(r);
    for (int c = 0; c < columnTaken.size(); ++c)
        if (columnTaken[c])
            columns.append(c);
    QStringList titles;
    for (int c = 0; c < m_model->columnCount(); ++c)
        titles.append(m_model->fieldName(c));
    // A whole million-row result takes a few seconds to gather.
    QGuiApplication::setOverrideCursor(Qt::WaitCursor);
    const auto restoreCursor = qScopeGuard([] { QGuiApplication::restoreOverrideCursor(); });
    // The cells as the grid shows them, "(BLOB)" included.
    const rangecopy::Copied copied = rangecopy::copy(
        titles, rows, columns,
        [this](int row, int column) { return m_model->data(m_model->index(row, column), Qt::DisplayRole).toString(); },
        withTitles ? rangecopy::Titles::With : rangecopy::Titles::Without);
    auto* data = new QMimeData;
    data->setText(copied.text);
    data->setHtml(copied.html);
    QGuiApplication::clipboard()->setMimeData(data);
}

// The open result's row moved (navigator, export, a new result): the grid follows.
void ResultGridController::showCurrentRow()
{
    const int row = m_openResult.currentRow();
    const int column = std::max(m_grid->currentIndex().column(), 0);
    m_following = true;
    if (row >= 0 && column < m_model->columnCount()) {
        const QModelIndex index = m_model->index(row, column);
        m_grid->selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect);
        m_grid->scrollTo(index);
    } else {
        m_grid->selectionModel()->clearCurrentIndex();
    }
    m_following = false;
}

// The user moved the grid's current row: the open result follows; when it cannot (a new row
// the database refuses), the grid goes back to the open result's row.
void ResultGridController::gridRowChanged(int row)
{
    if (m_following || row < 0 || row == m_openResult.currentRow() || !m_openResult.isOpen())
        return;
    bool moved = false;
    guarded([&] {
        m_openResult.moveTo(row);
        moved = true;
    });
    if (!moved)
        showCurrentRow();
}

void ResultGridController::appendFromLastRow()
{
    if (!m_openResult.isOpen())
        return;
    // A new row nobody has typed into yet is not followed by another.
    if (m_openResult.state() == OpenResult::State::Insert && !m_openResult.isModified())
        return;
    m_openResult.append();
}

void ResultGridController::deleteCurrentRow()
{
    if (!m_openResult.isOpen() || m_openResult.currentRow() < 0)
        return;
    if (!Dialogs::instance().confirm(QStringLiteral("Delete record?")))
        return;
    m_openResult.deleteRecord();
}

// Hands the open cell editor's text to the row (keepValue) or drops it.
void ResultGridController::commitEditor(bool keepValue)
{
    QWidget* editor = m_editor;
    if (!editor || !m_grid->isEditingCell())
        return;
    auto* delegate = m_grid->itemDelegate();
    if (keepValue)
        Q_EMIT delegate->commitData(editor);
    Q_EMIT delegate->closeEditor(editor, QAbstractItemDelegate::NoHint);
}

void ResultGridController::navigate(RecordNavigator::Button button)
{
    guarded([&] {
        if (!m_openResult.isOpen())
            return;
        const int row = m_openResult.currentRow();
        switch (button) {
        case RecordNavigator::First: commitEditor(true); m_openResult.first(); break;
        case RecordNavigator::Prior:
            commitEditor(true);
            if (row > 0)
                m_openResult.moveTo(row - 1);
            break;
        case RecordNavigator::Next: commitEditor(true); m_openResult.next(); break;
        case RecordNavigator::Last:
            commitEditor(true);
            m_openResult.fetchAll();
            if (m_openResult.recordCount() > 0)
                m_openResult.moveTo(m_openResult.recordCount() - 1);
            break;
        case RecordNavigator::Insert: commitEditor(true); m_openResult.insert(); break;
        case RecordNavigator::Delete: commitEditor(false); deleteCurrentRow(); break;
        case RecordNavigator::Edit: {
            m_openResult.edit();
            const QModelIndex cell = m_grid->currentIndex();
            if (cell.isValid() && (m_model->flags(cell) & Qt::ItemIsEditable))
                m_grid->edit(cell);
            break;
        }
        case RecordNavigator::Submit: commitEditor(true); m_openResult.submit(); break;
        case RecordNavigator::Cancel: commitEditor(false); m_openResult.cancel(); break;
        case RecordNavigator::ButtonCount: break;
        }
    });
}

void ResultGridController::updateNavigator()
{
    const bool open = m_openResult.isOpen();
    const int row = m_openResult.currentRow();
    // Rows still to come lie beyond the last one read.
    const int last = m_openResult.isFetching() ? std::numeric_limits<int>::max() : m_openResult.recordCount() - 1;
    const bool browsing = m_openResult.state() == OpenResult::State::Browse;
    m_navigator->setButtonEnabled(RecordNavigator::First, open && row > 0);
    m_navigator->setButtonEnabled(RecordNavigator::Prior, open && row > 0);
    m_navigator->setButtonEnabled(RecordNavigator::Next, open && row >= 0 && row < last);
    m_navigator->setButtonEnabled(RecordNavigator::Last, open && row >= 0 && row < last);
    m_navigator->setButtonEnabled(RecordNavigator::Insert, open);
    m_navigator->setButtonEnabled(RecordNavigator::Delete, open && row >= 0);
    m_navigator->setButtonEnabled(RecordNavigator::Edit, open && row >= 0 && browsing);
    m_navigator->setButtonEnabled(RecordNavigator::Submit, open && !browsing);
    m_navigator->setButtonEnabled(RecordNavigator::Cancel, open && !browsing);
}
