#include "viewers/ui/accessiblepage.h"

#include "viewers/ui/htmlview.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QAbstractTextDocumentLayout>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextFrame>
#include <QTextTable>
#include <QTextCursor>

namespace {

class AccessiblePage;

// One part of a page as assistive technology sees it: a heading, a paragraph, a table or one of
// its cells. The texts are copied when the page is read, so a part never points into a document
// that was replaced since.
class PagePart : public QAccessibleInterface {
public:
    PagePart(AccessiblePage* page, QAccessibleInterface* parent, QAccessible::Role role, const QString& text,
             const QRectF& area)
        : m_page(page), m_parent(parent), m_role(role), m_text(text), m_area(area)
    {
    }

    bool isValid() const override { return true; }
    QObject* object() const override { return nullptr; }
    QWindow* window() const override { return m_parent->window(); }
    QAccessibleInterface* parent() const override { return m_parent; }
    QAccessibleInterface* child(int index) const override { return m_children.value(index); }
    int childCount() const override { return int(m_children.size()); }
    int indexOfChild(const QAccessibleInterface* child) const override
    {
        return int(m_children.indexOf(const_cast<QAccessibleInterface*>(child)));
    }
    QAccessibleInterface* childAt(int, int) const override { return nullptr; }
    QString text(QAccessible::Text t) const override { return t == QAccessible::Name ? m_text : QString(); }
    void setText(QAccessible::Text, const QString&) override {}
    QRect rect() const override;
    QAccessible::Role role() const override { return m_role; }
    QAccessible::State state() const override
    {
        QAccessible::State state;
        state.readOnly = true;
        return state;
    }

    QList<QAccessibleInterface*> m_children;

protected:
    AccessiblePage* m_page;
    QAccessibleInterface* m_parent;
    QAccessible::Role m_role;
    QString m_text;
    QRectF m_area;   // in the document's coordinates
};

class TablePart;

class CellPart : public PagePart, public QAccessibleTableCellInterface {
public:
    CellPart(AccessiblePage* page, TablePart* table, bool header, int row, int column, int rowSpan, int columnSpan,
             const QString& text, const QRectF& area);

    void* interface_cast(QAccessible::InterfaceType type) override
    {
        return type == QAccessible::TableCellInterface ? static_cast<QAccessibleTableCellInterface*>(this) : nullptr;
    }
    bool isSelected() const override { return false; }
    QList<QAccessibleInterface*> columnHeaderCells() const override;
    QList<QAccessibleInterface*> rowHeaderCells() const override { return {}; }
    int columnIndex() const override { return m_column; }
    int rowIndex() const override { return m_row; }
    int columnExtent() const override { return m_columnSpan; }
    int rowExtent() const override { return m_rowSpan; }
    QAccessibleInterface* table() const override;

private:
    TablePart* m_table;
    int m_row, m_column, m_rowSpan, m_columnSpan;
};

// A table of the page. The pages head their tables with a row of titles: that row's cells are
// column headers, and the rows below are the table's rows from 0.
class TablePart : public PagePart, public QAccessibleTableInterface {
public:
    TablePart(AccessiblePage* page, QAccessibleInterface* parent, const QRectF& area, int rows, int columns)
        : PagePart(page, parent, QAccessible::Table, QString(), area), m_rows(rows), m_columns(columns)
    {
    }

    void* interface_cast(QAccessible::InterfaceType type) override
    {
        return type == QAccessible::TableInterface ? static_cast<QAccessibleTableInterface*>(this) : nullptr;
    }
    QAccessibleInterface* caption() const override { return nullptr; }
    QAccessibleInterface* summary() const override { return nullptr; }
    QAccessibleInterface* cellAt(int row, int column) const override
    {
        for (QAccessibleInterface* child : m_children) {
            const auto* cell = static_cast<CellPart*>(child);
            if (cell->role() == QAccessible::Cell && row >= cell->rowIndex() && row < cell->rowIndex() + cell->rowExtent()
                && column >= cell->columnIndex() && column < cell->columnIndex() + cell->columnExtent())
                return child;
        }
        return nullptr;
    }
    int selectedCellCount() const override { return 0; }
    QList<QAccessibleInterface*> selectedCells() const override { return {}; }
    QString columnDescription(int column) const override
    {
        const QList<QAccessibleInterface*> headers = headersOf(column);
        return headers.isEmpty() ? QString() : headers.first()->text(QAccessible::Name);
    }
    QString rowDescription(int) const override { return {}; }
    int selectedColumnCount() const override { return 0; }
    int selectedRowCount() const override { return 0; }
    int columnCount() const override { return m_columns; }
    int rowCount() const override { return m_rows; }
    QList<int> selectedColumns() const override { return {}; }
    QList<int> selectedRows() const override { return {}; }
    bool isColumnSelected(int) const override { return false; }
    bool isRowSelected(int) const override { return false; }
    bool selectRow(int) override { return false; }
    bool selectColumn(int) override { return false; }
    bool unselectRow(int) override { return false; }
    bool unselectColumn(int) override { return false; }
    void modelChange(QAccessibleTableModelChangeEvent*) override {}

