#include "mainwindow.h"

#include "app/accessiblemenubar.h"
#include "app/linklabel.h"
#include "charts/chartwindow.h"
#include "common/apptext.h"
#include "common/designfont.h"
#include "common/dialogs.h"
#include "common/errordisplay.h"
#include "common/periodchoice.h"
#include "common/radiogroup.h"
#include "common/programpaths.h"
#include "common/settings.h"
#include "common/updown.h"
#include "common/windowstyle.h"
#include "db/connection.h"
#include "workbench/exportimportmenu.h"
#include "db/queryobject.h"
#include "workbench/resultgrid.h"
#include "workbench/schemabrowser.h"
#include "workbench/sqleditor.h"
#include "workbench/sqlmenu.h"
#include "workbench/sqlworkbench.h"
#include "import/importcontrols.h"
#include "version.h"
#include "viewers/htmlview.h"
#include "viewers/leaderboardwindow.h"
#include "viewers/driverinfowindow.h"
#include "viewers/eventswindow.h"
#include "webservice/endpoints.h"

#include <QAbstractItemView>
#include <QCloseEvent>
#include <QComboBox>
#include <QScrollArea>
#include <QLineEdit>
#include <QListWidget>
#include <QRadioButton>
#include <QCoreApplication>
#include <QDate>
#include <QDesktopServices>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QUrl>

namespace {
const QString designedTitle = QStringLiteral("RACR tool");

template <typename T>
T* named(T* widget, const char* name)
{
    widget->setObjectName(QLatin1String(name));
    return widget;
}

// Hands a page to the user's web browser. When none can be started (none installed, no desktop
// to ask), a click must not go unanswered: the address is shown so that it can be copied.
void openInBrowser(const QString& address)
{
    if (QDesktopServices::openUrl(QUrl(address)))
        return;
    Dialogs::instance().message(apptext::applicationTitle(QCoreApplication::applicationFilePath()),
                                QStringLiteral("No web browser could be started to open this page:\n\n%1\n\n"
                                               "Copy the address into a browser.")
                                    .arg(address),
                                Dialogs::Icon::Information);
}
constexpr QSize designedClient(1006, 698);
} // namespace

