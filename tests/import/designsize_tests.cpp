// The import window at its design size against the table and picture in designsize/, taken from
// the window as it was when its log and gauge were placed by their own rectangles.

#include "support/designsize.h"

#include "import/importwindow.h"

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
    window.close();
}

} // namespace
