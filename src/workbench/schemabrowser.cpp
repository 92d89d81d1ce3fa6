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
    RadioButton1 = new QRadioButton(QStringLiteral("Procedures"), form);
    RadioButton1->setObjectName(QStringLiteral("RadioButton1"));
    RadioButton1->setGeometry(448, 416, 89, 15);
    RadioButton2 = new QRadioButton(QStringLiteral("Tables"), form);
    RadioButton2->setObjectName(QStringLiteral("RadioButton2"));
    RadioButton2->setGeometry(568, 416, 57, 15);
    RadioButton2->setChecked(true);

    ListBox1 = nameList(form, "ListBox1", QRect(448, 436, 177, 209));
    Label4 = new QLabel(QStringLiteral("Fields"), form);
    Label4->setObjectName(QStringLiteral("Label4"));
    Label4->setGeometry(640, 416, 27, 13);
    ListBox3 = nameList(form, "ListBox3", QRect(640, 436, 177, 209));
    ListBox1->setAccessibleName(QStringLiteral("Tables"));
    ListBox3->setAccessibleName(QStringLiteral("Fields"));
    Label4->setBuddy(ListBox3);

    Label9 = new QLabel(QStringLiteral("Drivername:"), form);
    Label9->setObjectName(QStringLiteral("Label9"));
    Label9->setGeometry(448, 648, 57, 13);
    for (QLabel* label : {Label4, Label9}) // designed for a narrower font: show the whole text
        label->resize(qMax(label->width(), label->sizeHint().width()), label->height());
    Label9->hide();
    Edit1 = new QLineEdit(QStringLiteral("PILOT000"), form);
    Edit1->setObjectName(QStringLiteral("Edit1"));
    Edit1->setGeometry(512, 648, 113, 21);
    Edit1->hide();
    Edit1->setAccessibleName(QStringLiteral("Driver name"));
    Label9->setBuddy(Edit1);

    connect(&m_connection, &Connection::afterConnect, this, &SchemaBrowser::ADOConnection1AfterConnect);
    new EveryClick(ListBox1, [this] { guarded([this] { ListBox1Click(); }); });
    new EveryClick(ListBox3, [this] { guarded([this] { ListBox3Click(); }); });
    connect(RadioButton1, &QRadioButton::toggled, this, [this](bool on) {
        if (on)
            guarded([this] { RadioButton1Click(); });
    });
    connect(RadioButton2, &QRadioButton::toggled, this, [this](bool on) {
        if (on)
            guarded([this] { RadioButton2Click(); });
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

void SchemaBrowser::ADOConnection1AfterConnect()
{
    ListBox1->clear();
    ListBox3->clear();
    listTables();
}

void SchemaBrowser::listTables()
{
    const QStringList tables = m_connection.tableNames();
    ListBox1->clear();
    ListBox1->addItems(tables);
}

void SchemaBrowser::ListBox1Click()
{
    const QListWidgetItem* item = ListBox1->currentItem();
    if (!item || !item->isSelected())
        return;
    const QString entry = item->text();
    // Listing the fields first: when it fails, clipboard and editor stay as they were.
    const QStringList fields = m_connection.fieldNames(tableNameOf(entry));
    ListBox3->clear();
    ListBox3->addItems(fields);
    copyToClipboard(entry);
    if (RadioButton1->isChecked()) {
        m_workbench.Memo1->clear();
        m_workbench.Memo1->setText(execStatement(entry, Edit1->text()));
    }
}

void SchemaBrowser::ListBox3Click()
{
    const QListWidgetItem* item = ListBox3->currentItem();
    if (item && item->isSelected())
        copyToClipboard(item->text());
}

void SchemaBrowser::RadioButton1Click()
{
    m_workbench.Button1->setEnabled(false);
    m_workbench.Button2->setEnabled(false);
    m_workbench.Label8->hide();
    m_savedSql = m_workbench.Memo1->text();
    m_workbench.Memo1->clear();
    ListBox1->setAccessibleName(QStringLiteral("Procedures"));
    Label9->show();
    Edit1->show();
    ListBox3->clear();
    ListBox1->clear();
    // On a closed connection this connects first, and the after-connect step lists the tables;
    // the views then follow them.
    const QStringList views = m_connection.viewNames();
    for (const QString& view : views)
        if (ListBox1->findItems(view, Qt::MatchExactly).isEmpty())
            ListBox1->addItem(view);
}

void SchemaBrowser::RadioButton2Click()
{
    m_workbench.Button1->setEnabled(true);
    m_workbench.Button2->setEnabled(true);
    if (!m_savedSql.isEmpty())
        m_workbench.Memo1->setText(m_savedSql);
    m_workbench.Label8->show();
    for (QLabel* label : {Label4, Label9}) // designed for a narrower font: show the whole text
        label->resize(qMax(label->width(), label->sizeHint().width()), label->height());
    Label9->hide();
    Edit1->hide();
    ListBox1->setAccessibleName(QStringLiteral("Tables"));
    ListBox3->clear();
    ListBox1->clear();
    listTables();
}