MainWindow::MainWindow(QWidget* parent)
    : QMainWindow(parent)
    , m_serviceBase(settings::serviceBase(ProgramPaths::file(QStringLiteral("racr.ini"))))
{
    setObjectName(QStringLiteral("MainWindow"));
    setWindowTitle(designedTitle);
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint
                   | Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint
                   | Qt::MSWindowsFixedSizeDialogHint);

    setFont(designFont(11));
    auto* central = new QWidget(this);
    central->setObjectName(QStringLiteral("client"));
    central->setFixedSize(designedClient);
    // The client area keeps its designed size and places; a window smaller than that (a small
    // screen, a large scale factor) scrolls it instead of hiding its lower and right parts.
    auto* scroller = new QScrollArea(this);
    scroller->setObjectName(QStringLiteral("clientScroller"));
    scroller->setFrameShape(QFrame::NoFrame);
    scroller->setWidget(central);
    setCentralWidget(scroller);

    installCornerAwareMenuBarAccessibility();   // "Info" sits in a corner of the menu bar
    mainMenu = named(menuBar(), "mainMenu");
    infoAction = new QAction(QStringLiteral("Info"), this);
    infoAction->setObjectName(QStringLiteral("infoAction"));
    connect(infoAction, &QAction::triggered, this, [this] { guarded([this] { showInfo(); }); });

    shardLabel = named(new QLabel(QStringLiteral("Shard:"), central), "shardLabel");
    shardLabel->setGeometry(824, 382, 31, 13);
    shardLabel->resize(qMax(31, shardLabel->sizeHint().width()), 13);   // designed for a narrower font
    shardList = named(new QComboBox(central), "shardList");
    shardList->setGeometry(824, 396, 89, 21);
    shardList->addItems({QStringLiteral("APEX"), QStringLiteral("CHICANE")});
    shardList->setCurrentIndex(0);
    // On Linux a combo box tells its current value as its name, so the label names it by
    // relation there; other platforms read the name.
    shardLabel->setBuddy(shardList);
    shardList->setAccessibleName(QStringLiteral("Shard"));
    shardList->view()->setAccessibleName(QStringLiteral("Shard"));
    // Only a pick by the user counts as a shard change; selecting the saved shard does not.
    connect(shardList, &QComboBox::activated, this, [this] { guarded([this] { shardChanged(); }); });

    const auto link = [&](const char* name, const QString& text, const QRect& geometry, void (MainWindow::*handler)()) {
        auto* label = named(new LinkLabel(text, central), name);
        label->setGeometry(geometry);
        connect(label, &LinkLabel::clicked, this, [this, handler] { guarded([this, handler] { (this->*handler)(); }); });
        return label;
    };
    serversStatusLink = link("serversStatusLink", QStringLiteral("Direct Servers Status"), QRect(824, 424, 100, 13), &MainWindow::openServersStatus);
    driverInfoLink = link("driverInfoLink", QStringLiteral("Direct Driver Info"), QRect(824, 448, 80, 13), &MainWindow::openDriverInfo);
    leaderboardLink = link("leaderboardLink", QStringLiteral("Direct Leaderboard Info"), QRect(824, 472, 112, 13), &MainWindow::openLeaderboard);
    dailyEventsLink = link("dailyEventsLink", QStringLiteral("Direct Daily Events Info"), QRect(824, 496, 111, 13), &MainWindow::openDailyEvents);
    // Link texts are wider than the designed boxes in most fonts; let them show whole.
    for (LinkLabel* label : {serversStatusLink, driverInfoLink, leaderboardLink, dailyEventsLink})
        label->setMinimumWidth(label->sizeHint().width());

    setDriverNamesButton = named(new QPushButton(QStringLiteral("Set Driver Names"), central), "setDriverNamesButton");
    setDriverNamesButton->setGeometry(824, 520, 105, 25);
    connect(setDriverNamesButton, &QPushButton::clicked, this, [this] { guarded([this] { editDriverNames(); }); });

    databaseConnection = new Connection(ProgramPaths::file(QStringLiteral("connection.dsn")),
                                    ProgramPaths::file(QStringLiteral("RACR.db")), this);
    resultsQuery = new QueryObject(*databaseConnection, kResultsMessageName, this);
    workbench = new SqlWorkbench(central, *resultsQuery, this);
    resultGrid = new ResultGrid(central, *resultsQuery, *workbench, this);
    schemaBrowser = new SchemaBrowser(central, *databaseConnection, *workbench, this);
    importControls = new ImportControls(central, this);
    exportImportMenu = new ExportImportMenu(mainMenu, *resultsQuery, this);
    sqlMenu = new SqlMenu(mainMenu, *workbench, ProgramPaths::file(QStringLiteral("sqlhistory.json")), this);
    // Members of a club share a server database: the title says which one this window shows.
    connect(databaseConnection, &Connection::afterConnect, this, [this] {
        const QString title = designedTitle + ' ' + QStringLiteral(RACR_VERSION);
        const QString server = databaseConnection->serverName();
        setWindowTitle(server.isEmpty() ? title : title + QStringLiteral(" \u2013 ") + server);
    });
    chartAction = mainMenu->addAction(QStringLiteral("&Chart…"));
    chartAction->setObjectName(QStringLiteral("chartAction"));
    connect(chartAction, &QAction::triggered, this, [this] { guarded([this] { openChart(); }); });

    orderFocusChain();
    const QSize designed = designedClient + QSize(0, mainMenu->sizeHint().height());
    resize(designed);
    setMaximumSize(designed);
    guarded([this] { restoreSettings(); });
}

// Tab walks the window as it is read: the workbench from the editor down, the grid, the schema
// browser, the import controls, then the links at the right.
void MainWindow::orderFocusChain()
{
    const QList<QWidget*> chain{workbench->sqlEditor, workbench->executeButton, workbench->stopButton(),
                                workbench->openSqlButton, workbench->saveSqlButton, resultGrid->grid,
                                schemaBrowser->proceduresButton, schemaBrowser->tablesButton,
                                schemaBrowser->catalogueList, schemaBrowser->fieldList, schemaBrowser->driverNameEdit,
                                importControls->period->periodGroup, importControls->period->daysEdit,
                                importControls->period->weekEdit, importControls->importLeaderboardsButton,
                                importControls->importDriversButton, shardList, setDriverNamesButton,
                                serversStatusLink, driverInfoLink, leaderboardLink, dailyEventsLink};
    for (qsizetype i = 1; i < chain.size(); ++i)
        QWidget::setTabOrder(chain[i - 1], chain[i]);
}

MainWindow::~MainWindow() = default;

