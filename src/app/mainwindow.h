#pragma once

#include "common/shellvalues.h"

#include <QMainWindow>

class ChartWindow;
class Connection;
class ExportImportMenu;
class ImportControls;
class LinkLabel;
class QAction;
class QComboBox;
class QLabel;
class QMenuBar;
class QPushButton;
class QueryObject;
class ResultGrid;
class SchemaBrowser;
class SqlMenu;
class SqlWorkbench;
class ImportWindow;
class LeaderboardWindow;
class DriverInfoWindow;
class EventsWindow;

// The main window: the frame of the program (title, menu, shard, driver names, links to the
// viewers), the schema browser, the SQL workbench with its grid, and the import controls.
class MainWindow : public QMainWindow, public ShellValues {
    Q_OBJECT

public:
    explicit MainWindow(QWidget* parent = nullptr);
    ~MainWindow() override;

    // The other windows, created after this one (they read the restored shard).
    void attachWindows(ImportWindow* progress, LeaderboardWindow* leaderboard, DriverInfoWindow* driverInfo, EventsWindow* events);

    QString currentShard() const override;
    QString driverList() const override { return m_driverList; }
    QString serviceBase() const override { return m_serviceBase; }
    void setDriverList(const QString& list) { m_driverList = list; }

    Connection& connection() { return *databaseConnection; }
    QueryObject& dataSet() { return *resultsQuery; }
    ChartWindow* chartWindow() const { return m_chart; }

    QMenuBar* mainMenu;
    QAction* chartAction;
    QAction* infoAction;
    QLabel* shardLabel;
    QComboBox* shardList;
    LinkLabel* serversStatusLink;
    LinkLabel* driverInfoLink;
    LinkLabel* leaderboardLink;
    LinkLabel* dailyEventsLink;
    QPushButton* setDriverNamesButton;

    Connection* databaseConnection;
    QueryObject* resultsQuery;
    SqlWorkbench* workbench;
    ResultGrid* resultGrid;
    SchemaBrowser* schemaBrowser;
    ImportControls* importControls;
    ExportImportMenu* exportImportMenu;
    SqlMenu* sqlMenu;

Q_SIGNALS:
    void closed();

public Q_SLOTS:
    void editDriverNames();
    void shardChanged();
    void showInfo();
    void openChart();
    void openServersStatus();
    void openLeaderboard();
    void openDriverInfo();
    void openDailyEvents();

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void restoreSettings();
    void connectDatabase();
    void saveSettings();
    void showViewer(QWidget* viewer);
    void orderFocusChain();

    QString m_driverList = QStringLiteral("kestrel,pilot000");
    bool m_shown = false;
    bool m_settingsRead = false;
    QString m_serviceBase;
    ImportWindow* m_progress = nullptr;
    LeaderboardWindow* m_leaderboard = nullptr;
    DriverInfoWindow* m_driverInfo = nullptr;
    EventsWindow* m_events = nullptr;
    ChartWindow* m_chart = nullptr;   // made at its first opening
};
