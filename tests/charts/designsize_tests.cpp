// The chart window at its design size against the table and picture in designsize/, taken from
// the window as it was before its controls became its own: with no result open, as it first
// opens beside an empty grid.

#include "charts/ui/chartwindow.h"
#include "db/openresult.h"
#include "db/sampledb.h"
#include "support/designsize.h"
#include "viewers/fakeshell.h"

#include <gtest/gtest.h>

namespace {

TEST(ChartDesignSize, ChartWindow)
{
    useDesignSizeLook();
    SampleDatabase db(Engine::Sqlite);
    OpenResult openResult(db.connection(), kResultsMessageName);
    FakeShell shell;
    ChartWindow window(openResult, shell);
    window.show();
    expectAsDesigned(window, QStringLiteral(RACR_DESIGNSIZE_DIR), QStringLiteral("chartwindow"));

    // A larger window gives all the height it gains to the chart; the controls above stay.
    const QMap<QString, QRect> before = controlPlaces(window);
    resizeShown(window, window.size() + QSize(120, 80));
    const QMap<QString, QRect> after = controlPlaces(window);
    EXPECT_EQ(after["view"].height(), before["view"].height() + 80);
    EXPECT_GT(after["view"].width(), before["view"].width());
    for (const char* name : {"xBox", "yList", "trackBox", "note", "saveButton"})
        EXPECT_EQ(after[name].top(), before[name].top()) << name;
}

} // namespace
