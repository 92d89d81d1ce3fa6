#include "common/error.h"
#include "webservice/readers.h"
#include "webservice/xmldocument.h"
#include "webservice/xslstylesheet.h"

#include <gtest/gtest.h>

using namespace racr;

namespace {

XmlDocument documentOf(const char* xml)
{
    XmlDocument doc;
    doc.load(QByteArray(xml));
    return doc;
}

// The message of the ServiceError that `read` throws, or "" when it throws none.
template <typename Read>
QString failureOf(Read read)
{
    try {
        read();
    } catch (const ServiceError& error) {
        return error.message();
    }
    return QString();
}

const char* const kLeaderboard =
    R"x(<?xml version="1.0"?><list>)x"
    R"x(<worldLeaderboard personaName=" O'Malley " eventId="010" make="Dorado" carName="O'Hara Special" )x"
    R"x(createdDateStr="2011-06-01" createdDate="2011-06-01T12:34:56" eventDuration="095.230" eventType="1"/>)x"
    R"x(<worldLeaderboard personaName="" eventId="10" make="Falk" carName="Roadster S" createdDateStr="2011-06-02" )x"
    R"x(createdDate="2011" eventDuration="96.000" eventType="2" extra="ignored"/>)x"
    R"x(<worldLeaderboard personaName="KESTREL" eventId="10" make="Falk" carName="Roadster S" createdDateStr="x" )x"
    R"x(createdDate="x" eventType="2"/>)x"
    R"x(</list>)x";

} // namespace

TEST(Readers, LeaderboardValuesAsDelivered)
{
    const XmlDocument doc = documentOf(kLeaderboard);
    ASSERT_EQ(leaderboardRecordCount(doc), 3);
    const LeaderboardRecord first = readLeaderboardRecord(doc, 0);
    EXPECT_EQ(first.personaName, QStringLiteral(" O'Malley "));
    EXPECT_EQ(first.eventId, QStringLiteral("010"));
    EXPECT_EQ(first.carName, QStringLiteral("O'Hara Special"));
    EXPECT_EQ(first.createdDate, QStringLiteral("2011-06-01T12:34:56"));
    EXPECT_EQ(first.eventDuration, QStringLiteral("095.230"));
    EXPECT_EQ(first.eventType, QStringLiteral("1"));
    // An empty attribute is a value, not a missing one.
    const LeaderboardRecord second = readLeaderboardRecord(doc, 1);
    EXPECT_TRUE(second.personaName.isEmpty());
    EXPECT_FALSE(second.personaName.isNull());
    EXPECT_EQ(second.createdDate, QStringLiteral("2011"));
}

TEST(Readers, FailuresNameWhatIsMissing)
{
    const XmlDocument doc = documentOf(kLeaderboard);
    const QString attribute = failureOf([&] { readLeaderboardRecord(doc, 2); });
    EXPECT_TRUE(attribute.contains(QStringLiteral("\"eventDuration\""))) << attribute.toStdString();
    EXPECT_TRUE(attribute.contains(QStringLiteral("\"worldLeaderboard\""))) << attribute.toStdString();
    EXPECT_TRUE(attribute.contains(QStringLiteral("3"))) << attribute.toStdString();

    const QString pastEnd = failureOf([&] { readLeaderboardRecord(doc, 3); });
    EXPECT_TRUE(pastEnd.contains(QStringLiteral("3 \"worldLeaderboard\""))) << pastEnd.toStdString();
    EXPECT_TRUE(pastEnd.contains(QStringLiteral("number 4"))) << pastEnd.toStdString();

    const QString element = failureOf([&] { readProfile(doc); });
    EXPECT_TRUE(element.contains(QStringLiteral("no \"worldDriverProfile\" element"))) << element.toStdString();
    EXPECT_THROW(doc.text(QStringLiteral("lastLogin"), 0), ServiceError);
}

TEST(Readers, ABodyThatIsNotXmlHasNoElements)
{
    XmlDocument doc = documentOf(kLeaderboard);
    doc.load(QByteArray("<!DOCTYPE HTML PUBLIC \"-//W3C//DTD HTML 4.01//EN\">\n<html><body><h1>Error</h1><hr></body></html>"));
    EXPECT_FALSE(doc.hasRoot());
    EXPECT_EQ(leaderboardRecordCount(doc), 0); // the earlier answer is gone
    EXPECT_TRUE(doc.rootXml().isEmpty());
    const QString message = failureOf([&] { readProfile(doc); });
    EXPECT_TRUE(message.contains(QStringLiteral("servicebase"))) << message.toStdString();

    doc.load(QByteArray());
    EXPECT_FALSE(doc.hasRoot());
    EXPECT_THROW(doc.appendToRoot(QStringLiteral("track"), {}), ServiceError);
}

