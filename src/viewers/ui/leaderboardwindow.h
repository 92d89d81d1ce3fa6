#pragma once

#include <QWidget>

class HtmlView;
class PeriodChoice;
class QComboBox;
class QLabel;
class RadioGroup;
class CurrentChoices;

// The leaderboard viewer: one track's leaderboard fetched live and shown as a page. Its controls
// are its own; tests and assistive technology find them by their object names.
class LeaderboardWindow : public QWidget {
    Q_OBJECT

public:
    explicit LeaderboardWindow(const CurrentChoices& choices, QWidget* parent = nullptr);

    // Caption for the shard shown by the main window's shard list.
    void setShardCaption(const QString& shard);
    // The main window's shard changed: the caption names it, and the page of the old one goes.
    void showShard(const QString& shard);

public Q_SLOTS:
    // The user picked a track: fetch its leaderboard and show it.
    void fetchLeaderboard();

private:
    void resetControls();

    const CurrentChoices& m_choices;
    PeriodChoice* m_period;
    RadioGroup* m_playerMode;
    QLabel* m_trackLabel;
    QComboBox* m_trackList;
    HtmlView* m_page;
};
