#pragma once

#include <QObject>
#include <QString>

class QAction;
class QMenu;
class QMenuBar;
class OpenResult;

// The main window's menu "Export && Import": the open result of the workbench to a CSV file, and
// the merge of an older database file into the current one, the club pages as a web site.
class ExportImportMenu : public QObject {
    Q_OBJECT

public:
    // Puts the menu at the left of the menu bar.
    ExportImportMenu(QMenuBar* menuBar, OpenResult& openResult, QObject* parent = nullptr);

public Q_SLOTS:
    // Both throw racr::Error for the default error display; the menu's actions guard them.
    void exportToCsvFile();                       // "Export data to csv file"
    void importOldDatabase();   // "Import from old database"
    void publishClubPages();    // "Publish Club Pages…": a folder, then the site with a progress bar

private:
    // Named exportImportMenu, with exportCsvAction, exportSeparator, mergeOldDatabaseAction and
    // publishAction.
    QMenu* menu;
    QAction* exportCsvAction;
    QAction* exportSeparator;
    QAction* mergeOldDatabaseAction;
    QAction* publishAction;
    OpenResult& m_openResult;
    QString m_lastExported;   // the last file confirmed in each dialog, offered again
    QString m_lastMerged;
    QString m_lastPublished;
};
