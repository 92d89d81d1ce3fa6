#include "webservice/endpoints.h"
#include "common/tracktable.h"

#include <QSet>
#include <gtest/gtest.h>

using namespace racr;

namespace {

const QString kBase = QStringLiteral("http://127.0.0.1:8680");
const QString kRoot = kBase + QStringLiteral("/StatsAPI/ws/game/racr/");

} // namespace

TEST(LeaderboardAddress, KeysInOrderWithTheDefaultList)
{
    const LeaderboardQuery overall{QStringLiteral("kestrel,pilot000"), 1, 1, 10, QStringLiteral("0"), QStringLiteral("APEX")};
    EXPECT_EQ(leaderboardsUrl(kBase, overall),
              kRoot + QStringLiteral("leaderboards?dn=kestrel%2Cpilot000&et=1&lt=1&eid=10&rf=0&shard=APEX"));
    const LeaderboardQuery weekly{QStringLiteral("kestrel"), 2, 3, 501, QStringLiteral("17"), QStringLiteral("CHICANE")};
    EXPECT_EQ(leaderboardsUrl(kBase, weekly),
              kRoot + QStringLiteral("leaderboards?dn=kestrel&et=2&lt=3&eid=501&rf=17&shard=CHICANE"));
}

TEST(LeaderboardAddress, EmptyListAndShardAreStillSent)
{
    const LeaderboardQuery query{QString(), 2, 2, 509, QStringLiteral("3"), QString()};
    EXPECT_EQ(leaderboardsUrl(kBase, query), kRoot + QStringLiteral("leaderboards?dn=&et=2&lt=2&eid=509&rf=3&shard="));
}

TEST(LeaderboardAddress, TypedValuesKeepTheirMeaning)
{
    // Every character a strict server refuses raw, or that would end or split a value, is encoded,
    // the commas between the names too (the server decodes them back).
    const LeaderboardQuery query{QStringLiteral("Fast & Loose,#1 Racer,Jürgen,O'Malley,The \"Ghost\""), 1, 2, 10,
                                 QStringLiteral("x?<>"), QStringLiteral("A+B/C\\")};
    EXPECT_EQ(leaderboardsUrl(kBase, query),
              kRoot + QStringLiteral("leaderboards?dn=Fast%20%26%20Loose%2C%231%20Racer%2CJ%C3%BCrgen%2CO%27Malley%2CThe%20%22Ghost%22"
                                     "&et=1&lt=2&eid=10&rf=x%3F%3C%3E&shard=A%2BB%2FC%5C"));
}

TEST(ValueEncoding, EverythingButTheUnreservedCharactersIsEncoded)
{
    EXPECT_EQ(encodeUrlValue(QStringLiteral(" #&?%+/")), QStringLiteral("%20%23%26%3F%25%2B%2F"));
    EXPECT_EQ(encodeUrlValue(QStringLiteral("a\tb\nc") + QChar(0x7f)), QStringLiteral("a%09b%0Ac%7F"));
    EXPECT_EQ(encodeUrlValue(QStringLiteral("Größ 東")), QStringLiteral("Gr%C3%B6%C3%9F%20%E6%9D%B1"));
    EXPECT_EQ(encodeUrlValue(QStringLiteral(",:'\"()*;=@!$[]{}|\\^`<>")),
              QStringLiteral("%2C%3A%27%22%28%29%2A%3B%3D%40%21%24%5B%5D%7B%7D%7C%5C%5E%60%3C%3E"));
    const QString kept = QStringLiteral("ABCXYZabcxyz0189-._~");
    EXPECT_EQ(encodeUrlValue(kept), kept);
}

TEST(OtherAddresses, EventsAndServersStatus)
{
    EXPECT_EQ(eventsUrl(kBase, QStringLiteral("CHICANE")), kRoot + QStringLiteral("leaderboards/events?shard=CHICANE"));
    EXPECT_EQ(eventsUrl(kBase, QString()), kRoot + QStringLiteral("leaderboards/events?shard="));
    EXPECT_EQ(serversStatusUrl(kBase), kRoot + QStringLiteral("servers/status"));
    // A base written with a trailing slash in the settings gives the same addresses.
    EXPECT_EQ(serversStatusUrl(kBase + QStringLiteral("/")), kRoot + QStringLiteral("servers/status"));
}

