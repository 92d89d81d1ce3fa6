#pragma once

#include <QObject>

class PeriodChoice;
class QPushButton;
class QWidget;

// The main window's import controls: the import type with its day and week numbers, and the
// two buttons that start an import.
class ImportControls : public QObject {
    Q_OBJECT

public:
    explicit ImportControls(QWidget* form, QObject* parent = nullptr);

    PeriodChoice* period;   // RadioGroup1 "Import type:", Edit2/uday, Edit3/uweek
    QPushButton* Button5;   // "Import Driver Data"
    QPushButton* Button3;   // "Import Leaderboard Data"
};
