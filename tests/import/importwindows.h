#pragma once

#include "common/ui/periodchoice.h"
#include "common/currentchoices.h"
#include "support/findnamed.h"
#include "db/openresult.h"
#include "workbench/ui/sqlworkbench.h"
#include "app/importcontrols.h"
#include "import/ui/cylindergauge.h"
#include "import/ui/importwindow.h"
#include "importtesting.h"

#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QWidget>
#include <functional>

class ShellStub : public CurrentChoices {
public:
    QString shard = QStringLiteral("APEX");
    QString drivers = QStringLiteral("kestrel,pilot000");
    QString base;

    QString currentShard() const override { return shard; }
    QString driverList() const override { return drivers; }
    QString serviceBase() const override { return base; }
};

// The parts of the main window the imports touch, each with the controls the tests read found by
// their names: the parts keep them to themselves.
struct WorkbenchPart {
    WorkbenchPart(QWidget* form, OpenResult& openResult)
        : part(form, openResult), recordsLabel(form->findChild<QLabel*>(QStringLiteral("recordsLabel"))),
          sortLabel(form->findChild<QLabel*>(QStringLiteral("sortLabel"))),
          recNoLabel(form->findChild<QLabel*>(QStringLiteral("recNoLabel")))
    {
    }

    SqlWorkbench part;
    QLabel* recordsLabel;
    QLabel* sortLabel;
    QLabel* recNoLabel;
};

struct ImportControlsPart {
    explicit ImportControlsPart(QWidget* form)
        : part(form), period(form->findChild<PeriodChoice*>()),
          importDriversButton(form->findChild<QPushButton*>(QStringLiteral("importDriversButton"))),
          importLeaderboardsButton(form->findChild<QPushButton*>(QStringLiteral("importLeaderboardsButton")))
    {
    }

    ImportControls part;
    PeriodChoice* period;
    QPushButton* importDriversButton;
    QPushButton* importLeaderboardsButton;
};

// The main window's parts the imports touch, the progress window, and the wiring between them.
struct Windows {
    explicit Windows(const QString& serviceBase)
        : openResult(db.connection, kResultsMessageName), workbench(&mainWindow, openResult), controls(&mainWindow),
          importWindow(&mainWindow)
    {
        shell.base = serviceBase;
        mainWindow.resize(1006, 698);
        mainWindow.show();
        controls.part.attach(&importWindow, openResult, workbench.part, shell);
    }

    QStringList log() const
    {
        return named<QPlainTextEdit>(importWindow, "importLog")->toPlainText().split('\n', Qt::SkipEmptyParts);
    }
    CylinderGauge* gauge() const { return named<CylinderGauge>(importWindow, "gauge"); }
    bool finished() const { return log().contains(QStringLiteral("Finished!")); }

    ImportDatabase db;
    QWidget mainWindow;
    OpenResult openResult;
    WorkbenchPart workbench;
    ImportControlsPart controls;
    ImportWindow importWindow;
    ShellStub shell;
};

// While a button's modal show runs, calls `step` every few milliseconds until it returns true.
// A step that never comes true fails the test and closes the window, so nothing hangs.
void whileShown(ImportWindow& progress, QPushButton* start, std::function<bool()> step);
