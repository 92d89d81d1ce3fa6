#include "app/mainwindow.h"

#include "app/accessiblemenubar.h"
#include "app/linklabel.h"
#include "charts/ui/chartwindow.h"
#include "common/apptext.h"
#include "common/designfont.h"
#include "common/ui/designlayout.h"
#include "common/ui/dialogs.h"
#include "common/ui/errordisplay.h"
#include "common/programpaths.h"
#include "common/settings.h"
#include "common/ui/windowstyle.h"
#include "db/connection.h"
#include "workbench/ui/exportimportmenu.h"
#include "db/openresult.h"
#include "workbench/ui/resultgrid.h"
#include "workbench/ui/schemabrowser.h"
#include "workbench/ui/sqlmenu.h"
#include "workbench/ui/sqlworkbench.h"
#include "app/importcontrols.h"
#include "version.h"
#include "viewers/ui/htmlview.h"
#include "viewers/ui/leaderboardwindow.h"
#include "viewers/ui/driverinfowindow.h"
#include "viewers/ui/eventswindow.h"
#include "webservice/endpoints.h"

#include <QAbstractItemView>
#include <QCloseEvent>
#include <QComboBox>
#include <QScrollArea>
#include <QSplitter>
#include <QVBoxLayout>

#include <algorithm>
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

// The client area is the grid above a splitter handle and the editor area under it. At the
// design size the grid stands at (5, 8, 996, 369) and the editor area's controls where the
// table below puts them; a larger window gives the grid the extra width and height.
constexpr QMargins gridMargins(5, 8, 5, 0);
constexpr int gridPaneHeight = 377;
constexpr int splitterHandle = 5;   // the empty strip between the grid and the status line
constexpr int editorAreaTop = gridPaneHeight + splitterHandle;
constexpr QSize designedEditorArea(1006, 698 - editorAreaTop);

// Where each control under the grid stands at the design size, in client coordinates, and which
// of its edges follow the editor area when the user makes it taller: the editor and the lists
// grow, the rows under them move down. Day and week edits come before their group, whose items
// fit their words to the edits' places.
struct Placement {
    const char* name;
    QRect designed;
    Qt::Edges following;
};
constexpr Qt::Edges grows = Qt::BottomEdge;
constexpr Qt::Edges movesDown = Qt::TopEdge | Qt::BottomEdge;
const Placement editorAreaTable[] = {
    {"recordsLabel", {8, 384, 116, 26}, {}},
    {"recNoLabel", {128, 384, 108, 26}, {}},
    {"sortLabel", {244, 384, 149, 26}, {}},
    {"navigator", {399, 384, 207, 25}, {}},
    {"sqlLabel", {8, 416, 24, 13}, {}},
    {"sqlEditorBox", {8, 436, 411, 209}, grows},
    {"executeButton", {8, 656, 82, 32}, movesDown},
    {"stopButton", {100, 656, 82, 32}, movesDown},
    {"openSqlButton", {232, 656, 82, 32}, movesDown},
    {"saveSqlButton", {336, 656, 82, 32}, movesDown},
    {"proceduresButton", {448, 416, 89, 15}, {}},
    {"tablesButton", {568, 416, 57, 15}, {}},
    {"catalogueList", {448, 436, 177, 209}, grows},
    {"fieldsLabel", {640, 416, 27, 13}, {}},
    {"fieldList", {640, 436, 177, 209}, grows},
    {"driverNameLabel", {448, 648, 57, 13}, movesDown},
    {"driverNameEdit", {512, 648, 113, 21}, movesDown},
    {"shardLabel", {824, 382, 31, 13}, {}},
    {"shardList", {824, 396, 89, 21}, {}},
    {"serversStatusLink", {824, 424, 100, 13}, {}},
    {"driverInfoLink", {824, 448, 80, 13}, {}},
    {"leaderboardLink", {824, 472, 112, 13}, {}},
    {"dailyEventsLink", {824, 496, 111, 13}, {}},
    {"setDriverNamesButton", {824, 520, 105, 25}, {}},
    {"daysEdit", {944, 586, 25, 21}, movesDown},
    {"daysBeforeToday", {969, 586, 16, 21}, movesDown},
    {"weekEdit", {944, 614, 25, 21}, movesDown},
    {"weekNumber", {969, 614, 16, 21}, movesDown},
    {"periodGroup", {824, 548, 169, 97}, movesDown},
    {"importDriversButton", {640, 656, 178, 32}, movesDown},
    {"importLeaderboardsButton", {824, 656, 170, 32}, movesDown},
};
} // namespace

