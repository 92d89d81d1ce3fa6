#pragma once

#include "common/shellvalues.h"
#include "support/namedcontrol.h"
#include "db/queryobject.h"
#include "workbench/sqlworkbench.h"
#include "import/importcontrols.h"
#include "import/cylindergauge.h"
#include "import/importwindow.h"
#include "importtesting.h"

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

// The main window's parts the imports touch, the progress window, and the wiring between them.
struct Windows {
    explicit Windows(const QString& serviceBase)
        : dataSet(db.connection, kResultsMessageName), workbench(&mainWindow, dataSet), controls(&mainWindow),
          progress(&mainWindow)
    {
        shell.base = serviceBase;
        mainWindow.resize(1006, 698);
        mainWindow.show();
        controls.attach(&progress, dataSet, workbench, shell);
    }

    QStringList log() const
    {
        return namedControl<QPlainTextEdit>(progress, "importLog")->toPlainText().split('\n', Qt::SkipEmptyParts);
    }
    CylinderGauge* gauge() const { return namedControl<CylinderGauge>(progress, "gauge"); }
    bool finished() const { return log().contains(QStringLiteral("Finished!")); }

    ImportDatabase db;
    QWidget mainWindow;
    QueryObject dataSet;
    SqlWorkbench workbench;
    ImportControls controls;
    ImportWindow progress;
    ShellStub shell;
};

// While a button's modal show runs, calls `step` every few milliseconds until it returns true.
// A step that never comes true fails the test and closes the window, so nothing hangs.
void whileShown(ImportWindow& progress, QPushButton* start, std::function<bool()> step);
