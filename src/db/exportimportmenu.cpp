#include "exportimportmenu.h"

#include "app/dialogs.h"
#include "app/error.h"
#include "app/errordisplay.h"
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
    menu->setObjectName(QStringLiteral("ExportImport1"));
    ExportData1 = menu->addAction(QStringLiteral("Export data to csv file"));
    ExportData1->setObjectName(QStringLiteral("ExportData1"));
    N1 = menu->addSeparator();
    N1->setObjectName(QStringLiteral("N1"));
    Importfromolddatabase1 = menu->addAction(QStringLiteral("Import from old database"));
    Importfromolddatabase1->setObjectName(QStringLiteral("Importfromolddatabase1"));
    menuBar->insertMenu(menuBar->actions().value(0), menu);

    connect(ExportData1, &QAction::triggered, this, [this] { guarded([this] { F1Click(); }); });
    connect(Importfromolddatabase1, &QAction::triggered, this,
            [this] { guarded([this] { Importfromolddatabase1Click(); }); });
}

void ExportImportMenu::F1Click()
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

void ExportImportMenu::Importfromolddatabase1Click()
{
    Connection& connection = m_dataSet.connection();
    if (!connection.isOpen())
        connection.open();
    Dialogs::FileRequest request{QStringLiteral("Import from old database"), {}, {}, m_lastMerged};
    if (connection.engine() == Engine::Sqlite) {
        request.filters = {QStringLiteral("SQLite databases (*.db)"), QStringLiteral("All files (*)")};
        request.defaultSuffix = QStringLiteral("db");
    } else {
        request.filters = {QStringLiteral("Access databases (*.mdb)"), QStringLiteral("All files (*)")};
        request.defaultSuffix = QStringLiteral("mdb");
    }
    // Until a file is confirmed the dialog offers the name our database files have.
    if (request.initialPath.isEmpty())
        request.initialPath = QStringLiteral("RACR.") + request.defaultSuffix;
    const QString path = Dialogs::instance().openFileName(request);
    if (path.isEmpty())
        return;
    m_lastMerged = path;

    OldDatabase old(m_dataSet, path);
    const int results = old.copyResults();
    Dialogs::instance().message(caption, QStringLiteral("Operation affected %1 row(s) in RACR table").arg(results),
                                Dialogs::Icon::Information);
    try {
        const int drivers = old.copyDrivers();
        Dialogs::instance().message(caption,
                                    QStringLiteral("Operation affected %1 row(s) in DRIVERS table").arg(drivers),
                                    Dialogs::Icon::Information);
    } catch (const racr::Error&) {
        // Files from before driver data was collected hold results only; those are merged all
        // the same, and the message above says so.
    }
}