MainWindow::MainWindow(QWidget* parent)
    : QMainWindow(parent)
    , m_serviceBase(settings::serviceBase(ProgramPaths::settingsFile()))
{
    setObjectName(QStringLiteral("MainWindow"));
    setWindowTitle(designedTitle);

    setFont(designFont(11));
    auto* central = new QWidget(this);
    central->setObjectName(QStringLiteral("client"));
    // Never smaller than designed: a window smaller than that (a small screen, a large scale
    // factor) scrolls the client area instead of squeezing its controls together.
    central->setMinimumSize(designedClient);
    auto* scroller = new QScrollArea(this);
    scroller->setObjectName(QStringLiteral("clientScroller"));
    scroller->setFrameShape(QFrame::NoFrame);
    scroller->setWidgetResizable(true);
    scroller->setWidget(central);
    setCentralWidget(scroller);

    m_gridSplitter = new QSplitter(Qt::Vertical, central);
    m_gridSplitter->setObjectName(QStringLiteral("gridSplitter"));
    m_gridSplitter->setHandleWidth(splitterHandle);
    m_gridSplitter->setChildrenCollapsible(false);
    auto* clientLayout = new QVBoxLayout(central);
    clientLayout->setContentsMargins(0, 0, 0, 0);
    clientLayout->addWidget(m_gridSplitter);
    auto* gridPane = new QWidget(m_gridSplitter);
    gridPane->setObjectName(QStringLiteral("gridPane"));
    m_editorArea = new QWidget(m_gridSplitter);
    m_editorArea->setObjectName(QStringLiteral("editorArea"));
    m_gridSplitter->addWidget(gridPane);
    m_gridSplitter->addWidget(m_editorArea);
    m_gridSplitter->setStretchFactor(0, 1);
    m_gridSplitter->setStretchFactor(1, 0);
    m_gridSplitter->setSizes({gridPaneHeight, designedEditorArea.height()});

    installCornerAwareMenuBarAccessibility();   // "Info" sits in a corner of the menu bar
    m_menu = named(menuBar(), "mainMenu");
    m_infoAction = new QAction(QStringLiteral("Info"), this);
    m_infoAction->setObjectName(QStringLiteral("infoAction"));
    connect(m_infoAction, &QAction::triggered, this, [this] { guarded([this] { showInfo(); }); });

    QWidget* area = m_editorArea;
    auto* shardLabel = named(new QLabel(QStringLiteral("Shard:"), area), "shardLabel");
    shardLabel->setMinimumWidth(shardLabel->sizeHint().width());   // designed for a narrower font
    m_shardList = named(new QComboBox(area), "shardList");
    m_shardList->addItems({QStringLiteral("APEX"), QStringLiteral("CHICANE")});
    m_shardList->setCurrentIndex(0);
    // On Linux a combo box tells its current value as its name, so the label names it by
    // relation there; other platforms read the name.
    shardLabel->setBuddy(m_shardList);
    m_shardList->setAccessibleName(QStringLiteral("Shard"));
    m_shardList->view()->setAccessibleName(QStringLiteral("Shard"));
    // Only a pick by the user counts as a shard change; selecting the saved shard does not.
    connect(m_shardList, &QComboBox::activated, this, [this] { guarded([this] { shardChanged(); }); });

    const auto link = [&](const char* name, const QString& text, void (MainWindow::*handler)()) {
        auto* label = named(new LinkLabel(text, area), name);
        connect(label, &LinkLabel::clicked, this, [this, handler] { guarded([this, handler] { (this->*handler)(); }); });
        // Link texts are wider than the designed boxes in most fonts; let them show whole.
        label->setMinimumWidth(label->sizeHint().width());
        m_links.append(label);
    };
    link("serversStatusLink", QStringLiteral("Direct Servers Status"), &MainWindow::openServersStatus);
    link("driverInfoLink", QStringLiteral("Direct Driver Info"), &MainWindow::openDriverInfo);
    link("leaderboardLink", QStringLiteral("Direct Leaderboard Info"), &MainWindow::openLeaderboard);
    link("dailyEventsLink", QStringLiteral("Direct Daily Events Info"), &MainWindow::openDailyEvents);

    m_setDriverNames = named(new QPushButton(QStringLiteral("Set Driver Names"), area), "setDriverNamesButton");
    connect(m_setDriverNames, &QPushButton::clicked, this, [this] { guarded([this] { editDriverNames(); }); });

    m_connection = new Connection(ProgramPaths::dataSourceFile(),
                                  ProgramPaths::databaseFile(), this);
    m_results = new OpenResult(*m_connection, kResultsMessageName, this);
    m_workbench = new SqlWorkbench(area, *m_results, this);
    m_resultGrid = new ResultGridController(gridPane, area, *m_results, *m_workbench, this);
    auto* gridLayout = new QVBoxLayout(gridPane);
    gridLayout->setContentsMargins(gridMargins);
    gridLayout->addWidget(gridPane->findChild<QWidget*>(QStringLiteral("grid"), Qt::FindDirectChildrenOnly));
    m_schemaBrowser = new SchemaBrowser(area, *m_connection, *m_workbench, this);
    m_importControls = new ImportControls(area, this);
    m_exportImportMenu = new ExportImportMenu(m_menu, *m_results, this);
    m_sqlMenu = new SqlMenu(m_menu, *m_workbench, ProgramPaths::historyFile(), this);
    // Members of a club share a server database: the title says which one this window shows.
    connect(m_connection, &Connection::connected, this, [this] {
        const QString title = designedTitle + ' ' + QStringLiteral(RACR_VERSION);
        const QString server = m_connection->serverName();
        setWindowTitle(server.isEmpty() ? title : title + QStringLiteral(" \u2013 ") + server);
    });
    m_chartAction = m_menu->addAction(QStringLiteral("&Chart…"));
    m_chartAction->setObjectName(QStringLiteral("chartAction"));
    connect(m_chartAction, &QAction::triggered, this, [this] { guarded([this] { openChart(); }); });

    layOutEditorArea();
    orderFocusChain();
    resize(designedClient + QSize(0, m_menu->sizeHint().height()));
    guarded([this] { restoreSettings(); });
}

