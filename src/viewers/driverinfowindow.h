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

public Q_SLOTS:
    // Shows the last login, personas, statistics and cars of the driver named in Edit1.
    void Button1Click();

private:
    void FormCreate();

    const ShellValues& m_shell;
};
