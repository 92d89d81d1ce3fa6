// The chart window at its design size against the table and picture in designsize/, taken from
// the window as it was before its controls became its own: with no result open, as it first
// opens beside an empty grid.

#include "charts/chartwindow.h"
#include "db/queryobject.h"
#include "db/sampledb.h"
#include "support/designsize.h"
#include "viewers/fakeshell.h"

#include <gtest/gtest.h>

namespace {

TEST(ChartDesignSize, ChartWindow)
{
    useDesignSizeLook();
    SampleDatabase db(Engine::Sqlite);
    QueryObject dataSet(db.connection(), kResultsMessageName);
    FakeShell shell;
    ChartWindow window(dataSet, shell);
    window.show();
    expectAsDesigned(window, QStringLiteral(RACR_DESIGNSIZE_DIR), QStringLiteral("chartwindow"));
}

} // namespace
