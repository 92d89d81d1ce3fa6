// The main window at its design size: every named control stands where it stood when the window
// was a fixed 1006 x 698 client, and the window looks the same. The reference lies in
// tests/app/designsize/: mainwindow.json (each named widget's rectangle relative to the client
// area, the top-left of the central widget) and mainwindow.png (the whole window). Both were
// written from the fixed-size window with RACR_WRITE_DESIGN_REFERENCE=1; the test writes them
// again in that mode instead of comparing.

#include "app/programwindows.h"
#include "common/designfont.h"
#include "support/fakedialogs.h"
#include "support/temphome.h"

#include <QAbstractScrollArea>
#include <QApplication>
#include <QFile>
#include <QFontDatabase>
#include <QFontInfo>
#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QStyle>
#include <QTest>
#include <gtest/gtest.h>

#include <cstdlib>
#include <iostream>

#include <QDir>
#include <QScrollArea>
#include <QScrollBar>
#include <QSplitter>
#include <QMouseEvent>

namespace {

constexpr QSize designedClient(1006, 698);

QString referencePath(const char* file)
{
    return QStringLiteral(RACR_DESIGN_DIR "/") + QLatin1String(file);
}

// What the picture's pixels depend on besides the code: the style, the Qt version and the fonts
// the design font and the editor's fixed font resolve to on this machine, with a sample width.
QString renderingFingerprint()
{
    const QFont design = designFont(11);
    const QFont fixed = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    const QString sample = QStringLiteral("Records: RecNo: Sort: default 0123456789");
    return QStringLiteral("%1; Qt %2; %3 %4px; %5 %6px")
        .arg(QApplication::style()->name(), QString::fromLatin1(qVersion()), QFontInfo(design).family())
        .arg(QFontMetrics(design).horizontalAdvance(sample))
        .arg(QFontInfo(fixed).family())
        .arg(QFontMetrics(fixed).horizontalAdvance(sample));
}

// The window as a user first sees it, in a state that does not depend on the day or on focus:
// the week edit shows today's week, and a focused control would draw a caret or focus frame.
void showAtDesignSize(MainWindow& main)
{
    main.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&main));
    main.resize(designedClient + QSize(0, main.menuBar()->height()));
    QCoreApplication::processEvents();
    ASSERT_EQ(main.centralWidget()->size(), designedClient);
    main.findChild<QLineEdit*>(QStringLiteral("weekEdit"))->setText(QStringLiteral("1"));
    if (QWidget* focused = QApplication::focusWidget())
        focused->clearFocus();
    QCoreApplication::processEvents();
}

struct Placed {
    QRect rect;
    bool visible = false;
    bool text = false;   // a label, whose width follows the font's
};

// Every named widget of the window (Qt's own inner widgets, named qt_..., and other windows such
// as popup menus and the progress window left out), by name; a repeated name is numbered in the
// order the window's children are found.
QMap<QString, Placed> placements(MainWindow& main)
{
    QMap<QString, Placed> found;
    const QPoint origin = main.centralWidget()->mapTo(&main, QPoint(0, 0));
    for (QWidget* widget : main.findChildren<QWidget*>()) {
        QString name = widget->objectName();
        if (name.isEmpty() || name.startsWith(QLatin1String("qt_")) || widget->window() != &main)
            continue;
        for (int n = 2; found.contains(name); ++n)
            name = widget->objectName() + '#' + QString::number(n);
        found.insert(name, {QRect(widget->mapTo(&main, QPoint(0, 0)) - origin, widget->size()), widget->isVisibleTo(&main),
                            qobject_cast<QLabel*>(widget) != nullptr});
    }
    return found;
}

QJsonArray toJson(const QRect& r)
{
    return {r.x(), r.y(), r.width(), r.height()};
}

QRect rectFrom(const QJsonValue& v)
{
    const QJsonArray a = v.toArray();
    return {a[0].toInt(), a[1].toInt(), a[2].toInt(), a[3].toInt()};
}

