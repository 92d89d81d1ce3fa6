#pragma once

#include <QWidget>

class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class CurrentChoices;

// The driver info window: one driver's last login, personas, statistics and cars as text. Its
// controls are its own; tests and assistive technology find them by their object names.
class DriverInfoWindow : public QWidget {
    Q_OBJECT

public:
    explicit DriverInfoWindow(const CurrentChoices& choices, QWidget* parent = nullptr);

    void setShardCaption(const QString& shard);
    // The main window's shard changed: the caption names it, and the old shard's report goes.
    void showShard(const QString& shard);

public Q_SLOTS:
    // Shows the last login, personas, statistics and cars of the driver named in the name field.
    void showDriver();

private:
    void showShardCaption();

    const CurrentChoices& m_choices;
    QLabel* m_driverNameLabel;
    QLineEdit* m_driverNameEdit;
    QPushButton* m_okButton;
    QLabel* m_avatarImage;
    QPlainTextEdit* m_driverReport;
};
