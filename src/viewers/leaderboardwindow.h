#pragma once

#include <QWidget>

class HtmlView;
class PeriodChoice;
class QComboBox;
class QLabel;
class QLineEdit;
class RadioGroup;
class ShellValues;
class UpDown;

// The leaderboard viewer: one track's leaderboard fetched live and shown as a page.
class LeaderboardWindow : public QWidget {
    Q_OBJECT

public:
    explicit LeaderboardWindow(const ShellValues& shell, QWidget* parent = nullptr);

    PeriodChoice* period;
    RadioGroup* periodGroup;
    QLineEdit* daysEdit;
    UpDown* daysBeforeToday;
    QLineEdit* weekEdit;
    UpDown* weekNumber;
    RadioGroup* playerMode;
    QLabel* trackLabel;
    QComboBox* trackList;
    HtmlView* page;

    // Caption for the shard shown by the main window's shard list.
    void setShardCaption(const QString& shard);

public Q_SLOTS:
    // The user picked a track: fetch its leaderboard and show it.
    void fetchLeaderboard();

private:
    void resetControls();

    const ShellValues& m_shell;
};
