#include "exportimportmenu.h"

#include "common/dialogs.h"
#include "common/error.h"
#include "common/errordisplay.h"
#include "db/connection.h"
#include "db/csvexport.h"
#include "db/oldmerge.h"
#include "db/queryobject.h"

#include <QMenu>
#include <QMenuBar>

namespace {
const QString caption = QStringLiteral("RACR tool");
} // namespace

ExportImportMenu::ExportImportMenu(QMenuBar* menuBar, QueryObject& dataSet, QObject* parent)
    : QObject(parent), m_dataSet(dataSet)
{
    // "&&" shows a single ampersand.
    menu = new QMenu(QStringLiteral("Export && Import"), menuBar);
    menu->setObjectName(QStringLiteral("exportImportMenu"));
    exportCsvAction = menu->addAction(QStringLiteral("Export data to csv file"));
    exportCsvAction->setObjectName(QStringLiteral("exportCsvAction"));
    exportSeparator = menu->addSeparator();
    exportSeparator->setObjectName(QStringLiteral("exportSeparator"));
    mergeOldDatabaseAction = menu->addAction(QStringLiteral("Import from old database"));
    mergeOldDatabaseAction->setObjectName(QStringLiteral("mergeOldDatabaseAction"));
    menuBar->insertMenu(menuBar->actions().value(0), menu);

    connect(exportCsvAction, &QAction::triggered, this, [this] { guarded([this] { exportToCsvFile(); }); });
    connect(mergeOldDatabaseAction, &QAction::triggered, this,
            [this] { guarded([this] { importOldDatabase(); }); });
}

void ExportImportMenu::exportToCsvFile()
{
    if (!m_dataSet.isOpen())
        return;
    const QString path = Dialogs::instance().saveFileName(
        {QStringLiteral("Export data to csv file"), {QStringLiteral("Excel csv files (*.csv)")}, QStringLiteral("csv"),
         m_lastExported});
    if (path.isEmpty())
        return;
    m_lastExported = path;
    exportCsv(m_dataSet, path);
}

void ExportImportMenu::importOldDatabase()
{
    Connection& connection = m_dataSet.connection();
    if (!connection.isOpen())
        connection.open();
    // The engine's own database files first; until a file is confirmed, the name ours have. Over
    // ODBC our own SQLite files can be merged as well; into PostgreSQL only they can.
    const bool sqlite = connection.engine() != Engine::Odbc;
    const QString suffix = sqlite ? QStringLiteral("db") : QStringLiteral("mdb");
    QStringList filters{QStringLiteral("SQLite databases (*.db)")};
    if (!sqlite)
        filters.prepend(QStringLiteral("Access databases (*.mdb)"));
    const QString path = Dialogs::instance().openFileName(
        {QStringLiteral("Import from old database"), filters, suffix,
         m_lastMerged.isEmpty() ? QStringLiteral("RACR.") + suffix : m_lastMerged});
    if (path.isEmpty())
        return;
    m_lastMerged = path;
    mergeOldDatabase(m_dataSet, path, [](const QString& text) {
        Dialogs::instance().message(caption, text, Dialogs::Icon::Information);
    });
}