TEST(Readers, DriverDocumentsFoundAnywhereInTheTree)
{
    const XmlDocument profile = documentOf(
        R"x(<a><b><worldDriverProfile name="PILOT000" level="07" statusMessage="Don't &amp; &quot;go&quot;: #1" image="12"/></b>)x"
        R"x(<worldDriverProfile name="second" level="1" statusMessage="" image="1"/></a>)x");
    const DriverProfile read = readProfile(profile);
    EXPECT_EQ(read.name, QStringLiteral("PILOT000"));
    EXPECT_EQ(read.level, QStringLiteral("07"));
    EXPECT_EQ(read.statusMessage, QStringLiteral("Don't & \"go\": #1"));
    EXPECT_EQ(read.image, QStringLiteral("12"));

    const XmlDocument personas = documentOf(
        R"x(<list><worldPersona personaName="A" level="3" defaultPersona="true" image="4" statusMessage="s"/>)x"
        R"x(<worldPersona personaName="B" level="5" defaultPersona="false" image="6" statusMessage=""/></list>)x");
    ASSERT_EQ(personaCount(personas), 2);
    EXPECT_EQ(readPersona(personas, 1).defaultPersona, QStringLiteral("false"));
    EXPECT_EQ(readPersona(personas, 1).image, QStringLiteral("6"));

    const XmlDocument login = documentOf("<x><lastLogin>2011-06-01T12:34:56Z</lastLogin></x>");
    EXPECT_EQ(readLastLogin(login), QStringLiteral("2011-06-01T12:34:56Z"));

    const XmlDocument stats = documentOf(
        R"x(<s><worldStreaksStats bestSinglePlayerWinStreak="1" currentSinglePlayerWinStreak="2" )x"
        R"x(bestMultiPlayerWinStreak="3" currentMultiPlayerWinStreak="4"/><e><worldEventStats totalRacesWon="10" )x"
        R"x(totalRacesLost="11" averageFinishingPlace=" 2.35" singlePlayerRacesWon="12" singlePlayerRacesLost="13" )x"
        R"x(singlePlayerAverageFinishingPlace="3.5" singlePlayerDnfCount="14" singlePlayerTotalPlacing="15" )x"
        R"x(multiPlayerRacesWon="16" multiPlayerRacesLost="17" multiPlayerAverageFinishingPlace="4.25" )x"
        R"x(multiPlayerDnfCount="18" multiPlayerTotalPlacing="19"/></e></s>)x");
    const EventStats events = readEventStats(stats);
    EXPECT_EQ(events.averageFinishingPlace, QStringLiteral(" 2.35"));
    EXPECT_EQ(events.singlePlayerTotalPlacing, QStringLiteral("15"));
    EXPECT_EQ(events.multiPlayerTotalPlacing, QStringLiteral("19"));
    const StreakStats streaks = readStreakStats(stats);
    EXPECT_EQ(streaks.bestSinglePlayerWinStreak, QStringLiteral("1"));
    EXPECT_EQ(streaks.currentMultiPlayerWinStreak, QStringLiteral("4"));
}

TEST(Readers, CarsPairWithPhysicsProfilesByPosition)
{
    const XmlDocument none = documentOf("<list/>");
    EXPECT_EQ(carCount(none), 0);

    // Profiles are paired by document order even when not nested in their car; one is missing.
    const XmlDocument cars = documentOf(
        R"x(<list><worldCar make="Brennan" carName="Devil's Run"/><worldCar make="Ivory" carName="Coupé"/>)x"
        R"x(<perf><physicsProfile topSpeed="5.1" acceleration="6.2" handling="7.3" rating="0580" carClass="carclass_b"/></perf></list>)x");
    ASSERT_EQ(carCount(cars), 2);
    EXPECT_EQ(readCar(cars, 0).carName, QStringLiteral("Devil's Run"));
    EXPECT_EQ(readCar(cars, 1).carName, QString::fromUtf8("Coupé"));
    const PhysicsProfile first = readPhysicsProfile(cars, 0);
    EXPECT_EQ(first.rating, QStringLiteral("0580"));
    EXPECT_EQ(first.carClass, QStringLiteral("carclass_b"));
    EXPECT_THROW(readPhysicsProfile(cars, 1), ServiceError);
}

TEST(Readers, DailyEvents)
{
    const XmlDocument doc = documentOf(
        R"x(<list><worldLeaderboardEvent eventName="BEACON &amp; STATION" eventModeName="Sprint" minTier="0" maxTier="999"/></list>)x");
    ASSERT_EQ(dailyEventCount(doc), 1);
    const DailyEvent event = readDailyEvent(doc, 0);
    EXPECT_EQ(event.eventName, QStringLiteral("BEACON & STATION"));
    EXPECT_EQ(event.minTier, QStringLiteral("0"));
    EXPECT_EQ(event.maxTier, QStringLiteral("999"));
}

