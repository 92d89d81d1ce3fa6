#include "common/ui/periodchoice.h"
#include "support/findnamed.h"
#include "common/ui/radiogroup.h"
#include "common/currentchoices.h"
#include "leaderboarddocument.h"
#include "support/fakeservice.h"
#include "app/importcontrols.h"
#include "import/ui/cylindergauge.h"
#include "import/ui/importwindow.h"
#include "importtesting.h"
#include "importwindows.h"
#include "support/fakedialogs.h"
#include "support/simulator.h"

#include <QDeadlineTimer>
#include <cmath>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

#include <algorithm>

namespace {

void clickGauge(ImportWindow& progress)
{
    QTest::mouseClick(named<CylinderGauge>(progress, "gauge"), Qt::LeftButton);
}

} // namespace

TEST(ImportWindow, GaugeIsACylinderFillingWhiteOverSilverFromTheLeft)
{
    CylinderGauge gauge;
    gauge.resize(321, 41);
    gauge.setMaximum(4);
    gauge.setPosition(2);
    const QImage image = gauge.grab().toImage();
    const int row = 41 / 3;   // the highlight line of the shading
    const QColor filled = image.pixelColor(40, row);
    const QColor empty = image.pixelColor(280, row);
    EXPECT_GT(filled.lightness(), empty.lightness() + 8) << filled.name().toStdString() << " " << empty.name().toStdString();
    EXPECT_LT(empty.saturation(), 10);   // silver: a grey
    EXPECT_LT(image.pixelColor(160, 1).lightness(), image.pixelColor(160, row).lightness() - 60);   // black outline
    EXPECT_EQ(gauge.text(), QStringLiteral("50%"));
}

TEST(ImportWindow, GaugeOnADarkDesktopIsDarkWithItsTextReadableOverBothParts)
{
    const auto contrast = [](const QColor& a, const QColor& b) {
        const auto luminance = [](const QColor& c) {
            const auto channel = [](double v) { return v <= 0.03928 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4); };
            return 0.2126 * channel(c.redF()) + 0.7152 * channel(c.greenF()) + 0.0722 * channel(c.blueF());
        };
        const double x = luminance(a) + 0.05, y = luminance(b) + 0.05;
        return std::max(x, y) / std::min(x, y);
    };
    QPalette dark;
    dark.setColor(QPalette::Window, QColor(45, 45, 48));
    dark.setColor(QPalette::WindowText, QColor(220, 220, 220));
    const GaugeColours light = gaugeColours(QPalette(Qt::white));
    const GaugeColours shown = gaugeColours(dark);
    EXPECT_NE(shown.emptyLight, light.emptyLight);
    EXPECT_NE(shown.text, light.text);
    for (const QColor& surface : {shown.emptyEdge, shown.emptyLight, shown.emptyBottom, shown.filledEdge,
                                  shown.filledLight, shown.filledBottom, shown.filledFace})
        EXPECT_GE(contrast(shown.text, surface), 4.5) << surface.name().toStdString();

    // Painted so: a dark tube on the dark window.
    CylinderGauge gauge;
    gauge.setPalette(dark);
    gauge.resize(321, 41);
    gauge.setMaximum(4);
    gauge.setPosition(2);
    const QImage image = gauge.grab().toImage();
    EXPECT_LT(image.pixelColor(40, 41 / 3).lightness(), 128);
    EXPECT_LT(image.pixelColor(280, 41 / 3).lightness(), 128);
}