void writeReference(MainWindow& main)
{
    QJsonObject controls;
    const QMap<QString, Placed> placed = placements(main);
    for (auto it = placed.begin(); it != placed.end(); ++it)
        controls.insert(it.key(), QJsonObject{{"rect", toJson(it->rect)}, {"visible", it->visible}, {"label", it->text}});
    const QJsonObject root{{"rendering", renderingFingerprint()},
                           {"client", QJsonArray{designedClient.width(), designedClient.height()}},
                           {"controls", controls}};
    QFile json(referencePath("mainwindow.json"));
    ASSERT_TRUE(json.open(QIODevice::WriteOnly | QIODevice::Truncate)) << json.errorString().toStdString();
    json.write(QJsonDocument(root).toJson());
    ASSERT_TRUE(main.grab().toImage().save(referencePath("mainwindow.png")));
}

} // namespace

// The picture is compared only where the reference was drawn with the same style, Qt and fonts
// (the fingerprint stored beside the rectangles): another font rasteriser moves every text by a
// pixel here and there, so on such a machine the rectangles alone are compared, and a label's,
// which follows its font's width, by its top-left corner. Two pixels count as the same when no
// colour channel differs by more than 16 levels (anti-aliasing); at most 0.01 % of the pixels
// (about 70) may differ beyond that. The splitter handle is new: the strip it occupies between
// the grid and the status line (client rows 377 to 381) is left out.
TEST(DesignSize, MainWindowKeepsEveryControlAndPixelAtTheDesignSize)
{
    TempHome home;
    FakeDialogs dialogs;
    ProgramWindows windows;
    MainWindow& main = windows.main;
    showAtDesignSize(main);
    if (qEnvironmentVariableIsSet("RACR_WRITE_DESIGN_REFERENCE")) {
        writeReference(main);
        return;
    }

    QFile json(referencePath("mainwindow.json"));
    ASSERT_TRUE(json.open(QIODevice::ReadOnly)) << json.errorString().toStdString();
    const QJsonObject reference = QJsonDocument::fromJson(json.readAll()).object();
    const bool sameRendering = reference.value("rendering").toString() == renderingFingerprint();
    const QMap<QString, Placed> now = placements(main);
    const QJsonObject controls = reference.value("controls").toObject();
    ASSERT_GT(controls.size(), 30);
    // Hidden until they open, these place themselves over the editor then.
    const QStringList placedWhenShown{"sqlErrorPane", "findBar", "findField", "replaceField"};
    for (auto it = controls.begin(); it != controls.end(); ++it) {
        const std::string name = it.key().toStdString();
        ASSERT_TRUE(now.contains(it.key())) << name << " is missing";
        const QJsonObject designed = it.value().toObject();
        const Placed& placed = now[it.key()];
        EXPECT_EQ(placed.visible, designed.value("visible").toBool()) << name;
        if (placedWhenShown.contains(it.key()))
            continue;
        const QRect want = rectFrom(designed.value("rect"));
        if (sameRendering || !designed.value("label").toBool())
            EXPECT_EQ(placed.rect, want) << name;
        else
            EXPECT_EQ(placed.rect.topLeft(), want.topLeft()) << name;
    }

    if (!sameRendering) {
        std::cout << "The picture is not compared: the reference was drawn with "
                  << reference.value("rendering").toString().toStdString() << ", this machine draws with "
                  << renderingFingerprint().toStdString() << '\n';
        return;
    }
    const QImage before = QImage(referencePath("mainwindow.png")).convertToFormat(QImage::Format_RGB32);
    const QImage after = main.grab().toImage().convertToFormat(QImage::Format_RGB32);
    ASSERT_EQ(after.size(), before.size());
    const int clientTop = main.centralWidget()->mapTo(&main, QPoint(0, 0)).y();
    const QRect handleStrip(0, clientTop + 377, after.width(), 5);
    // The editor's page shows the starting statement, whose words are the database's business,
    // not the layout's: its frame is compared, what it holds is not.
    const auto* editor = main.findChild<QAbstractScrollArea*>(QStringLiteral("sqlEditor"));
    ASSERT_NE(editor, nullptr);
    const QRect editorPage(editor->viewport()->mapTo(&main, QPoint(0, 0)), editor->viewport()->size());
    int differing = 0;
    for (int y = 0; y < after.height(); ++y)
        for (int x = 0; x < after.width(); ++x) {
            if (handleStrip.contains(x, y) || editorPage.contains(x, y))
                continue;
            const QRgb a = after.pixel(x, y);
            const QRgb b = before.pixel(x, y);
            if (std::abs(qRed(a) - qRed(b)) > 16 || std::abs(qGreen(a) - qGreen(b)) > 16 || std::abs(qBlue(a) - qBlue(b)) > 16)
                ++differing;
        }
    if (differing > 0)
        after.save(QDir::current().filePath("mainwindow-now.png"));   // to look at beside the reference
    EXPECT_LE(differing, after.width() * after.height() / 10'000) << differing << " pixels differ";
}

namespace {

// Drags a splitter's handle by `dy` pixels as the mouse does.
void dragHandle(QSplitter* splitter, int dy)
{
    QWidget* handle = splitter->handle(1);
    const QPoint from = handle->rect().center();
    const QPoint to = from + QPoint(0, dy);
    QMouseEvent press(QEvent::MouseButtonPress, from, handle->mapToGlobal(from), Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(handle, &press);
    QMouseEvent move(QEvent::MouseMove, to, handle->mapToGlobal(to), Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(handle, &move);
    QMouseEvent release(QEvent::MouseButtonRelease, to, handle->mapToGlobal(to), Qt::LeftButton, Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(handle, &release);
}

QRect inClient(MainWindow& main, const char* name)
{
    const auto* widget = main.findChild<QWidget*>(QLatin1String(name));
    EXPECT_NE(widget, nullptr) << name;
    return widget ? QRect(widget->mapTo(main.centralWidget(), QPoint(0, 0)), widget->size()) : QRect();
}

} // namespace

TEST(DesignSize, ALargerWindowGivesTheGridTheRoomAndTheSplitterIsKept)
{
    TempHome home;
    FakeDialogs dialogs;
    {
        ProgramWindows windows;
        MainWindow& main = windows.main;
        showAtDesignSize(main);
        EXPECT_TRUE(main.windowFlags() & Qt::WindowMaximizeButtonHint);
        const QRect designedGrid = inClient(main, "grid");
        EXPECT_EQ(designedGrid, QRect(5, 8, 996, 369));

        // A 1600 x 1000 window, as maximised on such a screen: the grid takes the extra room; the
        // controls under it keep their places, only lower by the extra height.
        main.resize(1600, 1000);
        QCoreApplication::processEvents();
        const QSize extra = main.centralWidget()->size() - designedClient;
        ASSERT_EQ(extra.width(), 594);
        ASSERT_GT(extra.height(), 250);
        EXPECT_EQ(inClient(main, "grid"), designedGrid.adjusted(0, 0, extra.width(), extra.height()));
        EXPECT_EQ(inClient(main, "executeButton"), QRect(8, 656, 82, 32).translated(0, extra.height()));
        EXPECT_EQ(inClient(main, "periodGroup"), QRect(824, 548, 169, 97).translated(0, extra.height()));
        EXPECT_EQ(inClient(main, "fileNameLabel"), QRect(215, 416, 200, 13).translated(0, extra.height()));
        auto* scroller = main.findChild<QScrollArea*>("clientScroller");
        EXPECT_FALSE(scroller->horizontalScrollBar()->isVisible());
        EXPECT_FALSE(scroller->verticalScrollBar()->isVisible());

        // The handle dragged up: the editor and the lists grow, the buttons under them move down.
        auto* splitter = main.findChild<QSplitter*>("gridSplitter");
        ASSERT_NE(splitter, nullptr);
        dragHandle(splitter, -100);
        EXPECT_EQ(inClient(main, "grid").height(), 369 + extra.height() - 100);
        EXPECT_EQ(inClient(main, "sqlEditor"), QRect(8, 436, 411, 309).translated(0, extra.height() - 100));
        EXPECT_EQ(inClient(main, "catalogueList").height(), 309);
        EXPECT_EQ(inClient(main, "executeButton"), QRect(8, 756, 82, 32).translated(0, extra.height() - 100));
        main.close();
    }
    EXPECT_TRUE(home.read("racr.ini").contains("\ngridsplit=416\n")) << home.read("racr.ini").toStdString();

    // The next start shows the area under the grid as tall as it was left.
    ProgramWindows again;
    showAtDesignSize(again.main);
    EXPECT_EQ(inClient(again.main, "sqlEditor").height(), 309);
    EXPECT_EQ(inClient(again.main, "grid").height(), 269);
}