TEST(XmlDocument, TextIsUnicodeWhateverTheAnswersEncoding)
{
    // An answer in ISO-8859-1, declared so, reads as the same letters as one in UTF-8.
    XmlDocument doc;
    doc.load(QByteArray("<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?><p name=\"J\xfcrgen\"/>"));
    EXPECT_EQ(doc.attribute(QStringLiteral("p"), 0, QStringLiteral("name")), QString::fromUtf8("Jürgen"));
    // Text the program holds is Unicode already, whatever its declaration claims.
    doc.loadXml(QString::fromUtf8("<?xml version=\"1.0\" encoding=\"ISO-8859-2\"?><p name=\"Łukasz 東京\"/>"));
    EXPECT_EQ(doc.attribute(QStringLiteral("p"), 0, QStringLiteral("name")), QString::fromUtf8("Łukasz 東京"));
    EXPECT_EQ(doc.rootXml(), QString::fromUtf8("<p name=\"Łukasz 東京\"/>"));

    const QString message = failureOf([&] { doc.loadXml(QStringLiteral("<a>\n<b></a>")); });
    EXPECT_TRUE(message.contains(QStringLiteral("line 2"))) << message.toStdString();
}

TEST(XmlDocument, AppendedElementCarriesItsAttributesAsText)
{
    XmlDocument doc = documentOf("<list><worldLeaderboard personaName=\"A\"/></list>");
    ASSERT_EQ(doc.count(QStringLiteral("track")), 0); // looked up before the append: must not go stale
    doc.appendToRoot(QStringLiteral("track"), {{QStringLiteral("name"), QStringLiteral("BEACON & STATION")},
                                               {QStringLiteral("mode"), QStringLiteral("<b>\"Multi\"</b>")},
                                               {QStringLiteral("type"), QStringLiteral("Daily -  today minus 3 day(s)")}});
    ASSERT_EQ(doc.count(QStringLiteral("track")), 1);
    EXPECT_EQ(doc.attribute(QStringLiteral("track"), 0, QStringLiteral("mode")), QStringLiteral("<b>\"Multi\"</b>"));
    EXPECT_EQ(doc.rootXml(),
              QStringLiteral("<list><worldLeaderboard personaName=\"A\"/><track name=\"BEACON &amp; STATION\" "
                             "mode=\"&lt;b&gt;&quot;Multi&quot;&lt;/b&gt;\" type=\"Daily -  today minus 3 day(s)\"/></list>"));
}

namespace {

const char* const kBoardStylesheet =
    R"x(<?xml version="1.0" encoding="ISO-8859-2"?>)x"
    R"x(<xsl:stylesheet version="1.0" xmlns:xsl="http://www.w3.org/1999/XSL/Transform"><xsl:template match="/">)x"
    R"x(<html><head><title>Board</title></head><body><h2><xsl:value-of select="list/track/@name"/></h2>)x"
    R"x(<xsl:for-each select="list/worldLeaderboard"><xsl:sort select="@eventDuration" order="ascending"/>)x"
    R"x(<b><xsl:value-of select="position()"/>. <xsl:value-of select="@personaName"/></b>&#160;)x"
    R"x(<xsl:text disable-output-escaping="yes">&amp;nbsp;</xsl:text><br /></xsl:for-each></body></html>)x"
    R"x(</xsl:template></xsl:stylesheet>)x";

} // namespace

TEST(XslStylesheet, TransformsToHtmlInUtf8)
{
    const XslStylesheet style(QString::fromLatin1(kBoardStylesheet));
    XmlDocument doc = documentOf(
        R"x(<list><worldLeaderboard personaName="Zoë &amp; Co" eventDuration="99.100"/>)x"
        R"x(<worldLeaderboard personaName="東京" eventDuration="98.500"/></list>)x");
    doc.appendToRoot(QStringLiteral("track"), {{QStringLiteral("name"), QStringLiteral("BEACON & STATION")}});
    const QString page = style.transform(doc);
    EXPECT_TRUE(page.contains(QStringLiteral("<h2>BEACON &amp; STATION</h2>"))) << page.toStdString();
    EXPECT_LT(page.indexOf(QString::fromUtf8("1. 東京")), page.indexOf(QString::fromUtf8("2. Zoë &amp; Co")))
        << page.toStdString();
    EXPECT_TRUE(page.contains(QStringLiteral("&nbsp;"))) << page.toStdString();
    EXPECT_TRUE(page.contains(QStringLiteral("<br>"))) << "serialised as HTML: " << page.toStdString();
    // The page names the character set it is written in, whatever the stylesheet declared.
    EXPECT_TRUE(page.contains(QStringLiteral("charset=UTF-8"))) << page.toStdString();
    EXPECT_FALSE(page.contains(QStringLiteral("8859"))) << page.toStdString();
}

TEST(XslStylesheet, FailuresAreErrors)
{
    EXPECT_THROW(XslStylesheet(QStringLiteral("<xsl:stylesheet")), ServiceError);
    const QString notXslt = failureOf([] {
        XslStylesheet(QStringLiteral("<xsl:stylesheet version=\"1.0\" xmlns:xsl=\"http://www.w3.org/1999/XSL/Transform\">"
                                     "<xsl:template match=\"/\"><xsl:value-of select=\"((\"/></xsl:template></xsl:stylesheet>"));
    });
    EXPECT_FALSE(notXslt.isEmpty());
    const XslStylesheet style(QString::fromLatin1(kBoardStylesheet));
    const XmlDocument notXml = documentOf("Service temporarily unavailable.");
    EXPECT_THROW(style.transform(notXml), ServiceError);
}