TEST(ImportWindow, LeaderboardButtonRunsTheJobModallyAndTheFullGaugeClosesTheWindow)
{
    Simulator sim({"--records-per-track", "3", "--latency-ms", "2"});
    Windows w(sim.base());
    w.openResult.setText("select * from TRACKLIST");
    w.openResult.open();
    w.workbench.recordsLabel->setText("Records: 90");
    w.workbench.sortLabel->setText("Sort: trackname ASC");
    w.workbench.recNoLabel->setText("RecNo: 1");

    bool checkedWhileRunning = false;
    whileShown(w.importWindow, w.controls.importLeaderboardsButton, [&] {
        if (!checkedWhileRunning && w.gauge()->position() >= 5) {
            checkedWhileRunning = true;
            EXPECT_TRUE(w.importWindow.isVisible());
            EXPECT_TRUE(w.importWindow.isModal());
            EXPECT_EQ(w.importWindow.windowTitle(), QStringLiteral("Race Data import progress - APEX"));
            EXPECT_FALSE(w.openResult.isOpen());
            EXPECT_EQ(w.workbench.recordsLabel->text(), QStringLiteral("Records: "));
            EXPECT_EQ(w.workbench.sortLabel->text(), QStringLiteral("Sort: default"));
            EXPECT_EQ(w.workbench.recNoLabel->text(), QStringLiteral("RecNo:"));
            EXPECT_EQ(w.gauge()->maximum(), 180);
            clickGauge(w.importWindow);   // not full yet: nothing happens
        }
        if (!w.finished())
            return false;
        EXPECT_TRUE(w.importWindow.isVisible());   // the job never closes the window itself
        EXPECT_EQ(w.gauge()->text(), QStringLiteral("Done"));
        clickGauge(w.importWindow);
        return true;
    });
    EXPECT_TRUE(checkedWhileRunning);
    EXPECT_FALSE(w.importWindow.isVisible());
    const QStringList log = w.log();
    ASSERT_EQ(log.size(), 4);
    EXPECT_EQ(log[0], QStringLiteral("MultiPlayer: 267 new record(s)."));
    EXPECT_EQ(log[1], QStringLiteral("SinglePlayer: 267 new record(s)."));
    EXPECT_EQ(w.db.count("RACR"), 534);
    EXPECT_FALSE(w.openResult.isOpen());
}

TEST(ImportWindow, CloseRequestStopsTheJobAfterTheCurrentTrackAndTheNextShowStartsAfresh)
{
    Simulator sim({"--records-per-track", "3", "--latency-ms", "15"});
    Windows w(sim.base());
    bool closed = false;
    whileShown(w.importWindow, w.controls.importLeaderboardsButton, [&] {
        if (w.gauge()->position() < 3)
            return false;
        w.importWindow.close();
        closed = true;
        EXPECT_EQ(w.importWindow.cancelFlag, -1);
        EXPECT_TRUE(w.importWindow.isVisible());   // until the job has returned
        return true;
    });
    ASSERT_TRUE(closed);
    EXPECT_FALSE(w.importWindow.isVisible());
    const int tracks = w.gauge()->position();
    EXPECT_GE(tracks, 3);
    EXPECT_LT(tracks, 90);
    // AGOSTINI AVENUE, then BAY BRIDGE with its repeated record, then three records a track.
    EXPECT_EQ(w.log(), (QStringList{QStringLiteral("Stopping\u2026"),
                                    QStringLiteral("MultiPlayer: %1 new record(s).").arg(3 * tracks)}));
    EXPECT_EQ(w.db.count("RACR"), 3 * tracks);

    // The next show resets flag, log and gauge; an empty driver list finishes at once.
    w.shell.drivers.clear();
    whileShown(w.importWindow, w.controls.importDriversButton, [&] {
        if (!w.finished())
            return false;
        EXPECT_EQ(w.importWindow.windowTitle(), QStringLiteral("Driver Data import progress - APEX"));
        EXPECT_EQ(w.importWindow.cancelFlag, 0);
        EXPECT_EQ(w.log().first(), QStringLiteral("0 new driver(s)."));
        EXPECT_EQ(w.gauge()->position(), 0);
        w.importWindow.close();   // after the job: the flag is set and the window goes at once
        EXPECT_EQ(w.importWindow.cancelFlag, -1);
        EXPECT_FALSE(w.importWindow.isVisible());
        return true;
    });
}

