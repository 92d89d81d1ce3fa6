#include "resultgrid.h"

#include "common/dialogs.h"
#include "common/errordisplay.h"
#include "db/avatar.h"
#include "db/queryobject.h"
#include "db/rangecopy.h"
#include "db/resultmodel.h"
#include "filterheader.h"
#include "sqlworkbench.h"

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

// The query object's sort text, "<field> ASC" or "<field> DESC", in its two parts. Field names
// may hold blanks, so the direction is what follows the last one.
struct SortText {
    QString field;
    QString direction;
};

SortText splitSort(const QString& sort)
{
    const qsizetype blank = sort.lastIndexOf(QLatin1Char(' '));
    if (blank < 0)
        return {sort, {}};
    return {sort.left(blank), sort.mid(blank + 1)};
}
} // namespace

// Draws each cell as usual, then lets the grid's owner paint over it; keeps track of the open
// editor so that the navigator can post or cancel it.
class CellDelegate : public QStyledItemDelegate {
public:
    CellDelegate(ResultGrid& owner, QObject* parent) : QStyledItemDelegate(parent), m_owner(owner) {}

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
    ResultGrid& m_owner;
};

DataGrid::DataGrid(QWidget* parent) : QTableView(parent), filters(new FilterHeader(this))
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

void DataGrid::keyPressEvent(QKeyEvent* event)
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

void DataGrid::focusOutEvent(QFocusEvent* event)
{
    QTableView::focusOutEvent(event);
    // Focus going to the grid's own cell editor, or to another window, does not leave the grid.
    const QWidget* next = QApplication::focusWidget();
    if (event->reason() != Qt::ActiveWindowFocusReason && event->reason() != Qt::PopupFocusReason
        && !(next && isAncestorOf(next)))
        Q_EMIT focusLeftGrid();
}

