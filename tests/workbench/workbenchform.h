#pragma once

#include "common/ui/designlayout.h"
#include "db/openresult.h"
#include "workbench/ui/resultgrid.h"
#include "db/resultmodel.h"
#include "workbench/ui/sqleditor.h"
#include "workbench/ui/sqlworkbench.h"
#include "db/sampledb.h"
#include "support/fakedialogs.h"

#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <QWidget>

#include <initializer_list>
#include <utility>

// The main window's part under test: a client area with the workbench and the grid as the main
// window places them, on a sample database, with dialogs answered by the test.
struct WorkbenchForm {
    explicit WorkbenchForm(Engine engine = Engine::Sqlite) : db(engine), openResult(db.connection(), kResultsMessageName)
    {
        workbench = new SqlWorkbench(&form, openResult, &form);
        grid = new ResultGridController(&form, &form, openResult, *workbench, &form);
        // Placed as the main window places them at its design size.
        auto* layout = new DesignLayout(&form, QSize(1006, 698));
        for (const auto& [name, rect] : std::initializer_list<std::pair<const char*, QRect>>{
                 {"grid", {5, 8, 996, 369}},           {"recordsLabel", {8, 384, 116, 26}},
                 {"recNoLabel", {128, 384, 108, 26}},  {"sortLabel", {244, 384, 149, 26}},
                 {"navigator", {399, 384, 207, 25}},   {"sqlLabel", {8, 416, 24, 13}},
                 {"sqlEditorBox", {8, 436, 411, 209}}, {"executeButton", {8, 656, 82, 32}},
                 {"stopButton", {100, 656, 82, 32}},   {"openSqlButton", {232, 656, 82, 32}},
                 {"saveSqlButton", {336, 656, 82, 32}}})
            layout->place(control<QWidget>(name), rect);
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
    ResultTableView* dataGrid() { return control<ResultTableView>("grid"); }
    ResultModel* model()
    {
        auto* found = form.findChild<ResultModel*>(QStringLiteral("resultModel"));
        EXPECT_NE(found, nullptr);
        return found;
    }
    RecordNavigator* navigator() { return control<RecordNavigator>("navigator"); }

    // Types a statement into the editor and presses "Execute SQL".
    void run(const QString& sql)
    {
        control<SqlEditor>("sqlEditor")->setText(sql);
        QTest::mouseClick(control<QPushButton>("executeButton"), Qt::LeftButton);
    }

    SampleDatabase db;
    FakeDialogs dialogs;
    OpenResult openResult;
    QWidget form;   // after the open result: its widgets go first
    SqlWorkbench* workbench;
    ResultGridController* grid;
};
