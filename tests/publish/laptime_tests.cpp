// Lap times on the club pages: minutes from one minute on, rounded once to the millisecond.
#include "publish/laptime.h"

#include <gtest/gtest.h>

using publish::lapTime;
using publish::lapTimeText;

TEST(LapTime, MinutesFromOneMinuteOnAndARoundingThatCarriesIntoTheMinute)
{
    EXPECT_EQ(lapTime(95.1), "1:35.100");
    EXPECT_EQ(lapTime(60), "1:00.000");
    EXPECT_EQ(lapTime(59.999), "59.999");
    EXPECT_EQ(lapTime(59.9996), "1:00.000");
    EXPECT_EQ(lapTime(61.0049), "1:01.005");
    EXPECT_EQ(lapTime(7.25), "7.250");
    EXPECT_EQ(lapTime(0), "0.000");
    EXPECT_EQ(lapTime(725.5), "12:05.500");
}

TEST(LapTime, StoredTextsThatHoldNoTimeShowAsStored)
{
    EXPECT_EQ(lapTimeText(QStringLiteral("95.100")), "1:35.100");
    EXPECT_EQ(lapTimeText(QStringLiteral(" 86.372")), "1:26.372");
    for (const char* stored : {"DNF", "", "0", "-3.5", "nan", "inf", "1:35.100"})
        EXPECT_EQ(lapTimeText(QString::fromLatin1(stored)), QString::fromLatin1(stored)) << stored;
}
