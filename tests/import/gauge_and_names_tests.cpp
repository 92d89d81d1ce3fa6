#include "common/error.h"
#include "common/drivernames.h"
#include "import/gauge.h"
#include "import/jobsupport.h"

#include <gtest/gtest.h>

namespace {

struct PercentCase {
    int maximum;
    int position;
    int percent;
    const char* text;
};

} // namespace

TEST(ImportGauge, PercentageRoundsHalfToEvenAndShowsDoneAt100)
{
    const PercentCase cases[] = {
        {180, 0, 0, "0%"},     {180, 1, 1, "1%"},      {8, 1, 12, "12%"},     // 12.5 -> 12
        {8, 3, 38, "38%"},     {200, 1, 0, "0%"},      {200, 3, 2, "2%"},     // 37.5 -> 38, 0.5 -> 0, 1.5 -> 2
        {200, 199, 100, "Done"}, {1000, 994, 99, "99%"}, {1000, 995, 100, "Done"}, // 99.5 rounds to even 100
        {180, 180, 100, "Done"}, {3, 1, 33, "33%"},     {3, 2, 67, "67%"},
    };
    for (const PercentCase& c : cases) {
        GaugeModel gauge;
        gauge.setMaximum(c.maximum);
        gauge.setPosition(c.position);
        EXPECT_EQ(gauge.percent(), c.percent) << c.position << " of " << c.maximum;
        EXPECT_EQ(gauge.text(), QString::fromLatin1(c.text)) << c.position << " of " << c.maximum;
    }
}

TEST(ImportGauge, PositionIsClampedAndStepsStopAtTheMaximum)
{
    GaugeModel gauge;
    EXPECT_EQ(gauge.maximum(), 172);   // until a job sets its own
    gauge.setPosition(-5);
    EXPECT_EQ(gauge.position(), 0);
    gauge.setPosition(500);
    EXPECT_EQ(gauge.position(), 172);
    gauge.setMaximum(100);             // a maximum below the position pulls it down
    EXPECT_EQ(gauge.position(), 100);
    gauge.setMaximum(3);
    gauge.setPosition(1);
    gauge.stepIt();
    gauge.stepIt();
    gauge.stepIt();
    EXPECT_EQ(gauge.position(), 3);
    gauge.setMaximum(-4);              // never below the minimum
    EXPECT_EQ(gauge.maximum(), 0);
    EXPECT_EQ(gauge.text(), QStringLiteral("0%"));   // an empty range has nothing to show
}

TEST(ImportGauge, DoneIsRaisedOnceEachTimeThePositionArrivesAtTheMaximum)
{
    GaugeModel gauge;
    gauge.setMaximum(2);
    EXPECT_FALSE(gauge.stepIt());
    EXPECT_TRUE(gauge.stepIt());
    EXPECT_FALSE(gauge.stepIt());                    // already there: no second event
    EXPECT_FALSE(gauge.setPosition(gauge.maximum())); // a failed driver jumps there again
    EXPECT_FALSE(gauge.setPosition(0));
    EXPECT_TRUE(gauge.setPosition(99));               // clamped onto the maximum: a new arrival
    EXPECT_FALSE(gauge.setMaximum(1));                // moved down together: still at the maximum
    gauge.setPosition(0);
    EXPECT_FALSE(gauge.setMaximum(0));                // an empty range is never "done"
    EXPECT_FALSE(gauge.setMaximum(5));
}