void MainWindow::attachWindows(ImportWindow* progress, LeaderboardWindow* leaderboard, DriverInfoWindow* driverInfo, EventsWindow* events)
{
    m_progress = progress;
    m_leaderboard = leaderboard;
    m_driverInfo = driverInfo;
    m_events = events;
    importControls->attach(progress, *resultsQuery, *workbench, *this);
}

void MainWindow::restoreSettings()
{
    // "&Info" sits alone at the right edge of the menu bar.
    infoAction->setText(QStringLiteral("&Info"));
    auto* rightMenu = new QMenuBar(mainMenu);
    rightMenu->setObjectName(QStringLiteral("InfoBar"));
    rightMenu->addAction(infoAction);
    mainMenu->setCornerWidget(rightMenu, Qt::TopRightCorner);

    setWindowTitle(designedTitle + ' ' + QStringLiteral(RACR_VERSION));
    importControls->period->weekNumber->setPosition(apptext::isoWeek(QDate::currentDate()));

    const QString dsnPath = ProgramPaths::file(QStringLiteral("connection.dsn"));
    if (!settings::writeDataSourcePath(dsnPath, ProgramPaths::file(QStringLiteral("RACR.db")))) {
        Dialogs::instance().message(apptext::applicationTitle(QCoreApplication::applicationFilePath()),
                                    QStringLiteral("Unable to write to %1").arg(dsnPath),
                                    Dialogs::Icon::Information);
        return;
    }

    ShellSettings defaults;
    defaults.drivers = m_driverList;
    defaults.driverName = schemaBrowser->driverNameEdit->text();
    const ShellSettings stored = settings::read(ProgramPaths::file(QStringLiteral("racr.ini")), defaults);
    m_driverList = stored.drivers;
    schemaBrowser->driverNameEdit->setText(stored.driverName);
    shardList->setCurrentIndex(settings::shardIndex(stored.shard));
    m_settingsRead = true;
}

void MainWindow::showEvent(QShowEvent* event)
{
    QMainWindow::showEvent(event);
    if (m_shown)
        return;
    m_shown = true;
    windowstyle::fitIntoScreen(this);
    windowstyle::centreOn(this, nullptr);
    guarded([this] { connectDatabase(); });
}

void MainWindow::connectDatabase()
{
    databaseConnection->open();
}

void MainWindow::closeEvent(QCloseEvent* event)
{
    saveSettings();
    QMainWindow::closeEvent(event);
    Q_EMIT closed();
}

void MainWindow::saveSettings()
{
    // Settings that were never read would be overwritten with the designed values.
    if (!m_settingsRead)
        return;
    ShellSettings values;
    values.drivers = m_driverList;
    values.driverName = schemaBrowser->driverNameEdit->text();
    values.shard = currentShard();
    // Saving is best effort: a read-only folder must not keep the program from closing.
    settings::write(ProgramPaths::file(QStringLiteral("racr.ini")), values);
}

QString MainWindow::currentShard() const
{
    return shardList->currentIndex() < 0 ? QString() : shardList->currentText();
}

void MainWindow::editDriverNames()
{
    const auto typed = Dialogs::instance().inputText(QStringLiteral("Driver names"),
                                                     QStringLiteral("Type in Driver Names separated by commas"),
                                                     m_driverList, 255);
    if (typed)
        m_driverList = *typed;
}

void MainWindow::shardChanged()
{
    const QString shard = currentShard();
    if (m_leaderboard)
        m_leaderboard->showShard(shard);
    if (m_driverInfo)
        m_driverInfo->showShard(shard);
}

void MainWindow::showInfo()
{
    openInBrowser(serviceBase() + '/');
}

void MainWindow::openChart()
{
    if (!m_chart)
        m_chart = new ChartWindow(*resultsQuery, *this, this);
    showViewer(m_chart);
}

void MainWindow::openServersStatus()
{
    openInBrowser(racr::serversStatusUrl(serviceBase()));
}

void MainWindow::openLeaderboard()
{
    showViewer(m_leaderboard);
}

void MainWindow::openDriverInfo()
{
    showViewer(m_driverInfo);
}

void MainWindow::openDailyEvents()
{
    showViewer(m_events);
}

void MainWindow::showViewer(QWidget* viewer)
{
    if (!viewer)
        return;
    if (!viewer->isVisible()) {
        viewer->show();
        windowstyle::centreOn(viewer, this);
    }
    viewer->raise();
    viewer->activateWindow();
}
