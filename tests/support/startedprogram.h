#pragma once

#include "app/programwindows.h"
#include "workbench/ui/sqleditor.h"

#include <QListWidget>
#include <QRadioButton>
#include <QTest>
#include <gtest/gtest.h>

#include <memory>

class TempHome;

// Starts the program's windows in a private program folder, the way main() does.
struct Program {
    explicit Program(TempHome& home) : home(home) {}

    ProgramWindows& start()
    {
        windows = std::make_unique<ProgramWindows>();
        windows->main.show();
        return *windows;
    }
    void close() { windows->main.close(); }

    MainWindow& main() { return windows->main; }
    QListWidget* list(const char* name) { return main().findChild<QListWidget*>(name); }
    QStringList items(const char* name)
    {
        QStringList texts;
        for (int i = 0; i < list(name)->count(); ++i)
            texts << list(name)->item(i)->text();
        return texts;
    }
    void clickItem(const char* name, const QString& text)
    {
        QListWidget* widget = list(name);
        const auto found = widget->findItems(text, Qt::MatchExactly);
        ASSERT_EQ(found.size(), 1) << text.toStdString();
        const QRect where = widget->visualItemRect(found.first());
        QTest::mouseClick(widget->viewport(), Qt::LeftButton, {}, where.center());
    }
    void choose(const char* radio)
    {
        auto* button = main().findChild<QRadioButton*>(radio);
        QTest::mouseClick(button, Qt::LeftButton, {}, QPoint(5, button->height() / 2));
    }
    QString memo() { return main().findChild<SqlEditor*>("sqlEditor")->text(); }

    TempHome& home;
    std::unique_ptr<ProgramWindows> windows;
};

