#pragma once

#include "db/queryobject.h"
#include "workbench/resultgrid.h"
#include "db/resultmodel.h"
#include "workbench/sqleditor.h"
#include "workbench/sqlworkbench.h"
#include "db/sampledb.h"
#include "support/fakedialogs.h"

#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <QWidget>

// The main window's part under test: a client area with the workbench and the grid as the main
// window places them, on a sample database, with dialogs answered by the test.
struct WorkbenchForm {
    explicit WorkbenchForm(Engine engine = Engine::Sqlite) : db(engine), dataSet(db.connection(), kResultsMessageName)
    {
        form.resize(1006, 698);
        workbench = new SqlWorkbench(&form, dataSet, &form);
        grid = new ResultGrid(&form, dataSet, *workbench, &form);
        form.show();
        QApplication::setActiveWindow(&form);
        EXPECT_TRUE(QTest::qWaitForWindowExposed(&form));
    }

    template <typename T>
    T* control(const char* name)
    {
        T* found = form.findChild<T*>(QLatin1String(name));
        EXPECT_NE(found, nullptr) << name;
        return found;
    }

    QString label(const char* name) { return control<QLabel>(name)->text(); }

    // Types a statement into the editor and presses "Execute SQL".
    void run(const QString& sql)
    {
        control<SqlEditor>("sqlEditor")->setText(sql);
        QTest::mouseClick(control<QPushButton>("executeButton"), Qt::LeftButton);
    }

    SampleDatabase db;
    FakeDialogs dialogs;
    QueryObject dataSet;
    QWidget form;   // after the query object: its widgets go first
    SqlWorkbench* workbench;
    ResultGrid* grid;
};
