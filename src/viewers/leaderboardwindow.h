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
class TForm3 : public QWidget {
    Q_OBJECT

public:
    explicit TForm3(const ShellValues& shell, QWidget* parent = nullptr);

    PeriodChoice* period;
    RadioGroup* RadioGroup1;
    QLineEdit* Edit2;
    UpDown* uday;
    QLineEdit* Edit3;
    UpDown* uweek;
    RadioGroup* RadioGroup2;
    QLabel* Label1;
    QComboBox* ComboBox1;
    HtmlView* wb1;

    // Caption for the shard shown by the main window's shard list.
    void setShardCaption(const QString& shard);

public Q_SLOTS:
    // The user picked a track: fetch its leaderboard and show it.
    void ComboBox1Change();

private:
    void FormCreate();

    const ShellValues& m_shell;
};
