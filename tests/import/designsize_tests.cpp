// The import window at its design size against the table and picture in designsize/, taken from
// the window as it was when its log and gauge were placed by their own rectangles, and grown.

#include "support/designsize.h"

#include "import/ui/importwindow.h"

#include <QWidget>
#include <gtest/gtest.h>

namespace {

TEST(ImportDesignSize, ImportWindow)
{
    useDesignSizeLook();
    QWidget mainWindow;
    ImportWindow window(&mainWindow);
    window.show();   // drawn before the job's timer fires; closed, the job never starts
    expectAsDesigned(window, QStringLiteral(RACR_DESIGNSIZE_DIR), QStringLiteral("importwindow"));

    // A larger window gives the room to the log; the gauge stays under it, as wide as it.
    const QMap<QString, QRect> before = controlPlaces(window);
    resizeShown(window, window.size() + QSize(120, 80));
    const QMap<QString, QRect> after = controlPlaces(window);
    EXPECT_EQ(after["importLog"], before["importLog"].adjusted(0, 0, 120, 80));
    EXPECT_EQ(after["gauge"], before["gauge"].adjusted(0, 80, 120, 80));
    window.close();
}

} // namespace