    QList<QAccessibleInterface*> headersOf(int column) const
    {
        QList<QAccessibleInterface*> headers;
        for (QAccessibleInterface* child : m_children) {
            const auto* cell = static_cast<CellPart*>(child);
            if (cell->role() == QAccessible::ColumnHeader && column >= cell->columnIndex()
                && column < cell->columnIndex() + cell->columnExtent())
                headers.append(child);
        }
        return headers;
    }

private:
    int m_rows, m_columns;
};

CellPart::CellPart(AccessiblePage* page, TablePart* table, bool header, int row, int column, int rowSpan,
                   int columnSpan, const QString& text, const QRectF& area)
    : PagePart(page, table, header ? QAccessible::ColumnHeader : QAccessible::Cell, text, area),
      m_table(table),
      m_row(row),
      m_column(column),
      m_rowSpan(rowSpan),
      m_columnSpan(columnSpan)
{
}

QList<QAccessibleInterface*> CellPart::columnHeaderCells() const
{
    return m_role == QAccessible::Cell ? m_table->headersOf(m_column) : QList<QAccessibleInterface*>();
}

QAccessibleInterface* CellPart::table() const
{
    return m_table;
}

// The page: a document whose children are its headings, paragraphs and tables, read again
// whenever the view shows another page.
class AccessiblePage : public QAccessibleWidget {
public:
    explicit AccessiblePage(HtmlView* view) : QAccessibleWidget(view, QAccessible::Document) {}
    ~AccessiblePage() override { forget(); }

    HtmlView* view() const { return static_cast<HtmlView*>(widget()); }

    int childCount() const override { return int(parts().size()); }
    QAccessibleInterface* child(int index) const override { return parts().value(index); }
    int indexOfChild(const QAccessibleInterface* child) const override
    {
        return int(parts().indexOf(const_cast<QAccessibleInterface*>(child)));
    }
    QAccessibleInterface* childAt(int, int) const override { return nullptr; }
    QString text(QAccessible::Text t) const override
    {
        if (t == QAccessible::Value)
            return view()->toPlainText();
        return QAccessibleWidget::text(t);
    }
    QAccessible::State state() const override
    {
        QAccessible::State state = QAccessibleWidget::state();
        state.readOnly = true;
        return state;
    }

    // A part's place on the screen: its place in the document, less the scrolled distance.
    QRect screenRect(const QRectF& area) const
    {
        const QPoint scrolled(view()->horizontalScrollBar()->value(), view()->verticalScrollBar()->value());
        const QRect local = area.toAlignedRect().translated(-scrolled);
        return QRect(view()->viewport()->mapToGlobal(local.topLeft()), local.size());
    }

private:
    const QList<QAccessibleInterface*>& parts() const
    {
        if (m_readPage != view()->pageNumber())
            const_cast<AccessiblePage*>(this)->read();
        return m_parts;
    }

    // Every part registered with Qt is deleted when the page changes or goes.
    void forget()
    {
        for (const QAccessible::Id id : std::as_const(m_registered))
            QAccessible::deleteAccessibleInterface(id);
        m_registered.clear();
        m_parts.clear();
    }

    PagePart* keep(PagePart* part)
    {
        m_registered.append(QAccessible::registerAccessibleInterface(part));
        return part;
    }

    static QString textBetween(QTextDocument* document, int from, int to)
    {
        QTextCursor cursor(document);
        cursor.setPosition(from);
        cursor.setPosition(to, QTextCursor::KeepAnchor);
        return cursor.selectedText().replace(QChar::ParagraphSeparator, QLatin1Char('\n'))
            .replace(QChar::LineSeparator, QLatin1Char('\n'))
            .replace(QChar::Nbsp, QLatin1Char(' '))
            .trimmed();
    }

    void read()
    {
        forget();
        m_readPage = view()->pageNumber();
        QTextDocument* document = view()->document();
        QAbstractTextDocumentLayout* layout = document->documentLayout();
        for (auto it = document->rootFrame()->begin(); !it.atEnd(); ++it) {
            if (auto* table = qobject_cast<QTextTable*>(it.currentFrame())) {
                readTable(document, table);
                continue;
            }
            const QTextBlock block = it.currentBlock();
            if (!block.isValid())
                continue;
            const QString text = textBetween(document, block.position(), block.position() + block.length() - 1);
            if (text.isEmpty())
                continue;
            const auto role = block.blockFormat().headingLevel() > 0 ? QAccessible::Heading : QAccessible::Paragraph;
            m_parts.append(keep(new PagePart(this, this, role, text, layout->blockBoundingRect(block))));
        }
    }

    void readTable(QTextDocument* document, QTextTable* table)
    {
        const int headerRows = table->rows() > 1 ? 1 : 0;
        auto* part = new TablePart(this, this, document->documentLayout()->frameBoundingRect(table),
                                   table->rows() - headerRows, table->columns());
        keep(part);
        m_parts.append(part);
        for (int row = 0; row < table->rows(); ++row)
            for (int column = 0; column < table->columns(); ++column) {
                const QTextTableCell cell = table->cellAt(row, column);
                if (cell.row() != row || cell.column() != column)
                    continue;   // the rest of a cell that spans several
                const QString text =
                    textBetween(document, cell.firstCursorPosition().position(), cell.lastCursorPosition().position());
                const QRectF area = document->documentLayout()->blockBoundingRect(cell.firstCursorPosition().block());
                const bool header = row < headerRows;
                part->m_children.append(keep(new CellPart(this, part, header, header ? row : row - headerRows, column,
                                                          cell.rowSpan(), cell.columnSpan(), text, area)));
            }
    }

    QList<QAccessibleInterface*> m_parts;        // the document's children
    QList<QAccessible::Id> m_registered;         // they and theirs, owned by Qt's register
    int m_readPage = -1;
};

QRect PagePart::rect() const
{
    return m_page->screenRect(m_area);
}

QAccessibleInterface* pageFactory(const QString& className, QObject* object)
{
    if (className == QLatin1String("HtmlView"))
        if (auto* view = qobject_cast<HtmlView*>(object))
            return new AccessiblePage(view);
    return nullptr;
}

} // namespace

void installPageAccessibility()
{
    static const bool installed = [] {
        QAccessible::installFactory(pageFactory);
        return true;
    }();
    Q_UNUSED(installed);
}