TEST(ImportWindow, AJobErrorReachesTheDefaultErrorDisplayAndTheWindowStaysOpen)
{
    Simulator sim({"--records-per-track", "3", "--fault", "leaderboards=missingattr"});
    FakeDialogs dialogs;
    Windows w(sim.base());
    bool reported = false;
    whileShown(w.importWindow, w.controls.importLeaderboardsButton, [&] {
        if (dialogs.messages.isEmpty())
            return false;
        reported = true;
        EXPECT_EQ(dialogs.messages[0].icon, Dialogs::Icon::Error);
        EXPECT_TRUE(dialogs.messages[0].text.contains("eventDuration")) << dialogs.messages[0].text.toStdString();
        // The message box was answered; the window waits with the log written so far.
        EXPECT_TRUE(w.importWindow.isVisible());
        EXPECT_FALSE(w.importWindow.jobRunning());
        EXPECT_EQ(w.log(), QStringList{QStringLiteral("MultiPlayer: 2 new record(s).")});
        EXPECT_EQ(w.gauge()->position(), 0);
        w.importWindow.close();
        return true;
    });
    EXPECT_TRUE(reported);
    EXPECT_FALSE(w.importWindow.isVisible());
}

TEST(ImportWindow, DriverButtonRunsTheDriverImportAndAFailedNameFillsTheGauge)
{
    Simulator sim;
    Windows w(sim.base());
    w.shell.shard = QStringLiteral("CHICANE");
    w.shell.drivers = QStringLiteral("nobody,kestrel,pilot000");
    whileShown(w.importWindow, w.controls.importDriversButton, [&] {
        if (!w.finished())
            return false;
        EXPECT_EQ(w.importWindow.windowTitle(), QStringLiteral("Driver Data import progress - CHICANE"));
        EXPECT_EQ(w.gauge()->text(), QStringLiteral("Done"));
        clickGauge(w.importWindow);   // attached when the failed name filled the gauge
        return true;
    });
    EXPECT_FALSE(w.importWindow.isVisible());
    const QStringList log = w.log();
    ASSERT_EQ(log.size(), 5);
    EXPECT_TRUE(log[0].startsWith("nobody: "));
    EXPECT_EQ(log[1], QStringLiteral("2 new driver(s)."));
    EXPECT_EQ(w.db.rows("select drivershard from DRIVERS"), (QList<QVariantList>{{"CHICANE"}, {"CHICANE"}}));
}

TEST(ImportWindow, MinimiseAndRestoreTakeTheMainWindowAlong)
{
    Windows w(QStringLiteral("http://127.0.0.1:9"));
    w.shell.drivers.clear();
    whileShown(w.importWindow, w.controls.importDriversButton, [&] {
        if (!w.finished())
            return false;
        w.importWindow.setWindowState(Qt::WindowMinimized);
        EXPECT_TRUE(w.mainWindow.windowState() & Qt::WindowMinimized);
        w.importWindow.setWindowState(Qt::WindowNoState);
        EXPECT_FALSE(w.mainWindow.windowState() & Qt::WindowMinimized);
        w.importWindow.close();
        return true;
    });
    EXPECT_FALSE(w.importWindow.isVisible());
}

TEST(ImportWindow, ImportTypeChoosesThePeriodKeysAndOverallAlwaysSendsZero)
{
    FakeService service([](const FakeService::Request&) { return leaderboardDocument({}); });
    Windows w(service.base());
    w.shell.shard.clear();
    QWidget& area = *w.controls.importLeaderboardsButton->parentWidget();
    named<QLineEdit>(area, "daysEdit")->setText("5");
    named<QLineEdit>(area, "weekEdit")->setText("17");
    auto* periodGroup = named<RadioGroup>(area, "periodGroup");
    const struct {
        int item;
        QString keys;
    } choices[] = {{0, "&lt=1&eid=299&rf=0&shard="}, {1, "&lt=2&eid=299&rf=5&shard="}, {2, "&lt=3&eid=299&rf=17&shard="}};
    for (const auto& choice : choices) {
        periodGroup->item(choice.item)->click();
        const qsizetype before = service.targets().size();
        whileShown(w.importWindow, w.controls.importLeaderboardsButton, [&] {
            if (!w.finished())
                return false;
            EXPECT_EQ(w.importWindow.windowTitle(), QStringLiteral("Race Data import progress - "));
            clickGauge(w.importWindow);
            return true;
        });
        const QStringList targets = service.targets().mid(before);
        ASSERT_EQ(targets.size(), 180);
        // Several requests are under way at once, so the first track's may not arrive first.
        EXPECT_TRUE(std::any_of(targets.begin(), targets.end(),
                                [&](const QString& target) { return target.endsWith(choice.keys); }))
            << targets[0].toStdString();
    }
}
