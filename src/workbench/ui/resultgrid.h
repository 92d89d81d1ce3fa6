#pragma once

#include "workbench/ui/recordnavigator.h"

#include <QObject>
#include <QPointer>
#include <QStringList>
#include <QTableView>

class FilterHeader;
class QAction;
class QPainter;
class OpenResult;
class ResultModel;
class SqlWorkbench;

// The data grid: title buttons with the sort arrow, a row indicator, in-place editing, a range
// of selected cells. Keys that mean something to the result (Insert, Ctrl+Delete, Down on the
// last row, Enter) are handed to the grid's owner.
class ResultTableView : public QTableView {
    Q_OBJECT

public:
    explicit ResultTableView(QWidget* parent = nullptr);

    FilterHeader* filters;   // the column titles with a filter field under each

    bool isEditingCell() const { return state() == EditingState; }

Q_SIGNALS:
    void insertPressed();
    void deletePressed();        // Ctrl+Delete
    void downFromLastRow();
    void enterPressed();
    void focusLeftGrid();

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
};

// The upper part of the main window: grid bound to the open result of openResult, the record
// navigator under it, avatars in the `image` column, the column width rules and the title-click
// sort cycle, whose sort, record number and count the workbench's status line shows. The grid
// ("grid", with its model "resultModel") is made on `gridPane`, the navigator ("navigator") on
// `area`; the window's layout places both.
class ResultGridController : public QObject {
    Q_OBJECT

public:
    ResultGridController(QWidget* gridPane, QWidget* area, OpenResult& openResult, SqlWorkbench& workbench, QObject* parent = nullptr);

    // The grid in the window's Tab order.
    QWidget* focusWidget() const;

Q_SIGNALS:
    // The result's sort after a title click: "<field> ASC", "<field> DESC", or "" for the
    // statement's order.
    void sortChanged(const QString& sort);

public Q_SLOTS:
    // A completed click on the title of a column: ascending, descending, statement order.
    void sortByColumn(int column);

public:
    // After a data cell has been drawn: the avatar over an `image` cell, when there is one.
    void drawAvatar(QPainter* painter, const QRect& cell, const QModelIndex& index) const;

    // The selected cells to the clipboard as tab-separated text and as an HTML table, under a
    // line of their column titles when asked.
    void copySelection(bool withTitles);

private:
    friend class CellDelegate;

    void applyWidthRule(int column);
    int imageColumnWidth() const;
    void sizeColumns();
    void showCurrentRow();
    void gridRowChanged(int row);
    void navigate(RecordNavigator::Button button);
    void deleteCurrentRow();
    void appendFromLastRow();
    void commitEditor(bool keepValue);
    void updateNavigator();
    void showSortIndicator();
    void applyFilter();
    void showFilter();
    template <typename Reorder> void keepingWidths(Reorder reorder);

    OpenResult& m_openResult;
    SqlWorkbench& m_workbench;
    ResultTableView* m_grid;
    RecordNavigator* m_navigator;
    ResultModel* m_model;
    QPointer<QWidget> m_editor;      // the open cell editor, if any
    bool m_following = false;        // the grid is being moved to the open result's row
    bool m_sorting = false;          // a title click reorders: the columns stay as they are
    QStringList m_widthFields;
    QList<int> m_widths;
};