TEST(DriverAddresses, EachResource)
{
    const QString name = QStringLiteral("PILOT000"), shard = QStringLiteral("APEX");
    const QString driver = kRoot + QStringLiteral("driver/PILOT000/");
    EXPECT_EQ(driverUrl(kBase, DriverResource::Stats, name, shard), driver + QStringLiteral("stats?shard=APEX"));
    EXPECT_EQ(driverUrl(kBase, DriverResource::Profile, name, shard), driver + QStringLiteral("profile?shard=APEX"));
    EXPECT_EQ(driverUrl(kBase, DriverResource::Profiles, name, shard), driver + QStringLiteral("profiles?shard=APEX"));
    EXPECT_EQ(driverUrl(kBase, DriverResource::Cars, name, shard), driver + QStringLiteral("cars?shard=APEX"));
    // The last login carries no query at all, whatever the shard.
    EXPECT_EQ(driverUrl(kBase, DriverResource::LastLogin, name, shard), driver + QStringLiteral("lastLogin"));
    EXPECT_EQ(driverUrl(kBase, DriverResource::LastLogin, name, QString()), driver + QStringLiteral("lastLogin"));
}

TEST(DriverAddresses, EmptyNameAndShard)
{
    EXPECT_EQ(driverUrl(kBase, DriverResource::Profile, QString(), QStringLiteral("APEX")),
              kRoot + QStringLiteral("driver//profile?shard=APEX"));
    EXPECT_EQ(driverUrl(kBase, DriverResource::Cars, QStringLiteral("kestrel"), QString()),
              kRoot + QStringLiteral("driver/kestrel/cars?shard="));
}

TEST(DriverAddresses, NameIsEncodedAsOnePathSegment)
{
    EXPECT_EQ(driverUrl(kBase, DriverResource::Stats, QStringLiteral("A/B ?#&Ö"), QStringLiteral("APEX")),
              kRoot + QStringLiteral("driver/A%2FB%20%3F%23%26%C3%96/stats?shard=APEX"));
    // A name of dots alone is no dot segment that would lead out of driver/<name>/.
    EXPECT_EQ(driverUrl(kBase, DriverResource::LastLogin, QStringLiteral(".."), QString()),
              kRoot + QStringLiteral("driver/%2E%2E/lastLogin"));
    EXPECT_EQ(driverUrl(kBase, DriverResource::Cars, QStringLiteral("."), QStringLiteral("APEX")),
              kRoot + QStringLiteral("driver/%2E/cars?shard=APEX"));
    EXPECT_EQ(driverUrl(kBase, DriverResource::Cars, QStringLiteral("J.R."), QStringLiteral("APEX")),
              kRoot + QStringLiteral("driver/J.R./cars?shard=APEX"));
}

TEST(TrackTable, NinetyRowsInTheirOrder)
{
    const QList<Track>& tracks = trackTable();
    ASSERT_EQ(tracks.size(), 90);
    EXPECT_EQ(tracks.first().name, QStringLiteral("AGOSTINI AVENUE"));
    EXPECT_EQ(tracks.first().eventId, 299);
    EXPECT_EQ(tracks.at(1).name, QStringLiteral("BAY BRIDGE"));
    EXPECT_EQ(tracks.at(1).eventId, 10);
    EXPECT_EQ(tracks.at(40).name, QStringLiteral("LION'S CHALLENGE"));
    EXPECT_EQ(tracks.at(85).name, QStringLiteral("YORK ROAD"));
    EXPECT_EQ(tracks.at(85).eventId, 296);
    const QList<QPair<QString, int>> newer = {{QStringLiteral("BREAKING POINT"), 509}, {QStringLiteral("BURROWS"), 510},
                                               {QStringLiteral("ROCKPORT TURNPIKE"), 502}, {QStringLiteral("SPEED FAIR"), 501}};
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(tracks.at(86 + i).name, newer.at(i).first);
        EXPECT_EQ(tracks.at(86 + i).eventId, newer.at(i).second);
    }
    QSet<int> ids;
    for (const Track& track : tracks)
        ids.insert(track.eventId);
    EXPECT_EQ(ids.size(), 90);
    // Apart from the four newer tracks at the end, the names are in alphabetical order.
    for (int i = 1; i < 86; ++i)
        EXPECT_LT(tracks.at(i - 1).name, tracks.at(i).name) << i;
}
