// The viewers at their design size against the tables and pictures in designsize/, taken from
// the windows as they were when every control was placed by its own rectangle. A grown window
// gives the room to its page and keeps the other controls where they are.

#include "fakeshell.h"
#include "support/designsize.h"

#include "viewers/ui/driverinfowindow.h"
#include "viewers/ui/eventswindow.h"
#include "viewers/ui/leaderboardwindow.h"

#include <gtest/gtest.h>

namespace {

const QString folder = QStringLiteral(RACR_DESIGNSIZE_DIR);

class ViewerDesignSize : public ::testing::Test {
protected:
    static void SetUpTestSuite() { useDesignSizeLook(); }

    // Grows the window and expects the control named `content` to take all the room, every other
    // control to stay where it is, and the window not to become smaller than its design.
    static void expectContentGrows(QWidget& window, const char* content)
    {
        const QSize design = window.size();
        const QMap<QString, QRect> before = controlPlaces(window);
        resizeShown(window, design + QSize(120, 80));
        const QMap<QString, QRect> after = controlPlaces(window);
        for (auto at = before.begin(); at != before.end(); ++at) {
            const QRect want = at.key() == QLatin1String(content) ? at.value().adjusted(0, 0, 120, 80) : at.value();
            EXPECT_EQ(after.value(at.key()), want) << qPrintable(at.key());
        }
        resizeShown(window, design);
        EXPECT_EQ(controlPlaces(window), before);
        window.resize(design - QSize(50, 50));
        EXPECT_EQ(window.size(), design);
    }

    FakeShell shell;
};

TEST_F(ViewerDesignSize, LeaderboardWindow)
{
    LeaderboardWindow window(shell);
    window.show();
    expectAsDesigned(window, folder, QStringLiteral("leaderboardwindow"));
    expectContentGrows(window, "page");
}

TEST_F(ViewerDesignSize, DriverInfoWindow)
{
    DriverInfoWindow window(shell);
    window.show();
    expectAsDesigned(window, folder, QStringLiteral("driverinfowindow"));
    expectContentGrows(window, "driverReport");
}

TEST_F(ViewerDesignSize, EventsWindow)
{
    EventsWindow window(shell);
    window.show();   // drawn before the fetch queued by the show runs
    expectAsDesigned(window, folder, QStringLiteral("eventswindow"));
    expectContentGrows(window, "page");
}

} // namespace