ResultGrid::ResultGrid(QWidget* gridPane, QWidget* form, QueryObject& dataSet, SqlWorkbench& workbench, QObject* parent)
    : QObject(parent), m_dataSet(dataSet), m_workbench(workbench)
{
    // While the query object adds, drops or replaces rows, the grid's current row moves with
    // them; those moves must not be sent back as the user's. So the grid stops following before
    // the model hears of a change and starts again after it (connection order is call order).
    const auto quiet = [this] { m_following = true; };
    const auto listen = [this] { m_following = false; };
    connect(&m_dataSet, &QueryObject::resultAboutToChange, this, quiet);
    connect(&m_dataSet, &QueryObject::rowAboutToBeInserted, this, quiet);
    connect(&m_dataSet, &QueryObject::rowAboutToBeRemoved, this, quiet);
    connect(&m_dataSet, &QueryObject::rowsAboutToBeFetched, this, quiet);
    m_model = new ResultModel(dataSet, this);
    m_model->setObjectName(QStringLiteral("resultModel"));
    connect(&m_dataSet, &QueryObject::resultChanged, this, listen);
    connect(&m_dataSet, &QueryObject::rowInserted, this, listen);
    connect(&m_dataSet, &QueryObject::rowRemoved, this, listen);
    connect(&m_dataSet, &QueryObject::rowsFetched, this, listen);

    m_grid = new DataGrid(gridPane);
    m_grid->setObjectName(QStringLiteral("grid"));
    m_grid->setItemDelegate(new CellDelegate(*this, m_grid));
    m_grid->setModel(m_model);
    m_grid->setAccessibleName(QStringLiteral("Results"));

    m_navigator = new RecordNavigator(form);
    m_navigator->setObjectName(QStringLiteral("navigator"));

    QHeaderView* titles = m_grid->horizontalHeader();
    connect(titles, &QHeaderView::sectionClicked, this, &ResultGrid::sortByColumn);
    connect(m_grid->filters, &FilterHeader::filterEdited, this, &ResultGrid::applyFilter);
    connect(&m_dataSet, &QueryObject::resultChanged, this, &ResultGrid::showFilter);
    connect(titles, &QHeaderView::sectionResized, this, [this](int column) { applyWidthRule(column); });
    connect(m_model, &QAbstractItemModel::modelReset, this, &ResultGrid::sizeColumns);
    connect(m_model, &ResultModel::writeFailed, this, [](const QString& message) { showDefaultError(message); });

    connect(m_grid->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            [this](const QModelIndex& current) { gridRowChanged(current.row()); });
    connect(&m_dataSet, &QueryObject::afterScroll, this, &ResultGrid::showCurrentRow);

    connect(m_grid, &DataGrid::insertPressed, this, [this] { navigate(RecordNavigator::Insert); });
    connect(m_grid, &DataGrid::deletePressed, this, [this] { navigate(RecordNavigator::Delete); });
    connect(m_grid, &DataGrid::downFromLastRow, this, [this] { guarded([this] { appendFromLastRow(); }); });
    connect(m_grid, &DataGrid::enterPressed, this, [this] {
        if (m_dataSet.state() == QueryObject::State::Insert || m_dataSet.state() == QueryObject::State::Edit)
            guarded([this] { m_dataSet.post(); });
    });
    connect(m_grid, &DataGrid::focusLeftGrid, this, [this] {
        if (m_dataSet.state() == QueryObject::State::Insert && !m_dataSet.isModified())
            m_dataSet.cancel();
    });
    connect(m_navigator, &RecordNavigator::clicked, this, &ResultGrid::navigate);
    connect(this, &ResultGrid::sortChanged, &m_workbench, &SqlWorkbench::showSort);

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
            m_dataSet.fetchAll();
            m_grid->selectAll();
        });
    });

    for (auto signal : {&QueryObject::afterScroll, &QueryObject::resultChanged})
        connect(&m_dataSet, signal, this, &ResultGrid::updateNavigator);
    // A new result has the statement's order; a reordered one has the arrow of its sort.
    connect(&m_dataSet, &QueryObject::resultChanged, this, &ResultGrid::showSortIndicator);
    connect(&m_dataSet, &QueryObject::rowChanged, this, &ResultGrid::updateNavigator);
    connect(&m_dataSet, &QueryObject::fetchingChanged, this, &ResultGrid::updateNavigator);
    updateNavigator();
}

QWidget* ResultGrid::focusWidget() const
{
    return m_grid;
}

void ResultGrid::drawAvatar(QPainter* painter, const QRect& cell, const QModelIndex& index) const
{
    if (m_model->fieldName(index.column()) != imageField)
        return;
    // Read from disk at every paint: a bitmap replaced while the program runs shows at once.
    const QImage picture = avatar::load(m_dataSet.valueAt(index.row(), index.column()));
    if (picture.isNull())
        return;
    painter->drawImage(QRect(cell.topLeft(), QSize(16, 16)), picture);
}

void ResultGrid::applyWidthRule(int column)
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
int ResultGrid::imageColumnWidth() const
{
    const QHeaderView* titles = m_grid->horizontalHeader();
    const int margin = titles->style()->pixelMetric(QStyle::PM_HeaderMargin, nullptr, titles);
    return std::max(imageWidth, QFontMetrics(titles->font()).horizontalAdvance(imageField) + 2 * margin);
}

// A new result gets columns as wide as their titles and first values; a result that was only
// reordered keeps the widths the user gave it.
void ResultGrid::sizeColumns()
{
    QHeaderView* titles = m_grid->horizontalHeader();
    const QStringList fields = m_dataSet.fieldNames();
    if (m_sorting && fields == m_widthFields) {
        for (int c = 0; c < m_widths.size(); ++c)
            titles->resizeSection(c, m_widths[c]);
        return;
    }
    const QFontMetrics text(m_grid->font());
    const QFontMetrics title(titles->font());
    const int rows = std::min(m_dataSet.recordCount(), sampledRows);
    for (int c = 0; c < fields.size(); ++c) {
        int width = title.horizontalAdvance(fields[c]) + 16;
        for (int r = 0; r < rows; ++r)
            width = std::max(width, text.horizontalAdvance(m_dataSet.textAt(r, c)) + 10);
        titles->resizeSection(c, width);
        applyWidthRule(c);
    }
}

