#include "app/linklabel.h"
#include "app/programwindows.h"
#include "support/fakedialogs.h"
#include "support/findnamed.h"
#include "support/temphome.h"

#include <QScreen>
#include <QScrollArea>
#include <QTest>
#include <gtest/gtest.h>

// Run at twice the scale on a 1280 x 800 screen (see CMakeLists.txt): the design size of the main
// window is larger than the screen then.
TEST(ScalingX11, AtTwiceTheScaleTheMainWindowFitsTheScreenAndScrollsItsControlsIntoView)
{
    ASSERT_EQ(qEnvironmentVariable("QT_SCALE_FACTOR"), "2");
    TempHome home;
    FakeDialogs dialogs;
    ProgramWindows windows;
    MainWindow& main = windows.main;
    main.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&main));
    const QRect available = main.screen()->availableGeometry();
    EXPECT_TRUE(available.contains(main.frameGeometry())) << main.frameGeometry().width() << "x" << main.frameGeometry().height()
                                                         << " on " << available.width() << "x" << available.height();

    // The link at the lower right is off the window at first and scrolls into view.
    auto* scroller = main.findChild<QScrollArea*>("clientScroller");
    ASSERT_NE(scroller, nullptr);
    QWidget* link = named<LinkLabel>(main, "dailyEventsLink");
    const auto shown = [&] {
        const QRect inViewport(link->mapTo(scroller->viewport(), QPoint()), link->size());
        return scroller->viewport()->rect().contains(inViewport);
    };
    EXPECT_FALSE(shown());
    scroller->ensureWidgetVisible(link);
    EXPECT_TRUE(shown());

    // And the user may make it smaller still.
    main.resize(400, 300);
    EXPECT_TRUE(QTest::qWaitFor([&] { return main.size() == QSize(400, 300); }));
}
