#pragma once

#include <QWidget>

class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class ShellValues;

// The driver info window: one driver's last login, personas, statistics and cars as text.
class DriverInfoWindow : public QWidget {
    Q_OBJECT

public:
    explicit DriverInfoWindow(const ShellValues& shell, QWidget* parent = nullptr);

    QLabel* driverNameLabel;
    QLineEdit* driverNameEdit;
    QPushButton* okButton;
    QLabel* avatarImage;
    QPlainTextEdit* driverReport;

    void setShardCaption(const QString& shard);

public Q_SLOTS:
    // Shows the last login, personas, statistics and cars of the driver named in driverNameEdit.
    void showDriver();

private:
    void showShardCaption();

    const ShellValues& m_shell;
};
