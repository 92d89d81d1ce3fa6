#pragma once

#include <QWidget>

class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class ShellValues;

// The driver info window: one driver's last login, personas, statistics and cars as text.
class TForm4 : public QWidget {
    Q_OBJECT

public:
    explicit TForm4(const ShellValues& shell, QWidget* parent = nullptr);

    QLabel* Label1;
    QLineEdit* Edit1;
    QPushButton* Button1;
    QLabel* Image1;
    QPlainTextEdit* Memo1;

    void setShardCaption(const QString& shard);

private:
    void FormCreate();

    const ShellValues& m_shell;
};
