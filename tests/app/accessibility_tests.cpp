#include "app/linklabel.h"
#include "app/programwindows.h"
#include "charts/ui/chartwindow.h"
#include "common/ui/dialogs.h"
#include "workbench/ui/sqleditor.h"
#include "workbench/ui/sqlworkbench.h"
#include "import/ui/cylindergauge.h"
#include "support/fakebrowser.h"
#include "support/fakedialogs.h"
#include "support/findnamed.h"
#include "support/temphome.h"

#include <QAccessible>
#include <QAccessibleActionInterface>
#include <QAccessibleValueInterface>
#include <QApplication>
#include <QComboBox>
#include <QDesktopServices>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QTest>
#include <QTimer>
#include <QUrl>
#include <gtest/gtest.h>
#include <algorithm>
#include <memory>

namespace {

// Roles a user operates or reads a value from; static text, panes, scroll bars and separators
// need no name of their own.
bool isControl(QAccessible::Role role)
{
    switch (role) {
    case QAccessible::PushButton:
    case QAccessible::CheckBox:
    case QAccessible::RadioButton:
    case QAccessible::ComboBox:
    case QAccessible::SpinBox:
    case QAccessible::EditableText:
    case QAccessible::List:
    case QAccessible::Table:
    case QAccessible::Tree:
    case QAccessible::Slider:
    case QAccessible::Dial:
    case QAccessible::ProgressBar:
    case QAccessible::Link:
    case QAccessible::MenuItem:
    case QAccessible::ButtonMenu:
    case QAccessible::ButtonDropDown:
    case QAccessible::PageTab:
        return true;
    default:
        return false;
    }
}

QString describe(QAccessibleInterface* iface)
{
    QObject* object = iface->object();
    QString path;
    for (QObject* o = object; o; o = o->parent())
        path.prepend(QLatin1Char('/') + o->objectName());
    return QStringLiteral("role 0x%1 at %2").arg(int(iface->role()), 0, 16).arg(object ? path : QStringLiteral("(no object)"));
}

// Walks the tree under iface as a screen reader does, child by child. Cells and entries of
// lists and tables are their own text, so the walk stops at the list.
void walk(QAccessibleInterface* iface, QStringList& unnamed, QList<QAccessibleInterface*>& all, int depth = 0)
{
    ASSERT_LT(depth, 30) << "the tree loops at " << qPrintable(describe(iface));
    all.append(iface);
    if (isControl(iface->role()) && iface->text(QAccessible::Name).trimmed().isEmpty())
        unnamed.append(describe(iface));
    if (iface->role() == QAccessible::List || iface->role() == QAccessible::Table || iface->role() == QAccessible::Tree)
        return;
    for (int i = 0; i < iface->childCount(); ++i)
        if (QAccessibleInterface* child = iface->child(i))
            walk(child, unnamed, all, depth + 1);
}

QAccessibleInterface* find(const QList<QAccessibleInterface*>& all, QAccessible::Role role, const QString& name)
{
    for (QAccessibleInterface* iface : all)
        if (iface->role() == role && iface->text(QAccessible::Name) == name)
            return iface;
    return nullptr;
}

struct Windows {
    Windows()
    {
        QAccessible::setActive(true);
        windows = std::make_unique<ProgramWindows>();
        windows->main.show();
        windows->main.activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowActive(&windows->main));
    }
    TempHome home;
    FakeDialogs dialogs;
    std::unique_ptr<ProgramWindows> windows;
};

} // namespace

