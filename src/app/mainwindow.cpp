#include "mainwindow.h"

#include "app/accessiblemenubar.h"
#include "app/linklabel.h"
#include "charts/chartwindow.h"
#include "common/apptext.h"
#include "common/designfont.h"
#include "common/dialogs.h"
#include "common/errordisplay.h"
#include "common/periodchoice.h"
#include "common/programpaths.h"
#include "common/settings.h"
#include "common/updown.h"
#include "common/windowstyle.h"
#include "db/connection.h"
#include "workbench/exportimportmenu.h"
#include "db/queryobject.h"
#include "workbench/resultgrid.h"
#include "workbench/schemabrowser.h"
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
} // namespace

TForm1::TForm1(QWidget* parent)
    : QMainWindow(parent)
    , m_serviceBase(settings::serviceBase(ProgramPaths::file(QStringLiteral("racr.ini"))))
{
    setObjectName(QStringLiteral("TForm1"));
    setWindowTitle(designedTitle);
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint
                   | Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint
                   | Qt::MSWindowsFixedSizeDialogHint);

    setFont(designFont(11));
    auto* central = new QWidget(this);
    central->setObjectName(QStringLiteral("client"));
    central->setFixedSize(1006, 698);
    setCentralWidget(central);
    layout()->setSizeConstraint(QLayout::SetFixedSize);   // the client area fixes the window's size

    installCornerAwareMenuBarAccessibility();   // "Info" sits in a corner of the menu bar
    MainMenu1 = named(menuBar(), "MainMenu1");
    Info1 = new QAction(QStringLiteral("Info"), this);
    Info1->setObjectName(QStringLiteral("Info1"));
    connect(Info1, &QAction::triggered, this, [this] { guarded([this] { Info1Click(); }); });

    Label3 = named(new QLabel(QStringLiteral("Shard:"), central), "Label3");
    Label3->setGeometry(824, 382, 31, 13);
    Label3->resize(qMax(31, Label3->sizeHint().width()), 13);   // designed for a narrower font
    CbShard = named(new QComboBox(central), "CbShard");
    CbShard->setGeometry(824, 396, 89, 21);
    CbShard->addItems({QStringLiteral("APEX"), QStringLiteral("CHICANE")});
    CbShard->setCurrentIndex(0);
    // On Linux a combo box tells its current value as its name, so the label names it by
    // relation there; other platforms read the name.
    Label3->setBuddy(CbShard);
    CbShard->setAccessibleName(QStringLiteral("Shard"));
    CbShard->view()->setAccessibleName(QStringLiteral("Shard"));
    // Only a pick by the user counts as a shard change; selecting the saved shard does not.
    connect(CbShard, &QComboBox::activated, this, [this] { guarded([this] { CbShardChange(); }); });

    const auto link = [&](const char* name, const QString& text, const QRect& geometry, void (TForm1::*handler)()) {
        auto* label = named(new LinkLabel(text, central), name);
        label->setGeometry(geometry);
        connect(label, &LinkLabel::clicked, this, [this, handler] { guarded([this, handler] { (this->*handler)(); }); });
        return label;
    };
    Label7 = link("Label7", QStringLiteral("Direct Servers Status"), QRect(824, 424, 100, 13), &TForm1::Label7Click);
    Label6 = link("Label6", QStringLiteral("Direct Driver Info"), QRect(824, 448, 80, 13), &TForm1::Label6Click);
    Label2 = link("Label2", QStringLiteral("Direct Leaderboard Info"), QRect(824, 472, 112, 13), &TForm1::Label2Click);
    Label12 = link("Label12", QStringLiteral("Direct Daily Events Info"), QRect(824, 496, 111, 13), &TForm1::Label12Click);
    // Link texts are wider than the designed boxes in most fonts; let them show whole.
    for (LinkLabel* label : {Label7, Label6, Label2, Label12})
        label->setMinimumWidth(label->sizeHint().width());

    Button4 = named(new QPushButton(QStringLiteral("Set Driver Names"), central), "Button4");
    Button4->setGeometry(824, 520, 105, 25);
    connect(Button4, &QPushButton::clicked, this, [this] { guarded([this] { Button4Click(); }); });

    ADOConnection1 = new Connection(ProgramPaths::file(QStringLiteral("connection.dsn")),
                                    ProgramPaths::file(QStringLiteral("RACR.db")), this);
    ADODataSet1 = new QueryObject(*ADOConnection1, QStringLiteral("ADODataSet1"), this);
    workbench = new SqlWorkbench(central, *ADODataSet1, this);
    resultGrid = new ResultGrid(central, *ADODataSet1, *workbench, this);
    schemaBrowser = new SchemaBrowser(central, *ADOConnection1, *workbench, this);
    importControls = new ImportControls(central, this);
    exportImportMenu = new ExportImportMenu(MainMenu1, *ADODataSet1, this);
    sqlMenu = new SqlMenu(MainMenu1, *workbench, ProgramPaths::file(QStringLiteral("sqlhistory.json")), this);
    // Members of a club share a server database: the title says which one this window shows.
    connect(ADOConnection1, &Connection::afterConnect, this, [this] {
        const QString title = designedTitle + ' ' + QStringLiteral(RACR_VERSION);
        const QString server = ADOConnection1->serverName();
        setWindowTitle(server.isEmpty() ? title : title + QStringLiteral(" \u2013 ") + server);
    });
    Chart1 = MainMenu1->addAction(QStringLiteral("&Chart…"));
    Chart1->setObjectName(QStringLiteral("Chart1"));
    connect(Chart1, &QAction::triggered, this, [this] { guarded([this] { Chart1Click(); }); });

    guarded([this] { FormCreate(); });
}

