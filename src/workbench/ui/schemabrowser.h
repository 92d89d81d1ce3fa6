#pragma once

#include <QList>
#include <QObject>

class Connection;
class QLabel;
class QLineEdit;
class QListWidget;
class QRadioButton;
class QWidget;
class SqlWorkbench;

// The schema browser beside the SQL editor: the database's tables or saved queries
// ("Procedures"), the fields of the entry clicked, names copied to the clipboard, and in
// procedure mode a ready-to-run exec statement in the editor. Its controls are made on the
// window's area under their names (proceduresButton, tablesButton, catalogueList, fieldsLabel,
// fieldList, driverNameLabel, driverNameEdit); the window's layout places them.
class SchemaBrowser : public QObject {
    Q_OBJECT

public:
    SchemaBrowser(QWidget* area, Connection& connection, SqlWorkbench& workbench, QObject* parent = nullptr);

    // The driver name appended to exec statements of driver queries.
    QString driverName() const;
    void setDriverName(const QString& name);

    // The controls in the order Tab walks them.
    QList<QWidget*> tabOrder() const;

    // The table name of a list entry: the part after the first ".", at most 100 characters.
    static QString tableNameOf(const QString& entry);
    // The statement written for a saved query clicked in procedure mode.
    static QString execStatement(const QString& entry, const QString& driverName);

public Q_SLOTS:
    void listNames();
    void catalogueEntryClicked();
    void fieldClicked();
    void showProcedures();
    void showTables();

private:
    void listTables();

    Connection& m_connection;
    SqlWorkbench& m_workbench;
    QRadioButton* m_procedures;   // "Procedures"
    QRadioButton* m_tables;       // "Tables"
    QListWidget* m_catalogue;
    QListWidget* m_fields;
    QLabel* m_driverNameLabel;
    QLineEdit* m_driverName;
    QString m_savedSql;
};
