#pragma once

#include "common/currentchoices.h"

#include <QList>
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
class QSplitter;
class OpenResult;
class ResultGridController;
class SchemaBrowser;
class SqlMenu;
class SqlWorkbench;
class ImportWindow;
class LeaderboardWindow;
class DriverInfoWindow;
class EventsWindow;

// The main window: the frame of the program (title, menu, shard, driver names, links to the
// viewers), the schema browser, the SQL workbench with its grid, and the import controls. At its
// design size every control stands where it was designed; a larger window gives the grid the
// extra room, and the splitter under the grid (named gridSplitter) gives the area under it more.
class MainWindow : public QMainWindow, public CurrentChoices {
    Q_OBJECT

public:
    explicit MainWindow(QWidget* parent = nullptr);
    ~MainWindow() override;

    // The other windows, created after this one (they read the restored shard).
    void attachWindows(ImportWindow* importWindow, LeaderboardWindow* leaderboard, DriverInfoWindow* driverInfo, EventsWindow* events);

    QString currentShard() const override;
    QString driverList() const override { return m_driverList; }
    QString serviceBase() const override { return m_serviceBase; }
    void setDriverList(const QString& list) { m_driverList = list; }

    Connection& connection() { return *m_connection; }
    OpenResult& openResult() { return *m_results; }
    ChartWindow* chartWindow() const { return m_chart; }

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
    void layOutEditorArea();
    // The height of the area under the grid: the designed one unless the user moved the splitter.
    int editorAreaHeight() const;
    void setEditorAreaHeight(int height);

    // Named mainMenu, chartAction, infoAction, shardLabel, shardList, serversStatusLink,
    // driverInfoLink, leaderboardLink, dailyEventsLink, setDriverNamesButton.
    QMenuBar* m_menu;
    QAction* m_chartAction;
    QAction* m_infoAction;
    QComboBox* m_shardList;
    QList<LinkLabel*> m_links;
    QPushButton* m_setDriverNames;
    QWidget* m_editorArea;   // the controls under the grid
    QSplitter* m_gridSplitter;

    Connection* m_connection;
    OpenResult* m_results;
    SqlWorkbench* m_workbench;
    ResultGridController* m_resultGrid;
    SchemaBrowser* m_schemaBrowser;
    ImportControls* m_importControls;
    ExportImportMenu* m_exportImportMenu;
    SqlMenu* m_sqlMenu;

    QString m_driverList = QStringLiteral("kestrel,pilot000");
    bool m_shown = false;
    bool m_settingsRead = false;
    QString m_serviceBase;
    ImportWindow* m_importWindow = nullptr;
    LeaderboardWindow* m_leaderboard = nullptr;
    DriverInfoWindow* m_driverInfo = nullptr;
    EventsWindow* m_events = nullptr;
    ChartWindow* m_chart = nullptr;   // made at its first opening
};
