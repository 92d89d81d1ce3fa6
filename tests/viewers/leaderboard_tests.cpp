#include "support/fakeservice.h"
#include "support/findnamed.h"
#include "fakeshell.h"
#include "support/simulator.h"
#include "viewertesting.h"

#include "common/error.h"
#include "common/ui/radiogroup.h"
#include "viewers/ui/htmlview.h"
#include "viewers/leaderboardpage.h"
#include "viewers/pagetexts.h"
#include "viewers/ui/leaderboardwindow.h"
#include "webservice/xmldocument.h"

#include <QComboBox>
#include <QLineEdit>
#include <QAccessible>
#include <QTest>
#include <gtest/gtest.h>

namespace {

const std::string kLeaderboardsPath = "/StatsAPI/ws/game/racr/leaderboards";

// The window's controls, found by their names.
QComboBox* trackList(const LeaderboardWindow& form)
{
    return named<QComboBox>(form, "trackList");
}

HtmlView* shownPage(const LeaderboardWindow& form)
{
    return named<HtmlView>(form, "page");
}

// Picks a track with the keyboard, the way a user steps through the list.
void pickTrack(LeaderboardWindow& form, int index)
{
    trackList(form)->setCurrentIndex(index == 0 ? 1 : index - 1);
    QTest::keyClick(trackList(form), index == 0 ? Qt::Key_Up : Qt::Key_Down);
}

QString shownText(const LeaderboardWindow& form)
{
    return pageText(shownPage(form)->toHtml());
}

racr::LeaderboardRequest request(int track, int eventType, int periodType, const QString& periodValue,
                                 const QString& drivers = QStringLiteral("kestrel,pilot000"))
{
    const QString name = track == 1 ? QStringLiteral("BAY BRIDGE") : QStringLiteral("ANY");
    return racr::leaderboardRequest(QStringLiteral("http://svc"), drivers, QStringLiteral("APEX"),
                                    {track, name, eventType, periodType, periodValue});
}

QString page(const QByteArray& answer, const QString& track, const QString& mode, const QString& type)
{
    racr::XmlDocument document;
    document.load(answer);
    return racr::leaderboardPage(document, {{"name", track}, {"mode", mode}, {"type", type}});
}

} // namespace

TEST(CarriedTexts, StylesheetsAreKeptWholeOnOneLineOfAscii)
{
    for (const auto& [text, length] : {std::pair{racr::leaderboardStylesheetText(), 1000},
                                       std::pair{racr::eventsStylesheetText(), 1364}}) {
        EXPECT_EQ(text.size(), length);
        EXPECT_TRUE(text.startsWith("<?xml version=") && text.endsWith("</xsl:stylesheet>"));
        EXPECT_TRUE(text.contains("xmlns:xsl=\"http://www.w3.org/1999/XSL/Transform\""));
        for (const QChar c : text)
            ASSERT_TRUE(c.unicode() >= 0x20 && c.unicode() < 0x7f) << "not printable ASCII: " << int(c.unicode());
    }
    EXPECT_EQ(racr::errorPage(), "<html><body> Error parsing data! </body></html>");
}

TEST(LeaderboardRequest, KeysAndHeadingsFollowTheControls)
{
    struct Case {
        racr::LeaderboardRequest built;
        const char* urlEnd;
        const char* mode;
        const char* type;
    };
    const Case cases[] = {
        {request(1, 1, 1, "0"), "/StatsAPI/ws/game/racr/leaderboards?dn=kestrel%2Cpilot000&et=1&lt=1&eid=10&rf=0&shard=APEX",
         "MultiPlayer", "Overall"},
        {request(1, 2, 2, "3"), "&et=2&lt=2&eid=10&rf=3&shard=APEX", "SinglePlayer", "Daily -  today minus 3 day(s)"},
        {request(1, 2, 3, "17"), "&et=2&lt=3&eid=10&rf=17&shard=APEX", "SinglePlayer", "Weekly - week: 17"},
        {request(89, 1, 1, "0"), "&eid=501&rf=0&shard=APEX", "MultiPlayer", "Overall"},
        {request(0, 1, 1, "0"), "&eid=299&rf=0&shard=APEX", "MultiPlayer", "Overall"},
        // Typed text goes out as typed, every character but the unreserved ones percent-encoded.
        {request(1, 1, 2, "-9"), "&lt=2&eid=10&rf=-9&shard=APEX", "MultiPlayer", "Daily -  today minus -9 day(s)"},
        {request(1, 1, 3, "wk 5"), "&lt=3&eid=10&rf=wk%205&shard=APEX", "MultiPlayer", "Weekly - week: wk 5"},
        {request(1, 1, 1, "0", "Fast & Loose,#1 Racer"), "?dn=Fast%20%26%20Loose%2C%231%20Racer&et=1", "MultiPlayer", "Overall"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.urlEnd);
        EXPECT_TRUE(c.built.url.startsWith("http://svc/StatsAPI/ws/game/racr/leaderboards?dn=")) << qPrintable(c.built.url);
        EXPECT_TRUE(c.built.url.endsWith(c.urlEnd) || c.built.url.contains(c.urlEnd)) << qPrintable(c.built.url);
        const racr::ElementAttributes expected{{"mode", c.mode}, {"type", c.type}};
        EXPECT_EQ(c.built.track.mid(1), expected);
    }
    EXPECT_EQ(request(1, 1, 1, "0").track.first(), (QPair<QString, QString>("name", "BAY BRIDGE")));
}

