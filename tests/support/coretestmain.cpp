#include <QGuiApplication>
#include <gtest/gtest.h>

#include "testwatchdog.h"

// One application object for every test of an executable of core code. The core draws avatars
// and measures chart labels, which need Qt's GUI types but no widget.
int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    installTestWatchdog();
    return RUN_ALL_TESTS();
}
