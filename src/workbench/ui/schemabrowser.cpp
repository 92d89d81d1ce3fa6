#include "workbench/ui/schemabrowser.h"

#include "common/ui/errordisplay.h"
#include "db/connection.h"
#include "workbench/ui/sqleditor.h"
#include "workbench/ui/sqlworkbench.h"

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
QListWidget* nameList(QWidget* area, const char* name)
{
    auto* list = new QListWidget(area);
    list->setObjectName(QLatin1String(name));
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

SchemaBrowser::SchemaBrowser(QWidget* area, Connection& connection, SqlWorkbench& workbench, QObject* parent)
    : QObject(parent), m_connection(connection), m_workbench(workbench)
{
    m_procedures = new QRadioButton(QStringLiteral("Procedures"), area);
    m_procedures->setObjectName(QStringLiteral("proceduresButton"));
    m_tables = new QRadioButton(QStringLiteral("Tables"), area);
    m_tables->setObjectName(QStringLiteral("tablesButton"));
    m_tables->setChecked(true);

    m_catalogue = nameList(area, "catalogueList");
    auto* fieldsLabel = new QLabel(QStringLiteral("Fields"), area);
    fieldsLabel->setObjectName(QStringLiteral("fieldsLabel"));
    m_fields = nameList(area, "fieldList");
    m_catalogue->setAccessibleName(QStringLiteral("Tables"));
    m_fields->setAccessibleName(QStringLiteral("Fields"));
    fieldsLabel->setBuddy(m_fields);

    m_driverNameLabel = new QLabel(QStringLiteral("Drivername:"), area);
    m_driverNameLabel->setObjectName(QStringLiteral("driverNameLabel"));
    // Designed for a narrower font: wherever they are placed, the labels show their whole text.
    for (QLabel* label : {fieldsLabel, m_driverNameLabel})
        label->setMinimumWidth(label->sizeHint().width());
    m_driverNameLabel->hide();
    m_driverName = new QLineEdit(QStringLiteral("PILOT000"), area);
    m_driverName->setObjectName(QStringLiteral("driverNameEdit"));
    m_driverName->hide();
    m_driverName->setAccessibleName(QStringLiteral("Driver name"));
    m_driverNameLabel->setBuddy(m_driverName);

    connect(&m_connection, &Connection::connected, this, &SchemaBrowser::listNames);
    new EveryClick(m_catalogue, [this] { guarded([this] { catalogueEntryClicked(); }); });
    new EveryClick(m_fields, [this] { guarded([this] { fieldClicked(); }); });
    connect(m_procedures, &QRadioButton::toggled, this, [this](bool on) {
        if (on)
            guarded([this] { showProcedures(); });
    });
    connect(m_tables, &QRadioButton::toggled, this, [this](bool on) {
        if (on)
            guarded([this] { showTables(); });
    });
}

QString SchemaBrowser::driverName() const
{
    return m_driverName->text();
}

void SchemaBrowser::setDriverName(const QString& name)
{
    m_driverName->setText(name);
}

QList<QWidget*> SchemaBrowser::tabOrder() const
{
    return {m_procedures, m_tables, m_catalogue, m_fields, m_driverName};
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
    m_catalogue->clear();
    m_fields->clear();
    listTables();
}

void SchemaBrowser::listTables()
{
    const QStringList tables = m_connection.tableNames();
    m_catalogue->clear();
    m_catalogue->addItems(tables);
}

void SchemaBrowser::catalogueEntryClicked()
{
    const QListWidgetItem* item = m_catalogue->currentItem();
    if (!item || !item->isSelected())
        return;
    const QString entry = item->text();
    // Listing the fields first: when it fails, clipboard and editor stay as they were.
    const QStringList fields = m_connection.fieldNames(tableNameOf(entry));
    m_fields->clear();
    m_fields->addItems(fields);
    copyToClipboard(entry);
    if (m_procedures->isChecked()) {
        m_workbench.setStatement(execStatement(entry, m_driverName->text()));
    }
}

void SchemaBrowser::fieldClicked()
{
    const QListWidgetItem* item = m_fields->currentItem();
    if (item && item->isSelected())
        copyToClipboard(item->text());
}

void SchemaBrowser::showProcedures()
{
    m_workbench.setFileCommandsEnabled(false);
    m_savedSql = m_workbench.statement();
    m_workbench.setStatement(QString());
    m_catalogue->setAccessibleName(QStringLiteral("Procedures"));
    m_driverNameLabel->show();
    m_driverName->show();
    m_fields->clear();
    m_catalogue->clear();
    // On a closed connection this connects first, and the after-connect step lists the tables;
    // the views then follow them.
    const QStringList views = m_connection.viewNames();
    for (const QString& view : views)
        if (m_catalogue->findItems(view, Qt::MatchExactly).isEmpty())
            m_catalogue->addItem(view);
}

void SchemaBrowser::showTables()
{
    m_workbench.setFileCommandsEnabled(true);
    if (!m_savedSql.isEmpty())
        m_workbench.setStatement(m_savedSql);
    m_driverNameLabel->hide();
    m_driverName->hide();
    m_catalogue->setAccessibleName(QStringLiteral("Tables"));
    m_fields->clear();
    m_catalogue->clear();
    listTables();
}