void ResultGrid::sortByColumn(int column)
{
    guarded([&] {
        const QString field = m_model->fieldName(column);
        const QString sort = m_dataSet.sort();
        // Whole field names are compared, so a click on `car` after a sort by `car_count` starts
        // `car` ascending.
        const SortText current = splitSort(sort);
        QString next = sort;
        if (sort.isEmpty() || current.field != field)
            next = field + QStringLiteral(" ASC");
        else if (current.direction == QLatin1String("ASC"))
            next = field + QStringLiteral(" DESC");
        else if (current.direction == QLatin1String("DESC"))
            next.clear();

        keepingWidths([&] { m_dataSet.setSort(next); });

        Q_EMIT sortChanged(m_dataSet.sort());
        m_workbench.setRecordNumber(m_dataSet.recNo());
    });
    // Whatever the header made of the click, its arrow shows the sort the result has, also when
    // the sort was refused.
    showSortIndicator();
}

// A sort or a filter shows the same columns in another order or number: they keep the widths
// the user gave them.
template <typename Reorder>
void ResultGrid::keepingWidths(Reorder reorder)
{
    QHeaderView* titles = m_grid->horizontalHeader();
    m_widthFields = m_dataSet.fieldNames();
    m_widths.clear();
    for (int c = 0; c < titles->count(); ++c)
        m_widths.append(titles->sectionSize(c));
    m_sorting = true;
    const auto done = qScopeGuard([this] { m_sorting = false; });
    reorder();
}

void ResultGrid::applyFilter()
{
    guarded([this] {
        if (!m_dataSet.isOpen())
            return;
        RowFilter filter;
        for (int c = 0; c < m_dataSet.fieldCount(); ++c)
            filter.set(c, m_grid->filters->filterText(c));
        keepingWidths([&] { m_dataSet.setFilter(filter); });
        m_workbench.showRecordCount();
        m_workbench.setRecordNumber(m_dataSet.recNo());
    });
    // A refused filter (a changed row the database would not take) leaves the fields as the
    // result's filter is.
    showFilter();
}

// The fields name the result's columns and show its filter: a new result starts without one.
void ResultGrid::showFilter()
{
    const RowFilter filter = m_dataSet.filter();
    const QStringList fields = m_dataSet.fieldNames();
    QStringList texts;
    for (int c = 0; c < fields.size(); ++c)
        texts.append(filter.text(c));
    m_grid->filters->showColumns(fields, texts);
}

void ResultGrid::showSortIndicator()
{
    QHeaderView* titles = m_grid->horizontalHeader();
    const SortText sort = splitSort(m_dataSet.sort());
    const int column = sort.field.isEmpty() ? -1 : int(m_dataSet.fieldNames().indexOf(sort.field));
    titles->setSortIndicatorShown(column >= 0);
    titles->setSortIndicator(column, sort.direction == QLatin1String("DESC") ? Qt::DescendingOrder
                                                                              : Qt::AscendingOrder);
}

void ResultGrid::copySelection(bool withTitles)
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

