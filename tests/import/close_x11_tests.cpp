#include "importwindows.h"
#include "import/ui/cylindergauge.h"
#include "support/fakedialogs.h"
#include "support/fakeservice.h"
#include "support/simulator.h"
#include "support/xserver.h"

#include <QAccessible>
#include <QAccessibleActionInterface>
#include <QElapsedTimer>
#include <QTest>
#include <gtest/gtest.h>

// The close comes from outside the program, through the X server, as the window manager sends it
// when the user clicks the window's close button.

TEST(ImportWindowX11, ACloseDuringAHungRequestStopsTheImportAtOnceWithoutAMessage)
{
    Simulator sim({"--fault", "leaderboards=hang"});
    FakeDialogs dialogs;
    Windows w(sim.base());
    QElapsedTimer shown;
    QElapsedTimer sinceClose;
    whileShown(w.importWindow, w.controls.importLeaderboardsButton, [&] {
        if (!shown.isValid())
            shown.start();
        if (!sinceClose.isValid()) {
            if (shown.elapsed() < 1500)   // well into the first request, which never gets an answer
                return false;
            EXPECT_TRUE(sendCloseRequest(w.importWindow));
            sinceClose.start();
        }
        return !w.importWindow.isVisible();
    });
    // Before, the close waited for the request's time-out (a minute), then showed an error box.
    EXPECT_LT(sinceClose.elapsed(), 5'000);
    EXPECT_FALSE(w.importWindow.isVisible());
    EXPECT_EQ(w.log(), (QStringList{QStringLiteral("Stopping\u2026"), QStringLiteral("MultiPlayer: 0 new record(s).")}));
    EXPECT_TRUE(dialogs.messages.isEmpty()) << dialogs.messages.value(0).text.toStdString();
}

TEST(ImportWindowX11, AWindowClosedBeforeItsJobStartsRunsNothing)
{
    FakeService service([](const FakeService::Request&) { return FakeService::Reply("<list/>"); });
    FakeDialogs dialogs;
    Windows w(service.base());
    bool sent = false;
    whileShown(w.importWindow, w.controls.importLeaderboardsButton, [&] {
        if (!sent)
            sent = sendCloseRequest(w.importWindow);   // at once, well within the 110 ms before the job
        return !w.importWindow.isVisible();
    });
    EXPECT_TRUE(sent);
    QTest::qWait(500);   // long past the moment the job would have started
    EXPECT_TRUE(service.requests().isEmpty()) << service.requests().join(' ').toStdString();
    EXPECT_TRUE(w.log().isEmpty());
}

TEST(ImportWindowX11, TheImportButtonsRefuseASecondStartWhileTheWindowIsOpen)
{
    Simulator sim({"--records-per-track", "1", "--latency-ms", "20"});
    FakeDialogs dialogs;
    Windows w(sim.base());
    bool pressed = false;
    QElapsedTimer sincePress;
    whileShown(w.importWindow, w.controls.importLeaderboardsButton, [&] {
        if (!pressed) {
            if (w.gauge()->position() < 2)
                return false;
            // Assistive technology presses buttons past the modal window.
            QAccessibleInterface* button = QAccessible::queryAccessibleInterface(w.controls.importDriversButton);
            EXPECT_NE(button, nullptr);
            if (button != nullptr && button->actionInterface() != nullptr)
                button->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
            pressed = true;
            sincePress.start();
            return false;
        }
        if (sincePress.elapsed() < 500)   // the press is an animated click, which takes a moment
            return false;
        EXPECT_EQ(w.importWindow.windowTitle(), QStringLiteral("Race Data import progress - APEX"));
        EXPECT_EQ(w.importWindow.importMode, 1);
        sendCloseRequest(w.importWindow);
        return true;
    });
    EXPECT_TRUE(pressed);
}