TEST(Accessibility, EveryControlOfEveryWindowHasAName)
{
    Windows program;
    ProgramWindows& w = *program.windows;
    QList<QAccessibleInterface*> all;
    QStringList unnamed;
    for (QWidget* window : std::initializer_list<QWidget*>{&w.main, &w.importWindow, &w.leaderboard, &w.driverInfo, &w.events}) {
        window->show();
        QAccessibleInterface* top = QAccessible::queryAccessibleInterface(window);
        ASSERT_NE(top, nullptr) << qPrintable(window->objectName());
        EXPECT_TRUE(top->role() == QAccessible::Window || top->role() == QAccessible::Dialog)
            << qPrintable(describe(top)) << " " << qPrintable(window->objectName());
        EXPECT_EQ(top->text(QAccessible::Name), window->windowTitle());
        walk(top, unnamed, all);
    }
    EXPECT_TRUE(unnamed.isEmpty()) << unnamed.size() << " controls without a name:\n"
                                   << qPrintable(unnamed.join(QLatin1Char('\n')));
    EXPECT_GT(all.size(), 60);

    // Names that say what a control is, where the designed caption says nothing.
    for (const char* name : {"SQL statement", "Tables", "Fields", "Results", "Days before today", "Week number",
                             "Days before today up", "Week number down", "Next record", "Post edit", "Shard",
                             "Track", "Import log", "Import progress", "Weekly", "Race type"})
        EXPECT_NE(std::find_if(all.begin(), all.end(),
                               [&](QAccessibleInterface* i) { return i->text(QAccessible::Name) == QLatin1String(name); }),
                  all.end())
            << name;

    // A combo box tells its value as its name on Linux; its label names it by relation.
    for (const auto& [combo, label] : {std::pair<QWidget*, QWidget*>{named<QComboBox>(w.main, "shardList"), named<QLabel>(w.main, "shardLabel")},
                                       {named<QComboBox>(w.leaderboard, "trackList"), named<QLabel>(w.leaderboard, "trackLabel")}}) {
        const auto labels = QAccessible::queryAccessibleInterface(combo)->relations(QAccessible::Label);
        EXPECT_TRUE(std::any_of(labels.begin(), labels.end(), [&](const auto& r) { return r.first->object() == label; }))
            << qPrintable(combo->objectName());
    }

    // The "Info" entry at the right of the menu bar.
    QAccessibleInterface* info = find(all, QAccessible::MenuItem, "Info");
    ASSERT_NE(info, nullptr);
    EXPECT_EQ(info->object(), named<QAction>(w.main, "infoAction"));
    ASSERT_NE(info->actionInterface(), nullptr);
    QStringList opened;
    {
        const FakeBrowser browser;
        info->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
        opened = browser.opened;
    }
    EXPECT_EQ(opened, QStringList{"http://127.0.0.1:8680/"});

    // The menus keep what Qt gives them: a popup menu with its entries.
    QMenu* exportImport = named<QMenuBar>(w.main, "mainMenu")->actions().value(0)->menu();
    ASSERT_NE(exportImport, nullptr);
    QAccessibleInterface* menu = QAccessible::queryAccessibleInterface(exportImport);
    EXPECT_EQ(menu->role(), QAccessible::PopupMenu);
    EXPECT_EQ(menu->childCount(), exportImport->actions().size());

    // The gauge tells its value, and "Done" at the end.
    QAccessibleInterface* gauge = find(all, QAccessible::ProgressBar, "Import progress");
    ASSERT_NE(gauge, nullptr);
    ASSERT_NE(gauge->valueInterface(), nullptr);
    w.importWindow.setGaugeMaximum(4);
    w.importWindow.setGaugePosition(1);
    EXPECT_EQ(gauge->valueInterface()->currentValue().toInt(), 25);
    EXPECT_EQ(gauge->text(QAccessible::Value), "25%");
    w.importWindow.setGaugePosition(4);
    EXPECT_EQ(gauge->text(QAccessible::Value), "Done");
}

TEST(Accessibility, EveryViewerOpensByKeyboardAndByTheAccessiblePressAction)
{
    Windows program;
    ProgramWindows& w = *program.windows;
    const auto tabTo = [&](QWidget* target) {
        // Tab indents in the SQL editor; Ctrl+Tab leaves it.
        for (int i = 0; i < 100 && QApplication::focusWidget() != target; ++i)
            QTest::keyClick(QApplication::focusWidget() ? QApplication::focusWidget() : &w.main, Qt::Key_Tab,
                            QApplication::focusWidget() == named<SqlEditor>(w.main, "sqlEditor") ? Qt::ControlModifier
                                                                                       : Qt::NoModifier);
        return QApplication::focusWidget() == target;
    };

    const QImage unfocused = named<LinkLabel>(w.main, "driverInfoLink")->grab().toImage();
    ASSERT_TRUE(tabTo(named<LinkLabel>(w.main, "driverInfoLink")));
    // Reached by Tab, the link shows where the keyboard is.
    EXPECT_NE(named<LinkLabel>(w.main, "driverInfoLink")->grab().toImage(), unfocused);
    QTest::keyClick(named<LinkLabel>(w.main, "driverInfoLink"), Qt::Key_Return);
    EXPECT_TRUE(w.driverInfo.isVisible());

    w.main.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&w.main));
    ASSERT_TRUE(tabTo(named<LinkLabel>(w.main, "leaderboardLink")));
    QTest::keyClick(named<LinkLabel>(w.main, "leaderboardLink"), Qt::Key_Space);
    EXPECT_TRUE(w.leaderboard.isVisible());

    QAccessibleInterface* link = QAccessible::queryAccessibleInterface(named<LinkLabel>(w.main, "dailyEventsLink"));
    ASSERT_NE(link, nullptr);
    EXPECT_EQ(link->role(), QAccessible::Link);
    EXPECT_EQ(link->text(QAccessible::Name), "Direct Daily Events Info");
    EXPECT_TRUE(link->state().focusable);
    ASSERT_NE(link->actionInterface(), nullptr);
    EXPECT_TRUE(link->actionInterface()->actionNames().contains(QAccessibleActionInterface::pressAction()));
    link->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
    EXPECT_TRUE(w.events.isVisible());
}


TEST(Accessibility, TheDriverNamesFieldAndTheChartWindowSayWhatTheyAre)
{
    Windows program;
    // The desktop's own dialog: its field is named by the caption the main window gives it.
    QString fieldName;
    QTimer::singleShot(0, [&] {
        QWidget* dialog = QApplication::activeModalWidget();
        ASSERT_NE(dialog, nullptr);
        if (auto* edit = dialog->findChild<QLineEdit*>())
            fieldName = QAccessible::queryAccessibleInterface(edit)->text(QAccessible::Name);
        dialog->close();
    });
    QtDialogs().inputText("Driver names", "Type in Driver Names separated by commas", "kestrel", 255);
    EXPECT_EQ(fieldName, "Driver names");

    named<QAction>(program.windows->main, "chartAction")->trigger();
    ChartWindow* chart = program.windows->main.chartWindow();
    ASSERT_NE(chart, nullptr);
    QAccessibleInterface* top = QAccessible::queryAccessibleInterface(chart);
    EXPECT_EQ(top->role(), QAccessible::Window);
    EXPECT_EQ(top->text(QAccessible::Name), "Chart");
}
