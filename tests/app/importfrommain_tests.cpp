// The imports started from the main window's buttons, with every window of the program wired as
// main() wires them.

#include "app/closesignals.h"
#include "db/startingstatement.h"
#include "support/findnamed.h"
#include "app/programwindows.h"
#include "workbench/ui/sqlworkbench.h"
#include "import/importwindows.h"
#include "import/ui/cylindergauge.h"
#include "support/simulator.h"
#include "support/temphome.h"

#include <QElapsedTimer>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSqlQuery>
#include <QTest>
#include <gtest/gtest.h>

#include <csignal>

namespace {

void clickGauge(ImportWindow& progress)
{
    QTest::mouseClick(named<CylinderGauge>(progress, "gauge"), Qt::LeftButton);
}

TEST(ImportWindow, FromTheMainWindowBothImportsFillWhatTheDefaultStatementShows)
{
    Simulator sim({"--records-per-track", "2"});
    TempHome home;
    home.write("racr.ini", "[settings]\nservicebase=" + sim.base().toUtf8() + "\n");
    ProgramWindows windows;
    windows.main.show();   // connects to the database
    const auto runFrom = [&](const char* button) {
        whileShown(windows.importWindow, windows.main.findChild<QPushButton*>(button), [&] {
            if (!named<QPlainTextEdit>(windows.importWindow, "importLog")->toPlainText().contains("Finished!"))
                return false;
            clickGauge(windows.importWindow);
            return true;
        });
    };
    runFrom("importLeaderboardsButton");
    runFrom("importDriversButton");

    QSqlQuery shown(windows.main.connection().database());
    ASSERT_TRUE(shown.exec(startingStatement()));
    int rows = 0;
    int withAvatar = 0;
    while (shown.next()) {
        ++rows;
        withAvatar += shown.value(0).toInt() > 0;
    }
    EXPECT_EQ(rows, 2 * 89 * 2);
    EXPECT_EQ(withAvatar, rows);   // both listed drivers were imported with their avatar number
}

TEST(ImportWindow, ASigtermDuringAnImportStopsItAndClosesTheProgramWithItsSettings)
{
    Simulator sim({"--fault", "leaderboards=hang"});
    TempHome home;
    home.write("racr.ini", "[settings]\nservicebase=" + sim.base().toUtf8() + "\nshard=chicane\n");
    ProgramWindows windows;
    CloseSignals closeSignals;   // as main() wires it
    QObject::connect(&closeSignals, &CloseSignals::received, &windows.main, [&] { windows.closeAtSignal(); });
    windows.main.show();
    QElapsedTimer shown;
    bool sent = false;
    whileShown(windows.importWindow, windows.main.findChild<QPushButton*>("importLeaderboardsButton"), [&] {
        if (!shown.isValid())
            shown.start();
        if (!sent && shown.elapsed() > 1000) {   // well into the first request, which never gets an answer
            ::raise(SIGTERM);
            sent = true;
        }
        return !windows.importWindow.isVisible();
    });
    EXPECT_TRUE(sent);
    EXPECT_FALSE(windows.main.isVisible());
    EXPECT_EQ(named<QPlainTextEdit>(windows.importWindow, "importLog")->toPlainText().split('\n', Qt::SkipEmptyParts),
              (QStringList{QStringLiteral("Stopping\u2026"), QStringLiteral("MultiPlayer: 0 new record(s).")}));
    EXPECT_TRUE(home.read("racr.ini").contains("shard=CHICANE")) << home.read("racr.ini").toStdString();
}

} // namespace
