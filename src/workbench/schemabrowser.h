#pragma once

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
// procedure mode a ready-to-run exec statement in the editor.
class SchemaBrowser : public QObject {
    Q_OBJECT

public:
    SchemaBrowser(QWidget* form, Connection& connection, SqlWorkbench& workbench, QObject* parent = nullptr);

    QRadioButton* proceduresButton;   // "Procedures"
    QRadioButton* tablesButton;   // "Tables"
    QListWidget* catalogueList;
    QLabel* fieldsLabel;
    QListWidget* fieldList;
    QLabel* driverNameLabel;
    QLineEdit* driverNameEdit;             // the driver name appended to exec statements

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
    QString m_savedSql;
};
