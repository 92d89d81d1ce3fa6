#include "workbench/ui/exportimportmenu.h"

#include "common/ui/dialogs.h"
#include "common/error.h"
#include "common/ui/errordisplay.h"
#include "db/connection.h"
#include "db/databasefiles.h"
#include "db/csvexport.h"
#include "db/oldmerge.h"
#include "db/openresult.h"
#include "publish/publisher.h"

#include <QMenu>
#include <QApplication>
#include <QDir>
#include <QMenuBar>
#include <QProgressDialog>

namespace {
const QString caption = QStringLiteral("RACR tool");
} // namespace

ExportImportMenu::ExportImportMenu(QMenuBar* menuBar, OpenResult& openResult, QObject* parent)
    : QObject(parent), m_openResult(openResult)
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
    menu->addSeparator();
    publishAction = menu->addAction(QStringLiteral("Publish Club Pages…"));
    publishAction->setObjectName(QStringLiteral("publishAction"));
    menuBar->insertMenu(menuBar->actions().value(0), menu);

    connect(exportCsvAction, &QAction::triggered, this, [this] { guarded([this] { exportToCsvFile(); }); });
    connect(mergeOldDatabaseAction, &QAction::triggered, this,
            [this] { guarded([this] { importOldDatabase(); }); });
    connect(publishAction, &QAction::triggered, this, [this] { guarded([this] { publishClubPages(); }); });
}

void ExportImportMenu::exportToCsvFile()
{
    if (!m_openResult.isOpen())
        return;
    const QString path = Dialogs::instance().saveFileName(
        {QStringLiteral("Export data to csv file"), {QStringLiteral("Excel csv files (*.csv)")}, QStringLiteral("csv"),
         m_lastExported});
    if (path.isEmpty())
        return;
    databasefiles::refuseOpenDatabaseFile(m_openResult.connection(), path, QStringLiteral("replaced by the exported rows"));
    m_lastExported = path;
    exportCsv(m_openResult, path);
}

void ExportImportMenu::importOldDatabase()
{
    Connection& connection = m_openResult.connection();
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
    mergeOldDatabase(m_openResult, path, [](const QString& text) {
        Dialogs::instance().message(caption, text, Dialogs::Icon::Information);
    });
}

void ExportImportMenu::publishClubPages()
{
    Connection& connection = m_openResult.connection();
    if (!connection.isOpen())
        connection.open();
    const QString folder = Dialogs::instance().folderName(
        QStringLiteral("Publish Club Pages: a new or empty folder, or one published before"),
        m_lastPublished.isEmpty() ? QDir::homePath() : m_lastPublished);
    if (folder.isEmpty())
        return;
    m_lastPublished = folder;
    // Publishing cannot be stopped halfway with a sound result, so the bar has no Cancel button;
    // a window-modal dialog keeps the main window from starting anything meanwhile.
    QProgressDialog progress(QStringLiteral("Publishing the club pages…"), QString(), 0, 1,
                             QApplication::activeWindow());
    progress.setWindowTitle(caption);
    progress.setWindowModality(Qt::WindowModal);
    progress.setMinimumDuration(0);
    const publish::PublishReport report =
        publish::publishSite(connection, folder, publish::SiteOptions{}, [&](int done, int total) {
            progress.setMaximum(total);
            progress.setValue(done);
        });
    progress.close();
    Dialogs::instance().message(caption,
                                QStringLiteral("Published %1 page(s) (%2 track(s), %3 driver(s)) to %4.\n"
                                               "Open index.html in a web browser, or copy the folder to a web host.")
                                    .arg(report.pages)
                                    .arg(report.tracks)
                                    .arg(report.drivers)
                                    .arg(QDir::toNativeSeparators(folder)),
                                Dialogs::Icon::Information);
}