TEST(LeaderboardPage, ShowsHeadingsAndRecordsOrderedByTimeAsText)
{
    const QString html = page(R"(<list>
        <worldLeaderboard personaName="Jürgen Größ" eventDuration="95.2" make="Aurelia" carName="Stradale"
                          createdDateStr="2011-06-01" createdDate="2011-06-01T12:34:56"/>
        <worldLeaderboard personaName="O'Malley" eventDuration="102.4" make="Brennan" carName="Devil's Run"
                          createdDateStr="01.06.2011" createdDate="2011-06-01T01:02:03.000"/></list>)",
                              "LION'S CHALLENGE", "MultiPlayer", "Overall");
    EXPECT_EQ(pageText(html), "LION'S CHALLENGE - MultiPlayer\nOverall\nrecords: 2\n"
                              "1. O'Malley\nBest Time: 102.4\nCar: Brennan Devil's Run\nDate: 01.06.2011  01:02:03\n\n"
                              "2. Jürgen Größ\nBest Time: 95.2\nCar: Aurelia Stradale\nDate: 2011-06-01  12:34:56\n");
    // The page is written in UTF-8 and says so; the text handed on is the decoded Unicode.
    EXPECT_TRUE(html.contains("charset=UTF-8"));
    EXPECT_FALSE(html.contains("UTF-16") || html.contains("ISO-8859"));
}

TEST(LeaderboardPage, EmptyOrForeignAnswersStillGiveTheHeadings)
{
    EXPECT_EQ(pageText(page("<list/>", "BEACON & STATION", "SinglePlayer", "Weekly - week: 17")),
              "BEACON & STATION - SinglePlayer\nWeekly - week: 17\nrecords: 0 ");
    // Another root: the track element is not where the page looks for it.
    EXPECT_EQ(pageText(page("<error><code>404</code></error>", "BAY BRIDGE", "MultiPlayer", "Overall")),
              "- \nrecords: 0 ");
    EXPECT_THROW(page("Service temporarily unavailable.", "BAY BRIDGE", "MultiPlayer", "Overall"),
                 racr::ServiceError);
}

