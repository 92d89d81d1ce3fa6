#pragma once

#include "app/programwindows.h"
#include "workbench/ui/sqleditor.h"
#include "workbench/ui/sqlworkbench.h"
#include "xserver.h"

#include <QLabel>
#include <QTest>
#include <gtest/gtest.h>

#include <functional>
#include <memory>

// The program's windows on the test's X server with the main window active and the keyboard in
// its SQL editor, where keys typed through the server start.
struct X11Program {
    X11Program()
    {
        windows = std::make_unique<ProgramWindows>();
        windows->main.show();
        windows->main.activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowActive(&windows->main));
        editor()->setFocus();
        EXPECT_TRUE(QTest::qWaitFor([&] { return editor()->hasFocus(); }));
    }

    MainWindow& main() { return windows->main; }
    SqlWorkbench* workbench() { return main().findChild<SqlWorkbench*>(); }
    SqlEditor* editor() { return main().findChild<SqlEditor*>(QStringLiteral("sqlEditor")); }
    QString records() { return main().findChild<QLabel*>(QStringLiteral("recordsLabel"))->text(); }

    // Types keys, then waits for what they should bring about.
    bool type(const QStringList& keys, const std::function<bool()>& done)
    {
        return typeKeys(keys) && QTest::qWaitFor(done, 5'000);
    }

    // Places the caret at a byte of the text, or selects a range of it.
    void select(qsizetype from, qsizetype to)
    {
        editor()->SendScintilla(QsciScintillaBase::SCI_SETSEL, static_cast<unsigned long>(from), static_cast<long>(to));
    }

    std::unique_ptr<ProgramWindows> windows;
};
