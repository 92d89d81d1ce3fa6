#pragma once

#include <QObject>
#include <QString>

class QAction;
class QMenu;
class QMenuBar;
class QueryObject;

// The main window's menu "Export && Import": the open result of the workbench to a CSV file, and
// the merge of an older database file into the current one.
class ExportImportMenu : public QObject {
    Q_OBJECT

public:
    // Puts the menu at the left of the menu bar.
    ExportImportMenu(QMenuBar* menuBar, QueryObject& dataSet, QObject* parent = nullptr);

    QMenu* menu;
    QAction* exportCsvAction;
    QAction* exportSeparator;
    QAction* mergeOldDatabaseAction;

public Q_SLOTS:
    // Both throw racr::Error for the default error display; the menu's actions guard them.
    void exportToCsvFile();                       // "Export data to csv file"
    void importOldDatabase();   // "Import from old database"

private:
    QueryObject& m_dataSet;
    QString m_lastExported;   // the last file confirmed in each dialog, offered again
    QString m_lastMerged;
};
