#include <QApplication>
#include <gtest/gtest.h>

#include "testwatchdog.h"

// One QApplication for every test of an executable; widget tests run on the offscreen platform.
int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    installTestWatchdog();
    return RUN_ALL_TESTS();
}