TEST(LeaderboardWindow, APickSendsTheControlsAndShowsThePage)
{
    FakeService service({{kLeaderboardsPath,
                          {200, R"(<list><worldLeaderboard personaName="KESTREL" eventDuration="61.5" make="Falk"
                                     carName="Roadster S" createdDateStr="2011-06-30" createdDate="2011-06-30T08:09:10"/></list>)"}}});
    FakeShell shell;
    shell.base = service.base();
    LeaderboardWindow form(shell);
    EXPECT_EQ(trackList(form)->count(), 90);
    EXPECT_EQ(trackList(form)->currentIndex(), -1);

    // Changing the other controls asks nothing; the pick does.
    named<RadioGroup>(form, "periodGroup")->setItemIndex(0);
    named<RadioGroup>(form, "playerMode")->setItemIndex(0);
    EXPECT_TRUE(service.requests().isEmpty());
    pickTrack(form, 1);
    EXPECT_EQ(service.requests(),
              QStringList{"POST /StatsAPI/ws/game/racr/leaderboards?dn=kestrel%2Cpilot000&et=1&lt=1&eid=10&rf=0&shard=APEX"});
    EXPECT_TRUE(shownText(form).startsWith("BAY BRIDGE - MultiPlayer\nOverall\nrecords: 1\n1. KESTREL\n"))
        << qPrintable(shownText(form));

    // Typed edits go out as typed; the shard is read at the pick.
    named<RadioGroup>(form, "periodGroup")->setItemIndex(1);
    named<QLineEdit>(form, "daysEdit")->clear();
    QTest::keyClicks(named<QLineEdit>(form, "daysEdit"), "12");
    shell.shard.clear();
    pickTrack(form, 89);
    EXPECT_EQ(service.requests().last(),
              "POST /StatsAPI/ws/game/racr/leaderboards?dn=kestrel%2Cpilot000&et=1&lt=2&eid=501&rf=12&shard=");
    // The page lays the heading's two blanks out as one, as any browser does.
    EXPECT_TRUE(shownText(form).startsWith("SPEED FAIR - MultiPlayer\nDaily - today minus 12 day(s)\n"))
        << qPrintable(shownText(form));

    // What the main window does on a shard change.
    form.showShard("CHICANE");
    EXPECT_EQ(form.windowTitle(), "Leaderboard - CHICANE");
    EXPECT_TRUE(shownPage(form)->toPlainText().isEmpty());
}

TEST(LeaderboardWindow, FailuresShowTheErrorPageWithTheReasonAtHand)
{
    FakeService service({{kLeaderboardsPath, {200, "Service temporarily unavailable."}}});
    FakeShell shell;
    for (const QString& base : {service.base(), shell.base}) {
        shell.base = base;
        LeaderboardWindow form(shell);
        pickTrack(form, 0);
        EXPECT_EQ(shownText(form), "Error parsing data! ");
        EXPECT_TRUE(shownPage(form)->toolTip().contains("servicebase")) << qPrintable(shownPage(form)->toolTip());
    }
}

TEST(LeaderboardWindow, TakesNoSecondPickWhileWaiting)
{
    FakeService service({{kLeaderboardsPath, {200, "<list/>"}}}, 500);
    FakeShell shell;
    shell.base = service.base();
    LeaderboardWindow form(shell);
    form.show();
    bool triedAgain = false;
    whileAnswering(service, 1, [&] {
        QTest::keyClick(trackList(form), Qt::Key_Down);
        triedAgain = true;
    });
    pickTrack(form, 3);
    EXPECT_TRUE(triedAgain);
    EXPECT_EQ(service.requests().size(), 1);
    EXPECT_TRUE(trackList(form)->isEnabled());
    EXPECT_EQ(trackList(form)->currentText(), "BEACON & STATION");
    EXPECT_TRUE(shownText(form).startsWith("BEACON & STATION - SinglePlayer"));
}

TEST(LeaderboardWindow, ShowsTheSimulatorsRecordsWithNamesInAnyScript)
{
    Simulator sim({"--records-per-track", "6"});
    FakeShell shell;
    shell.base = sim.base();
    shell.drivers = QStringLiteral("Jürgen Größ,東京ドリフト,Fast & Loose");
    LeaderboardWindow form(shell);
    named<RadioGroup>(form, "periodGroup")->setItemIndex(0);
    pickTrack(form, 40);
    const QString text = shownText(form);
    EXPECT_TRUE(text.startsWith("LION'S CHALLENGE - SinglePlayer\nOverall\nrecords: 6\n")) << qPrintable(text);
    for (const char* name : {"Jürgen Größ", "東京ドリフト", "Fast & Loose"})
        EXPECT_TRUE(text.contains(QString::fromUtf8(name))) << name;

    // A screen reader finds a document: the headings, then a paragraph per record.
    QAccessibleInterface* page = QAccessible::queryAccessibleInterface(shownPage(form));
    ASSERT_NE(page, nullptr);
    EXPECT_EQ(page->role(), QAccessible::Document);
    ASSERT_EQ(page->childCount(), 3 + 6);
    EXPECT_EQ(page->child(0)->role(), QAccessible::Heading);
    EXPECT_EQ(page->child(0)->text(QAccessible::Name), "LION'S CHALLENGE - SinglePlayer");
    EXPECT_EQ(page->child(3)->role(), QAccessible::Paragraph);
    EXPECT_TRUE(page->child(3)->text(QAccessible::Name).startsWith("1. ")) << qPrintable(page->child(3)->text(QAccessible::Name));
    EXPECT_TRUE(page->child(3)->text(QAccessible::Name).contains("Best Time: "));
}