TEST(ImportRunningTime, ShortestGeneralFormWithThe32BitWrap)
{
    const QLocale c(QLocale::C);
    EXPECT_EQ(importjob::runningTimeLine(1000, 84219, c), QStringLiteral("Running time: 83.219 sec."));
    EXPECT_EQ(importjob::runningTimeLine(0, 83000, c), QStringLiteral("Running time: 83 sec."));
    EXPECT_EQ(importjob::runningTimeLine(0, 250, c), QStringLiteral("Running time: 0.25 sec."));
    EXPECT_EQ(importjob::runningTimeLine(0, 12345, c), QStringLiteral("Running time: 12.345 sec."));
    EXPECT_EQ(importjob::runningTimeLine(7, 7, c), QStringLiteral("Running time: 0 sec."));
    // The counter wrapped between start and end: 0xFFFFFF00 to 0x100 is 512 ms.
    EXPECT_EQ(importjob::runningTimeLine(0xFFFFFF00u, 0x100u, c), QStringLiteral("Running time: 0.512 sec."));
    // The user's decimal separator, and no thousands separator in a long run.
    EXPECT_EQ(importjob::runningTimeLine(0, 83219, QLocale(QLocale::German)), QStringLiteral("Running time: 83,219 sec."));
    EXPECT_EQ(importjob::runningTimeLine(0, 1234500, QLocale(QLocale::English, QLocale::UnitedStates)),
              QStringLiteral("Running time: 1234.5 sec."));
}

TEST(ImportNumbers, DecimalNumbersBecomeValuesAndAnythingElseFailsWithTheText)
{
    EXPECT_EQ(importjob::serviceNumber("12", "level"), QVariant(qlonglong(12)));
    EXPECT_EQ(importjob::serviceNumber("007", "level"), QVariant(qlonglong(7)));
    EXPECT_EQ(importjob::serviceNumber(" -3 ", "level"), QVariant(qlonglong(-3)));
    EXPECT_EQ(importjob::serviceNumber("2.35", "average"), QVariant(2.35));
    EXPECT_EQ(importjob::serviceNumber(".5", "average"), QVariant(0.5));
    EXPECT_EQ(importjob::serviceNumber("5.", "average"), QVariant(5.0));
    for (const char* bad : {"", " ", "abc", "12a", "1e3", "1,5", "2.3.4", "0x10", "1; DROP TABLE RACR", "+"}) {
        try {
            importjob::serviceNumber(QString::fromLatin1(bad), QStringLiteral("eventId"));
            ADD_FAILURE() << "accepted \"" << bad << '"';
        } catch (const racr::ServiceError& error) {
            EXPECT_EQ(error.message(), QStringLiteral("The statistics service sent \"%1\" as eventId, which is not a number.")
                                           .arg(QString::fromLatin1(bad)));
        }
    }
}

TEST(ImportDriverNames, SplittingRule)
{
    const struct {
        QString list;
        QStringList names;
    } cases[] = {
        {"kestrel,pilot000", {"kestrel", "pilot000"}},
        {"kestrel pilot000", {"kestrel", "pilot000"}},
        {"kestrel,,pilot000", {"kestrel", "", "pilot000"}},
        {"", {}},
        {"   ", {}},
        {"kestrel", {"kestrel"}},
        {"  kestrel  ,  pilot000  ", {"kestrel", "pilot000"}},
        {"kestrel,", {"kestrel", ""}},              // a comma as the very last character
        {"kestrel, ", {"kestrel"}},                 // a comma followed only by blanks
        {",kestrel", {"", "kestrel"}},
        {"a, ,b", {"a", "", "b"}},
        {",", {"", ""}},
        {"\"Night: Rider\",kestrel", {"Night: Rider", "kestrel"}},
        {"\"The \"\"Ghost\"\"\"", {"The \"Ghost\""}},
        {"\"\",a", {"", "a"}},
        {"\"a\"b,c", {"a", "b", "c"}},               // right after a closing quote begins a name
        {"\"a\" ,b", {"a", "b"}},
        {"ab\"c d\"", {"ab\"c", "d\""}},             // a quote inside a bare name is plain text
        {"\"open to the end", {"open to the end"}},  // no closing quote
        {"\"open \"\" to the end", {"open \" to the end"}},
        {"\tkestrel\r\npilot000\x01", {"kestrel", "pilot000"}},
        {"O'Malley,Jürgen", {"O'Malley", "Jürgen"}},
        {"\"東京ドリフト\" Zoë", {"東京ドリフト", "Zoë"}},
        {QStringLiteral("kestrel") + QChar(0) + QStringLiteral(",pilot000"), {"kestrel"}},   // NUL ends the text
    };
    for (const auto& c : cases)
        EXPECT_EQ(splitDriverNames(c.list), c.names) << c.list.toStdString();
}