TForm1::~TForm1() = default;

void TForm1::attachWindows(TForm2* progress, TForm3* leaderboard, TForm4* driverInfo, TForm5* events)
{
    m_progress = progress;
    m_leaderboard = leaderboard;
    m_driverInfo = driverInfo;
    m_events = events;
    importControls->attach(progress, *ADODataSet1, *workbench, *this);
}

void TForm1::FormCreate()
{
    // "&Info" sits alone at the right edge of the menu bar.
    Info1->setText(QStringLiteral("&Info"));
    auto* rightMenu = new QMenuBar(MainMenu1);
    rightMenu->setObjectName(QStringLiteral("InfoBar"));
    rightMenu->addAction(Info1);
    MainMenu1->setCornerWidget(rightMenu, Qt::TopRightCorner);

    setWindowTitle(designedTitle + ' ' + QStringLiteral(RACR_VERSION));
    importControls->period->uweek->setPosition(apptext::isoWeek(QDate::currentDate()));

    const QString dsnPath = ProgramPaths::file(QStringLiteral("connection.dsn"));
    if (!settings::writeDataSourcePath(dsnPath, ProgramPaths::file(QStringLiteral("RACR.db")))) {
        Dialogs::instance().message(apptext::applicationTitle(QCoreApplication::applicationFilePath()),
                                    QStringLiteral("Unable to write to %1").arg(dsnPath),
                                    Dialogs::Icon::Information);
        return;
    }

    ShellSettings defaults;
    defaults.drivers = m_driverList;
    defaults.driverName = schemaBrowser->Edit1->text();
    const ShellSettings stored = settings::read(ProgramPaths::file(QStringLiteral("racr.ini")), defaults);
    m_driverList = stored.drivers;
    schemaBrowser->Edit1->setText(stored.driverName);
    CbShard->setCurrentIndex(settings::shardIndex(stored.shard));
    m_settingsRead = true;
}

void TForm1::showEvent(QShowEvent* event)
{
    QMainWindow::showEvent(event);
    if (m_shown)
        return;
    m_shown = true;
    windowstyle::centreOn(this, nullptr);
    guarded([this] { FormShow(); });
}

void TForm1::FormShow()
{
    ADOConnection1->open();
}

void TForm1::closeEvent(QCloseEvent* event)
{
    FormClose();
    QMainWindow::closeEvent(event);
    Q_EMIT closed();
}

void TForm1::FormClose()
{
    // Settings that were never read would be overwritten with the designed values.
    if (!m_settingsRead)
        return;
    ShellSettings values;
    values.drivers = m_driverList;
    values.driverName = schemaBrowser->Edit1->text();
    values.shard = currentShard();
    // Saving is best effort: a read-only folder must not keep the program from closing.
    settings::write(ProgramPaths::file(QStringLiteral("racr.ini")), values);
}

QString TForm1::currentShard() const
{
    return CbShard->currentIndex() < 0 ? QString() : CbShard->currentText();
}

void TForm1::Button4Click()
{
    const auto typed = Dialogs::instance().inputText(QStringLiteral("Driver names"),
                                                     QStringLiteral("Type in Driver Names separated by commas"),
                                                     m_driverList, 255);
    if (typed)
        m_driverList = *typed;
}

void TForm1::CbShardChange()
{
    const QString shard = currentShard();
    if (m_leaderboard) {
        m_leaderboard->setShardCaption(shard);
        m_leaderboard->wb1->ShowHtmlText(QString());
    }
    if (m_driverInfo) {
        m_driverInfo->setShardCaption(shard);
        m_driverInfo->Memo1->clear();
    }
}

void TForm1::Info1Click()
{
    openInBrowser(serviceBase() + '/');
}

void TForm1::Chart1Click()
{
    if (!m_chart)
        m_chart = new ChartWindow(*ADODataSet1, *this, this);
    showViewer(m_chart);
}

void TForm1::Label7Click()
{
    openInBrowser(racr::serversStatusUrl(serviceBase()));
}

void TForm1::Label2Click()
{
    showViewer(m_leaderboard);
}

void TForm1::Label6Click()
{
    showViewer(m_driverInfo);
}

void TForm1::Label12Click()
{
    showViewer(m_events);
}

void TForm1::showViewer(QWidget* viewer)
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
