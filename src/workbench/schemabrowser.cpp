#include "schemabrowser.h"

#include "common/errordisplay.h"
#include "db/connection.h"
#include "workbench/sqleditor.h"
#include "workbench/sqlworkbench.h"

#include <QClipboard>
#include <QEvent>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>

#include <functional>

namespace {
QListWidget* nameList(QWidget* form, const char* name, const QRect& geometry)
{
    auto* list = new QListWidget(form);
    list->setObjectName(QLatin1String(name));
    list->setGeometry(geometry);
    list->setSelectionMode(QAbstractItemView::SingleSelection);
    list->setUniformItemSizes(true);
    return list;
}

void copyToClipboard(const QString& text)
{
    QGuiApplication::clipboard()->setText(text);
}

// Runs a list's handler for every selection change (mouse or keyboard) and for every completed
// click, also on the entry already selected: the user clicks an entry again to take the new
// driver name into the exec statement, or to put the name back on the clipboard. A click that
// changes the selection has run the handler already, at the press.
class EveryClick : public QObject {
public:
    EveryClick(QListWidget* list, std::function<void()> handler) : QObject(list), m_handler(std::move(handler))
    {
        list->viewport()->installEventFilter(this);
        connect(list, &QListWidget::itemSelectionChanged, this, [this] {
            m_ranSincePress = true;
            m_handler();
        });
        connect(list, &QAbstractItemView::clicked, this, [this] {
            if (!m_ranSincePress)
                m_handler();
        });
    }

protected:
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() == QEvent::MouseButtonPress)
            m_ranSincePress = false;
        return false;
    }

private:
    std::function<void()> m_handler;
    bool m_ranSincePress = false;
};
} // namespace

SchemaBrowser::SchemaBrowser(QWidget* form, Connection& connection, SqlWorkbench& workbench, QObject* parent)
    : QObject(parent), m_connection(connection), m_workbench(workbench)
{
    proceduresButton = new QRadioButton(QStringLiteral("Procedures"), form);
    proceduresButton->setObjectName(QStringLiteral("proceduresButton"));
    proceduresButton->setGeometry(448, 416, 89, 15);
    tablesButton = new QRadioButton(QStringLiteral("Tables"), form);
    tablesButton->setObjectName(QStringLiteral("tablesButton"));
    tablesButton->setGeometry(568, 416, 57, 15);
    tablesButton->setChecked(true);

    catalogueList = nameList(form, "catalogueList", QRect(448, 436, 177, 209));
    fieldsLabel = new QLabel(QStringLiteral("Fields"), form);
    fieldsLabel->setObjectName(QStringLiteral("fieldsLabel"));
    fieldsLabel->setGeometry(640, 416, 27, 13);
    fieldList = nameList(form, "fieldList", QRect(640, 436, 177, 209));
    catalogueList->setAccessibleName(QStringLiteral("Tables"));
    fieldList->setAccessibleName(QStringLiteral("Fields"));
    fieldsLabel->setBuddy(fieldList);

    driverNameLabel = new QLabel(QStringLiteral("Drivername:"), form);
    driverNameLabel->setObjectName(QStringLiteral("driverNameLabel"));
    driverNameLabel->setGeometry(448, 648, 57, 13);
    for (QLabel* label : {fieldsLabel, driverNameLabel}) // designed for a narrower font: show the whole text
        label->resize(qMax(label->width(), label->sizeHint().width()), label->height());
    driverNameLabel->hide();
    driverNameEdit = new QLineEdit(QStringLiteral("PILOT000"), form);
    driverNameEdit->setObjectName(QStringLiteral("driverNameEdit"));
    driverNameEdit->setGeometry(512, 648, 113, 21);
    driverNameEdit->hide();
    driverNameEdit->setAccessibleName(QStringLiteral("Driver name"));
    driverNameLabel->setBuddy(driverNameEdit);

    connect(&m_connection, &Connection::afterConnect, this, &SchemaBrowser::listNames);
    new EveryClick(catalogueList, [this] { guarded([this] { catalogueEntryClicked(); }); });
    new EveryClick(fieldList, [this] { guarded([this] { fieldClicked(); }); });
    connect(proceduresButton, &QRadioButton::toggled, this, [this](bool on) {
        if (on)
            guarded([this] { showProcedures(); });
    });
    connect(tablesButton, &QRadioButton::toggled, this, [this](bool on) {
        if (on)
            guarded([this] { showTables(); });
    });
}

QString SchemaBrowser::tableNameOf(const QString& entry)
{
    const qsizetype dot = entry.indexOf('.');
    return (dot < 0 ? entry : entry.mid(dot + 1)).left(100);
}

QString SchemaBrowser::execStatement(const QString& entry, const QString& driverName)
{
    QString sql = QStringLiteral("exec ") + entry + ' ';
    if (entry.contains(QLatin1String("driver"), Qt::CaseSensitive))
        sql += driverName;
    return sql;
}

void SchemaBrowser::listNames()
{
    catalogueList->clear();
    fieldList->clear();
    listTables();
}

void SchemaBrowser::listTables()
{
    const QStringList tables = m_connection.tableNames();
    catalogueList->clear();
    catalogueList->addItems(tables);
}

void SchemaBrowser::catalogueEntryClicked()
{
    const QListWidgetItem* item = catalogueList->currentItem();
    if (!item || !item->isSelected())
        return;
    const QString entry = item->text();
    // Listing the fields first: when it fails, clipboard and editor stay as they were.
    const QStringList fields = m_connection.fieldNames(tableNameOf(entry));
    fieldList->clear();
    fieldList->addItems(fields);
    copyToClipboard(entry);
    if (proceduresButton->isChecked()) {
        m_workbench.sqlEditor->clear();
        m_workbench.sqlEditor->setText(execStatement(entry, driverNameEdit->text()));
    }
}

void SchemaBrowser::fieldClicked()
{
    const QListWidgetItem* item = fieldList->currentItem();
    if (item && item->isSelected())
        copyToClipboard(item->text());
}

void SchemaBrowser::showProcedures()
{
    m_workbench.openSqlButton->setEnabled(false);
    m_workbench.saveSqlButton->setEnabled(false);
    m_workbench.fileNameLabel->hide();
    m_savedSql = m_workbench.sqlEditor->text();
    m_workbench.sqlEditor->clear();
    catalogueList->setAccessibleName(QStringLiteral("Procedures"));
    driverNameLabel->show();
    driverNameEdit->show();
    fieldList->clear();
    catalogueList->clear();
    // On a closed connection this connects first, and the after-connect step lists the tables;
    // the views then follow them.
    const QStringList views = m_connection.viewNames();
    for (const QString& view : views)
        if (catalogueList->findItems(view, Qt::MatchExactly).isEmpty())
            catalogueList->addItem(view);
}

void SchemaBrowser::showTables()
{
    m_workbench.openSqlButton->setEnabled(true);
    m_workbench.saveSqlButton->setEnabled(true);
    if (!m_savedSql.isEmpty())
        m_workbench.sqlEditor->setText(m_savedSql);
    m_workbench.fileNameLabel->show();
    for (QLabel* label : {fieldsLabel, driverNameLabel}) // designed for a narrower font: show the whole text
        label->resize(qMax(label->width(), label->sizeHint().width()), label->height());
    driverNameLabel->hide();
    driverNameEdit->hide();
    catalogueList->setAccessibleName(QStringLiteral("Tables"));
    fieldList->clear();
    catalogueList->clear();
    listTables();
}
