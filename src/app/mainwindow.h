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
class TForm2;
class TForm3;
class TForm4;
class TForm5;

// The main window: the frame of the program (title, menu, shard, driver names, links to the
// viewers), the schema browser, the SQL workbench with its grid, and the import controls.
class TForm1 : public QMainWindow, public ShellValues {
    Q_OBJECT

public:
    explicit TForm1(QWidget* parent = nullptr);
    ~TForm1() override;

    // The other windows, created after this one (they read the restored shard).
    void attachWindows(TForm2* progress, TForm3* leaderboard, TForm4* driverInfo, TForm5* events);

    QString currentShard() const override;
    QString driverList() const override { return m_driverList; }
    QString serviceBase() const override { return m_serviceBase; }
    void setDriverList(const QString& list) { m_driverList = list; }

    Connection& connection() { return *ADOConnection1; }
    QueryObject& dataSet() { return *ADODataSet1; }
    ChartWindow* chartWindow() const { return m_chart; }

    QMenuBar* MainMenu1;
    QAction* Chart1;
    QAction* Info1;
    QLabel* Label3;
    QComboBox* CbShard;
    LinkLabel* Label7;
    LinkLabel* Label6;
    LinkLabel* Label2;
    LinkLabel* Label12;
    QPushButton* Button4;

    Connection* ADOConnection1;
    QueryObject* ADODataSet1;
    SqlWorkbench* workbench;
    ResultGrid* resultGrid;
    SchemaBrowser* schemaBrowser;
    ImportControls* importControls;
    ExportImportMenu* exportImportMenu;
    SqlMenu* sqlMenu;

Q_SIGNALS:
    void closed();

public Q_SLOTS:
    void Button4Click();
    void CbShardChange();
    void Info1Click();
    void Chart1Click();
    void Label7Click();
    void Label2Click();
    void Label6Click();
    void Label12Click();

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void FormCreate();
    void FormShow();
    void FormClose();
    void showViewer(QWidget* viewer);

    QString m_driverList = QStringLiteral("kestrel,pilot000");
    bool m_shown = false;
    bool m_settingsRead = false;
    QString m_serviceBase;
    TForm2* m_progress = nullptr;
    TForm3* m_leaderboard = nullptr;
    TForm4* m_driverInfo = nullptr;
    TForm5* m_events = nullptr;
    ChartWindow* m_chart = nullptr;   // made at its first opening
};
