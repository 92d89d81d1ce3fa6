// The viewers at their design size against the tables and pictures in designsize/, taken from
// the windows as they were when every control was placed by its own rectangle. A grown window
// gives the room to its page and keeps the other controls where they are.

#include "fakeshell.h"
#include "support/designsize.h"

#include "viewers/driverinfowindow.h"
#include "viewers/eventswindow.h"
#include "viewers/leaderboardwindow.h"

#include <QTest>
#include <gtest/gtest.h>

namespace {

const QString folder = QStringLiteral(RACR_DESIGNSIZE_DIR);

class ViewerDesignSize : public ::testing::Test {
protected:
    static void SetUpTestSuite() { useDesignSizeLook(); }

    FakeShell shell;
};

TEST_F(ViewerDesignSize, LeaderboardWindow)
{
    LeaderboardWindow window(shell);
    window.show();
    expectAsDesigned(window, folder, QStringLiteral("leaderboardwindow"));
}

TEST_F(ViewerDesignSize, DriverInfoWindow)
{
    DriverInfoWindow window(shell);
    window.show();
    expectAsDesigned(window, folder, QStringLiteral("driverinfowindow"));
}

TEST_F(ViewerDesignSize, EventsWindow)
{
    EventsWindow window(shell);
    window.show();   // drawn before the fetch queued by the show runs
    expectAsDesigned(window, folder, QStringLiteral("eventswindow"));
}

} // namespace