// The query object's row moved (navigator, export, a new result): the grid follows.
void ResultGrid::showCurrentRow()
{
    const int row = m_dataSet.currentRow();
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

// The user moved the grid's current row: the query object follows; when it cannot (a new row
// the database refuses), the grid goes back to the query object's row.
void ResultGrid::gridRowChanged(int row)
{
    if (m_following || row < 0 || row == m_dataSet.currentRow() || !m_dataSet.isOpen())
        return;
    bool moved = false;
    guarded([&] {
        m_dataSet.moveTo(row);
        moved = true;
    });
    if (!moved)
        showCurrentRow();
}

void ResultGrid::appendFromLastRow()
{
    if (!m_dataSet.isOpen())
        return;
    // A new row nobody has typed into yet is not followed by another.
    if (m_dataSet.state() == QueryObject::State::Insert && !m_dataSet.isModified())
        return;
    m_dataSet.append();
}

void ResultGrid::deleteCurrentRow()
{
    if (!m_dataSet.isOpen() || m_dataSet.currentRow() < 0)
        return;
    if (!Dialogs::instance().confirm(QStringLiteral("Delete record?")))
        return;
    m_dataSet.deleteRecord();
}

// Hands the open cell editor's text to the row (keepValue) or drops it.
void ResultGrid::commitEditor(bool keepValue)
{
    QWidget* editor = m_editor;
    if (!editor || !m_grid->isEditingCell())
        return;
    auto* delegate = m_grid->itemDelegate();
    if (keepValue)
        Q_EMIT delegate->commitData(editor);
    Q_EMIT delegate->closeEditor(editor, QAbstractItemDelegate::NoHint);
}

void ResultGrid::navigate(RecordNavigator::Button button)
{
    guarded([&] {
        if (!m_dataSet.isOpen())
            return;
        const int row = m_dataSet.currentRow();
        switch (button) {
        case RecordNavigator::First: commitEditor(true); m_dataSet.first(); break;
        case RecordNavigator::Prior:
            commitEditor(true);
            if (row > 0)
                m_dataSet.moveTo(row - 1);
            break;
        case RecordNavigator::Next: commitEditor(true); m_dataSet.next(); break;
        case RecordNavigator::Last:
            commitEditor(true);
            m_dataSet.fetchAll();
            if (m_dataSet.recordCount() > 0)
                m_dataSet.moveTo(m_dataSet.recordCount() - 1);
            break;
        case RecordNavigator::Insert: commitEditor(true); m_dataSet.insert(); break;
        case RecordNavigator::Delete: commitEditor(false); deleteCurrentRow(); break;
        case RecordNavigator::Edit: {
            m_dataSet.edit();
            const QModelIndex cell = m_grid->currentIndex();
            if (cell.isValid() && (m_model->flags(cell) & Qt::ItemIsEditable))
                m_grid->edit(cell);
            break;
        }
        case RecordNavigator::Post: commitEditor(true); m_dataSet.post(); break;
        case RecordNavigator::Cancel: commitEditor(false); m_dataSet.cancel(); break;
        case RecordNavigator::ButtonCount: break;
        }
    });
}

void ResultGrid::updateNavigator()
{
    const bool open = m_dataSet.isOpen();
    const int row = m_dataSet.currentRow();
    // Rows still to come lie beyond the last one read.
    const int last = m_dataSet.isFetching() ? std::numeric_limits<int>::max() : m_dataSet.recordCount() - 1;
    const bool browsing = m_dataSet.state() == QueryObject::State::Browse;
    m_navigator->setButtonEnabled(RecordNavigator::First, open && row > 0);
    m_navigator->setButtonEnabled(RecordNavigator::Prior, open && row > 0);
    m_navigator->setButtonEnabled(RecordNavigator::Next, open && row >= 0 && row < last);
    m_navigator->setButtonEnabled(RecordNavigator::Last, open && row >= 0 && row < last);
    m_navigator->setButtonEnabled(RecordNavigator::Insert, open);
    m_navigator->setButtonEnabled(RecordNavigator::Delete, open && row >= 0);
    m_navigator->setButtonEnabled(RecordNavigator::Edit, open && row >= 0 && browsing);
    m_navigator->setButtonEnabled(RecordNavigator::Post, open && !browsing);
    m_navigator->setButtonEnabled(RecordNavigator::Cancel, open && !browsing);
}