// Every control under the grid is placed by the one table above, whichever part made it.
void MainWindow::layOutEditorArea()
{
    auto* layout = new DesignLayout(m_editorArea, designedEditorArea);
    for (const Placement& entry : editorAreaTable) {
        auto* widget = m_editorArea->findChild<QWidget*>(QLatin1String(entry.name));
        Q_ASSERT_X(widget, "MainWindow::layOutEditorArea", entry.name);
        layout->place(widget, entry.designed.translated(0, -editorAreaTop), entry.following);
    }
}

int MainWindow::editorAreaHeight() const
{
    return m_gridSplitter->sizes().value(1);
}

// A height saved on a larger screen is kept as far as the grid keeps a few rows.
void MainWindow::setEditorAreaHeight(int height)
{
    const int total = gridPaneHeight + designedEditorArea.height();
    const int editor = std::clamp(height, designedEditorArea.height(), total - 100);
    m_gridSplitter->setSizes({total - editor, editor});
}

// Tab walks the window as it is read: the workbench from the editor down, the grid, the schema
// browser, the import controls, then the shard and the links at the right.
void MainWindow::orderFocusChain()
{
    QList<QWidget*> chain = m_workbench->tabOrder();
    chain.append(m_resultGrid->focusWidget());
    chain += m_schemaBrowser->tabOrder();
    chain += m_importControls->tabOrder();
    chain.append(m_shardList);
    chain.append(m_setDriverNames);
    for (LinkLabel* link : std::as_const(m_links))
        chain.append(link);
    for (qsizetype i = 1; i < chain.size(); ++i)
        QWidget::setTabOrder(chain[i - 1], chain[i]);
}

MainWindow::~MainWindow() = default;

void MainWindow::attachWindows(ImportWindow* importWindow, LeaderboardWindow* leaderboard, DriverInfoWindow* driverInfo, EventsWindow* events)
{
    m_importWindow = importWindow;
    m_leaderboard = leaderboard;
    m_driverInfo = driverInfo;
    m_events = events;
    m_importControls->attach(importWindow, *m_results, *m_workbench, *this);
}

void MainWindow::restoreSettings()
{
    // "&Info" sits alone at the right edge of the menu bar.
    m_infoAction->setText(QStringLiteral("&Info"));
    auto* rightMenu = new QMenuBar(m_menu);
    rightMenu->setObjectName(QStringLiteral("InfoBar"));
    rightMenu->addAction(m_infoAction);
    m_menu->setCornerWidget(rightMenu, Qt::TopRightCorner);

    setWindowTitle(designedTitle + ' ' + QStringLiteral(RACR_VERSION));
    m_importControls->setWeekNumber(apptext::isoWeek(QDate::currentDate()));

    const QString dsnPath = ProgramPaths::dataSourceFile();
    if (!settings::writeDataSourcePath(dsnPath, ProgramPaths::databaseFile())) {
        Dialogs::instance().message(apptext::applicationTitle(QCoreApplication::applicationFilePath()),
                                    QStringLiteral("Unable to write to %1").arg(dsnPath),
                                    Dialogs::Icon::Information);
        return;
    }

    UserSettings defaults;
    defaults.drivers = m_driverList;
    defaults.driverName = m_schemaBrowser->driverName();
    const UserSettings stored = settings::read(ProgramPaths::settingsFile(), defaults);
    m_driverList = stored.drivers;
    m_schemaBrowser->setDriverName(stored.driverName);
    m_shardList->setCurrentIndex(settings::shardIndex(stored.shard));
    if (stored.gridSplit > 0)
        setEditorAreaHeight(stored.gridSplit);
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
    m_connection->open();
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
    UserSettings values;
    values.drivers = m_driverList;
    values.driverName = m_schemaBrowser->driverName();
    values.shard = currentShard();
    const int editorArea = editorAreaHeight();
    values.gridSplit = editorArea == designedEditorArea.height() ? 0 : editorArea;
    // Saving is best effort: a read-only folder must not keep the program from closing.
    settings::write(ProgramPaths::settingsFile(), values);
}

QString MainWindow::currentShard() const
{
    return m_shardList->currentIndex() < 0 ? QString() : m_shardList->currentText();
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
        m_chart = new ChartWindow(*m_results, *this, this);
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
