#pragma once

#include "common/periodchoice.h"
#include "common/shellvalues.h"
#include "support/findnamed.h"
#include "db/queryobject.h"
#include "workbench/sqlworkbench.h"
#include "import/importcontrols.h"
#include "import/cylindergauge.h"
#include "import/importwindow.h"
#include "importtesting.h"

#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QWidget>
#include <functional>

class ShellStub : public ShellValues {
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
    WorkbenchPart(QWidget* form, QueryObject& dataSet)
        : part(form, dataSet), recordsLabel(form->findChild<QLabel*>(QStringLiteral("recordsLabel"))),
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
        : dataSet(db.connection, kResultsMessageName), workbench(&mainWindow, dataSet), controls(&mainWindow),
          progress(&mainWindow)
    {
        shell.base = serviceBase;
        mainWindow.resize(1006, 698);
        mainWindow.show();
        controls.part.attach(&progress, dataSet, workbench.part, shell);
    }

    QStringList log() const
    {
        return named<QPlainTextEdit>(progress, "importLog")->toPlainText().split('\n', Qt::SkipEmptyParts);
    }
    CylinderGauge* gauge() const { return named<CylinderGauge>(progress, "gauge"); }
    bool finished() const { return log().contains(QStringLiteral("Finished!")); }

    ImportDatabase db;
    QWidget mainWindow;
    QueryObject dataSet;
    WorkbenchPart workbench;
    ImportControlsPart controls;
    ImportWindow progress;
    ShellStub shell;
};

// While a button's modal show runs, calls `step` every few milliseconds until it returns true.
// A step that never comes true fails the test and closes the window, so nothing hangs.
void whileShown(ImportWindow& progress, QPushButton* start, std::function<bool()> step);
