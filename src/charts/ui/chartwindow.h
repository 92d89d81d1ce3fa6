#pragma once

#include "charts/chartdata.h"

#include <QWidget>
#include <memory>

class ChartJob;
class QChartView;
class QCheckBox;
class QComboBox;
class QLabel;
class QListWidget;
class QPushButton;
class OpenResult;
class CurrentChoices;

// A chart of the main window's open result: x from one column (numbers or the service's dates),
// y from the checked columns, one series per value of a column, as lines or points; filters on
// the track, race type and driver when the result has them; saved as PNG or SVG. Its controls are
// its own; tests and assistive technology find them by their object names.
class ChartWindow : public QWidget {
    Q_OBJECT

public:
    ChartWindow(OpenResult& openResult, const CurrentChoices& choices, QWidget* parent = nullptr);
    ~ChartWindow() override;

    // The points drawn last.
    const chartdata::Chart& chart() const { return m_chart; }

Q_SIGNALS:
    void drawn();   // a chart asked for is on the screen

public Q_SLOTS:
    void driverOnTrackClick();
    void listOnTrackClick();
    void saveClick();

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void reload();
    void redraw();
    void present(const chartdata::Chart& chart, const QList<QStringList>& choices, QStringList notes);
    void fillChoices(const QList<QStringList>& choices);
    int thinningColumns() const;
    void dropJob();
    void applyTheme();
    void showLegend();
    int fieldOf(const QComboBox* box) const;
    bool oneClickReady(int row);
    void oneClick(bool listedDrivers);
    void chooseForTimes(int split);
    void setFilter(QComboBox* box, int row);

    OpenResult& m_openResult;
    const CurrentChoices& m_choices;
    QComboBox* m_xBox;
    QListWidget* m_yList;           // checkable items, one per column
    QComboBox* m_splitBox;          // "(none)" and the columns
    QComboBox* m_styleBox;          // Lines, Points
    QComboBox* m_trackBox;          // "(all)" and the result's values of the column named
    QComboBox* m_raceTypeBox;
    QComboBox* m_driverBox;
    QCheckBox* m_listedOnly;        // only the drivers of the main window's list
    QPushButton* m_driverOnTrack;   // one-click: the current row's driver on its track over time
    QPushButton* m_listOnTrack;     // one-click: the drivers of the list on the current row's track
    QPushButton* m_saveButton;
    QCheckBox* m_doubleSize;        // pictures at twice the size the chart has on the screen
    QChartView* m_view;
    QListWidget* m_legend;          // the series' names in their colours; scrolls when they are many
    QLabel* m_note;                 // rows left out, or what a one-click chart needs
    chartdata::Chart m_chart;
    bool m_filling = false;       // controls being refilled: no redraw per change
    bool m_stale = true;          // the result changed while the window was hidden
    bool m_choicesStale = true;   // the filter boxes' values are still to be read from the result
    QString m_lastSaved;
    std::unique_ptr<ChartJob> m_job;   // the chart being made or made last; last, so it stops first
};
