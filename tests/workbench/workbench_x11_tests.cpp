#include "workbenchform.h"

#include <QElapsedTimer>
#include <QProcess>
#include <gtest/gtest.h>

namespace {

const char* const countingForAMinute =
    "with recursive n(x) as (select 1 union all select x + 1 from n where x < 1000000000) select count(*) from n";

// Runs the statement while `action` (a shell line of xdotool) acts through the X server a second
// into it; returns how long the run took.
qint64 runWhile(WorkbenchForm& w, const QString& action)
{
    QProcess user;
    user.start(QStringLiteral("sh"), {QStringLiteral("-c"), QStringLiteral("sleep 1; ") + action});
    QElapsedTimer clock;
    clock.start();
    w.run(countingForAMinute);
    const qint64 took = clock.elapsed();
    user.waitForFinished();
    EXPECT_EQ(user.exitCode(), 0) << user.readAllStandardError().toStdString();
    return took;
}

} // namespace

// Escape typed or Stop clicked through the X server while the engine works on a statement: the
// window must take them then, not after the statement's end, and say that it stopped.
TEST(WorkbenchX11, EscapeOrAClickOnStopStopsAStatementStillWorkingOnItsFirstRow)
{
    WorkbenchForm w;
    const QPoint centre = w.form.mapToGlobal(w.form.rect().center());
    EXPECT_LT(runWhile(w, QStringLiteral("xdotool mousemove %1 %2 key Escape").arg(centre.x()).arg(centre.y())), 10'000);
    EXPECT_FALSE(w.openResult.isOpen());
    EXPECT_EQ(w.label("recordsLabel"), "Stopped");
    EXPECT_TRUE(w.dialogs.messages.isEmpty());

    const auto* stop = w.form.findChild<QWidget*>("stopButton");
    ASSERT_NE(stop, nullptr);
    const QPoint onStop = stop->mapToGlobal(stop->rect().center());
    EXPECT_LT(runWhile(w, QStringLiteral("xdotool mousemove %1 %2 click 1").arg(onStop.x()).arg(onStop.y())), 10'000);
    EXPECT_FALSE(w.openResult.isOpen());
    EXPECT_EQ(w.label("recordsLabel"), "Stopped");
    EXPECT_TRUE(w.dialogs.messages.isEmpty());

    w.run("select driver from RACR");
    EXPECT_EQ(w.label("recordsLabel"), "Records: 5");
}
