#include "workbenchform.h"

#include <QElapsedTimer>
#include <QProcess>
#include <gtest/gtest.h>

// Escape typed through the X server while the engine works on a statement: the window must take
// it then, not after the statement's end.
TEST(WorkbenchX11, EscapeStopsAStatementThatIsStillWorkingOnItsFirstRow)
{
    WorkbenchForm w;
    const QPoint centre = w.form.mapToGlobal(w.form.rect().center());
    // Counting this many rows takes the engine a minute; the key comes a second into it.
    QProcess typist;
    typist.start(QStringLiteral("sh"), {QStringLiteral("-c"),
                                        QStringLiteral("sleep 1; xdotool mousemove %1 %2 key Escape")
                                            .arg(centre.x())
                                            .arg(centre.y())});
    QElapsedTimer clock;
    clock.start();
    w.run("with recursive n(x) as (select 1 union all select x + 1 from n where x < 1000000000) select count(*) from n");
    const qint64 took = clock.elapsed();
    typist.waitForFinished();
    EXPECT_EQ(typist.exitCode(), 0) << typist.readAllStandardError().toStdString();
    EXPECT_LT(took, 10'000);
    EXPECT_FALSE(w.dataSet.isOpen());
    EXPECT_EQ(w.label("recordsLabel"), "Records: ");
    EXPECT_TRUE(w.dialogs.messages.isEmpty());

    w.run("select driver from RACR");
    EXPECT_EQ(w.label("recordsLabel"), "Records: 5");
}
