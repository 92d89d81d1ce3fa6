#include "testwatchdog.h"
#include "xserver.h"

#include <QApplication>
#include <gtest/gtest.h>

// Tests of what only a real window system shows: one private X server, then the QApplication on it.
int main(int argc, char** argv)
{
    XServer server;
    qputenv("QT_QPA_PLATFORM", "xcb");
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    installTestWatchdog();
    return RUN_ALL_TESTS();
}
