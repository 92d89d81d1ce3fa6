#include "support/fakeservice.h"
#include "support/findnamed.h"
#include "fakeshell.h"
#include "support/simulator.h"
#include "support/temphome.h"
#include "viewertesting.h"

#include "common/error.h"
#include "viewers/driverreport.h"
#include "viewers/ui/driverinfowindow.h"
#include "webservice/xmldocument.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

#include <map>

namespace {

const QString kSeparator(133, '-');

// One driver's answers as the service sends them, by resource.
std::map<QString, QByteArray> kestrelAnswers()
{
    return {
        {"lastLogin", "<worldLastLogin><lastLogin>2011-06-01T12:34:56ZT</lastLogin></worldLastLogin>"},
        {"profiles", R"(<list><worldPersona personaName="KESTREL" level="42" defaultPersona="true" image="7"
                          statusMessage="it's a &quot;race&quot; &amp; I'm #1"/>
                        <worldPersona personaName="KESTREL_1" level="3" defaultPersona="false" image="x1"
                          statusMessage=""/></list>)"},
        {"stats", R"(<worldStats><worldEventStats totalRacesWon="10" totalRacesLost="11" averageFinishingPlace="2.50"
                       singlePlayerRacesWon="4" singlePlayerRacesLost="5" singlePlayerAverageFinishingPlace="3.0"
                       singlePlayerDnfCount="1" singlePlayerTotalPlacing="90" multiPlayerRacesWon="6"
                       multiPlayerRacesLost="6" multiPlayerAverageFinishingPlace=" 007 " multiPlayerDnfCount="0"
                       multiPlayerTotalPlacing="120"/>
                     <worldStreaksStats bestSinglePlayerWinStreak="3" currentSinglePlayerWinStreak="1"
                       bestMultiPlayerWinStreak="8" currentMultiPlayerWinStreak="2"/></worldStats>)"},
        {"cars", R"(<list><worldCar make="Falk" carName="Roadster S"><physicsProfile topSpeed="7.1" acceleration="6.0"
                       handling="5.5" rating="512" carClass="carclass_b"/></worldCar>
                     <worldCar make="Jubilee" carName="V12"><physicsProfile topSpeed="9.9" acceleration="9.0"
                       handling="8.8" rating="999" carClass="Unique"/></worldCar></list>)"},
    };
}

const QStringList kKestrelLines = {
    "KESTREL last login: ", " ", "2011-06-01   12:34:56 T", kSeparator,
    "KESTREL profiles: ", " ",
    R"(KESTREL   level:42   default:true   image:7   statustext: "it's a "race" & I'm #1")",
    R"(KESTREL_1   level:3   default:false   image:x1   statustext: "")", kSeparator,
    "KESTREL stats: ", " ",
    "totalRacesWon:10", "totalRacesLost:11", "averageFinishingPlace:2.50", " ",
    "singlePlayerRacesWon:4", "singlePlayerRacesLost:5", "singlePlayerAverageFinishingPlace:3.0",
    "singlePlayerDnfCount:1", "singlePlayerTotalPlacing:90", " ",
    "multiPlayerRacesWon:6", "multiPlayerRacesLost:6", "multiPlayerAverageFinishingPlace: 007 ",
    "multiPlayerDnfCount:0", "multiPlayerTotalPlacing:120", " ",
    "bestSinglePlayerWinStreak:3", "currentSinglePlayerWinStreak:1", "bestMultiPlayerWinStreak:8",
    "currentMultiPlayerWinStreak:2", kSeparator,
    "KESTREL cars:(2)", " ",
    "Falk Roadster S", "TopSpeed:7.1  Acceleration:6.0  Handling:5.5    Overall:512    Class:B", " ",
    "Jubilee V12", "TopSpeed:9.9  Acceleration:9.0  Handling:8.8    Overall:999    Class:UNIQUE", " ",
    kSeparator,
};

void writeAvatar(const TempHome& home, const QString& image, const QColor& colour)
{
    QDir(home.path()).mkpath("avatars");
    QImage avatar(32, 32, QImage::Format_RGB32);
    avatar.fill(colour);
    ASSERT_TRUE(avatar.save(home.file("avatars/" + image + ".bmp"), "BMP"));
}

// Runs a display over hand-written answers; `failing` names a resource whose request fails.
struct Report {
    QStringList lines;
    QStringList urls;
    QImage avatar;
    QString failure;
};
Report display(const std::map<QString, QByteArray>& answers, const QString& name = "KESTREL",
                const QString& failing = QString())
{
    Report shown;
    const racr::DocumentLoader load = [&](const QString& url, racr::XmlDocument& document) {
        shown.urls.append(url);
        const QString resource = url.section('?', 0, 0).section('/', -1);
        if (resource == failing)
            throw racr::ServiceError("The statistics service did not answer.");
        document.load(answers.at(resource));
    };
    racr::DriverReportOutput output{[&](const QString& line) { shown.lines.append(line); },
                                    [&](const QImage& avatar) { shown.avatar = avatar; }};
    shown.failure = racr::runDriverReport("http://svc", name, "APEX", load, output);
    return shown;
}

// The window's controls, found by their names.
QLineEdit* nameEdit(const DriverInfoWindow& form)
{
    return named<QLineEdit>(form, "driverNameEdit");
}

QPushButton* okButton(const DriverInfoWindow& form)
{
    return named<QPushButton>(form, "okButton");
}

QLabel* avatar(const DriverInfoWindow& form)
{
    return named<QLabel>(form, "avatarImage");
}

QPlainTextEdit* report(const DriverInfoWindow& form)
{
    return named<QPlainTextEdit>(form, "driverReport");
}

QStringList memoLines(const DriverInfoWindow& form)
{
    return report(form)->toPlainText().split('\n');
}

} // namespace

TEST(DriverTexts, NamesTimesClassesAndAvatarFiles)
{
    EXPECT_EQ(racr::upperCaseAsciiLetters("kestrel o'malley jürgen"), "KESTREL O'MALLEY JüRGEN");
    EXPECT_EQ(racr::lastLoginText("2011-06-01T12:34:56Z"), "2011-06-01   12:34:56 ");
    EXPECT_EQ(racr::lastLoginText("yesterday"), "yesterday");
    EXPECT_EQ(racr::carClassText("carclass_a"), "A");
    EXPECT_EQ(racr::carClassText("xcarclass_bcarclass_c"), "XBCARCLASS_C");
    EXPECT_EQ(racr::carClassText("Unique"), "UNIQUE");

    TempHome home;
    // Found nowhere: the program folder's path, so that a failure names where to put it.
    EXPECT_EQ(racr::avatarFile("170"), home.file("avatars/170.bmp"));
    for (const char* notWhole : {"", "7.5", "-1", " 7", "../7", "7a", "٣"})
        EXPECT_TRUE(racr::avatarFile(notWhole).isEmpty()) << notWhole;
}

TEST(DriverTexts, AnInstalledAvatarServesUntilTheProgramFolderHasItsOwn)
{
    TempHome home;
    QTemporaryDir data;
    const QByteArray previous = qgetenv("XDG_DATA_HOME");
    qputenv("XDG_DATA_HOME", QFile::encodeName(data.path()));
    ASSERT_TRUE(QDir(data.path()).mkpath("racr/avatars"));
    ASSERT_TRUE(QImage(8, 8, QImage::Format_RGB32).save(data.filePath("racr/avatars/170.bmp"), "BMP"));
    EXPECT_EQ(racr::avatarFile("170"), data.filePath("racr/avatars/170.bmp"));
    writeAvatar(home, "170", Qt::red);
    EXPECT_EQ(racr::avatarFile("170"), home.file("avatars/170.bmp"));
    qputenv("XDG_DATA_HOME", previous);
}

TEST(DriverReport, CompleteDisplayLineByLine)
{
    TempHome home;
    writeAvatar(home, "7", Qt::red);
    const Report shown = display(kestrelAnswers());
    EXPECT_EQ(shown.lines, kKestrelLines);
    EXPECT_TRUE(shown.failure.isEmpty());
    EXPECT_EQ(shown.avatar.pixelColor(0, 0), QColor(Qt::red));
    const QString driver = "http://svc/StatsAPI/ws/game/racr/driver/KESTREL/";
    EXPECT_EQ(shown.urls, (QStringList{driver + "lastLogin", driver + "profiles?shard=APEX", driver + "stats?shard=APEX",
                                       driver + "cars?shard=APEX"}));
    EXPECT_EQ(display(kestrelAnswers(), "").urls.first(), "http://svc/StatsAPI/ws/game/racr/driver//lastLogin");
}

TEST(DriverReport, FailuresEndTheDisplayWhereTheyHappen)
{
    TempHome home; // no avatar files
    auto with = [](const QString& resource, const QByteArray& body) {
        auto answers = kestrelAnswers();
        answers[resource] = body;
        return answers;
    };
    const qsizetype profilesStart = kKestrelLines.indexOf("KESTREL profiles: ");
    const qsizetype statsStart = kKestrelLines.indexOf("KESTREL stats: ");
    const qsizetype carsStart = kKestrelLines.indexOf("KESTREL cars:(2)");

    // The matching persona's avatar file is missing (the program's own set ends at 24): stop right
    // after its line.
    Report shown = display(with("profiles", kestrelAnswers()["profiles"].replace("image=\"7\"", "image=\"70\"")));
    EXPECT_EQ(shown.lines.mid(0, profilesStart + 2), kKestrelLines.mid(0, profilesStart + 2));
    EXPECT_TRUE(shown.lines.at(profilesStart + 2).startsWith("KESTREL   level:42   default:true   image:70   "));
    EXPECT_EQ(shown.lines.at(profilesStart + 3), "Error parsing data!");
    EXPECT_TRUE(shown.lines.mid(profilesStart + 4).join('\n').startsWith("<list><worldPersona personaName=\"KESTREL\""));
    EXPECT_TRUE(shown.failure.contains(home.file("avatars/70.bmp"))) << qPrintable(shown.failure);

    // No persona carries the typed name, or its image is no whole number: no avatar, no failure.
    for (const QByteArray& profiles : {QByteArray(R"(<list><worldPersona personaName="kestrel" level="1" defaultPersona="true" image="7" statusMessage=""/></list>)"),
                                       QByteArray(R"(<list><worldPersona personaName="KESTREL" level="1" defaultPersona="true" image="7.0" statusMessage=""/></list>)")}) {
        shown = display(with("profiles", profiles));
        EXPECT_TRUE(shown.failure.isEmpty()) << qPrintable(shown.failure);
        EXPECT_TRUE(shown.avatar.isNull());
    }

    // No personas, no cars: the blocks keep their header, blank line and separator.
    shown = display(with("profiles", "<list/>"));
    EXPECT_EQ(shown.lines.mid(profilesStart, 4), (QStringList{"KESTREL profiles: ", " ", kSeparator, "KESTREL stats: "}));
    shown = display(with("cars", "<list/>"), "KESTREL_1");
    EXPECT_TRUE(shown.failure.isEmpty() && shown.avatar.isNull());
    EXPECT_EQ(shown.lines.mid(carsStart), (QStringList{"KESTREL_1 cars:(0)", " ", kSeparator}));

    // A car without its performance element fails after its name line.
    shown = display(with("cars", R"(<list><worldCar make="Falk" carName="Roadster S"/></list>)"), "KESTREL_1");
    EXPECT_EQ(shown.lines.mid(carsStart), (QStringList{"KESTREL_1 cars:(1)", " ", "Falk Roadster S", "Error parsing data!",
                                                       R"(<list><worldCar make="Falk" carName="Roadster S"/></list>)"}));

    // A missing statistic: the lines before it stay.
    auto stats = kestrelAnswers()["stats"];
    shown = display(with("stats", stats.replace("singlePlayerDnfCount=\"1\"", "")), "KESTREL_1");
    EXPECT_EQ(shown.lines.at(statsStart + 8), "singlePlayerAverageFinishingPlace:3.0");
    EXPECT_EQ(shown.lines.at(statsStart + 9), "Error parsing data!");
    EXPECT_TRUE(shown.failure.contains("singlePlayerDnfCount"));

    // A request that fails before any answer arrived: the reason stands in for the markup.
    shown = display(kestrelAnswers(), "KESTREL", "lastLogin");
    EXPECT_EQ(shown.lines, (QStringList{"Error parsing data!", "The statistics service did not answer."}));
    // A later request fails: the answer loaded last is shown.
    shown = display(kestrelAnswers(), "KESTREL_1", "stats");
    EXPECT_EQ(shown.lines.mid(statsStart), (QStringList{"Error parsing data!", shown.lines.at(statsStart + 1)}));
    EXPECT_TRUE(shown.lines.last().startsWith("<list><worldPersona"));
}

TEST(DriverWindow, TheTypedNameIsUpperCasedAndTheDisplayShown)
{
    TempHome home;
    writeAvatar(home, "7", Qt::blue);
    std::map<std::string, FakeService::Reply> replies;
    for (const auto& [resource, body] : kestrelAnswers())
        replies["/StatsAPI/ws/game/racr/driver/KESTREL/" + resource.toStdString()] = {200, body.toStdString()};
    FakeService service(replies, 250);
    FakeShell shell;
    shell.base = service.base();
    DriverInfoWindow form(shell);
    EXPECT_EQ(form.windowTitle(), "Driver Info - APEX");

    QTest::keyClicks(nameEdit(form), "kestrel");
    whileAnswering(service, 1, [&] { QTest::mouseClick(okButton(form), Qt::LeftButton); });
    QTest::mouseClick(okButton(form), Qt::LeftButton);
    EXPECT_EQ(nameEdit(form)->text(), "KESTREL");
    EXPECT_EQ(memoLines(form), kKestrelLines);
    EXPECT_EQ(avatar(form)->pixmap().toImage().pixelColor(0, 0), QColor(Qt::blue));
    // The click made while the answers were on their way asked nothing.
    EXPECT_EQ(service.requests(), (QStringList{"GET /StatsAPI/ws/game/racr/driver/KESTREL/lastLogin",
                                               "GET /StatsAPI/ws/game/racr/driver/KESTREL/profiles?shard=APEX",
                                               "GET /StatsAPI/ws/game/racr/driver/KESTREL/stats?shard=APEX",
                                               "GET /StatsAPI/ws/game/racr/driver/KESTREL/cars?shard=APEX"}));

    // Enter in the name field starts the next display from an empty memo and image.
    nameEdit(form)->setText("nobody");
    QTest::keyClick(nameEdit(form), Qt::Key_Return);
    EXPECT_EQ(service.requests().size(), 5);
    EXPECT_EQ(memoLines(form).mid(0, 3), (QStringList{"NOBODY last login: ", " ", "Error parsing data!"}));
    EXPECT_TRUE(avatar(form)->pixmap().isNull());
    EXPECT_FALSE(report(form)->toolTip().isEmpty());
    form.showShard("CHICANE"); // what the main window does on a shard change
    EXPECT_TRUE(memoLines(form).join(QString()).isEmpty());
    EXPECT_EQ(form.windowTitle(), "Driver Info - CHICANE");
    EXPECT_TRUE(report(form)->toolTip().isEmpty());
}

TEST(DriverWindow, ANewProgramFolderShowsTheAvatarsThatComeWithTheProgram)
{
    TempHome home; // no avatars/ of its own
    Simulator sim;
    FakeShell shell;
    shell.base = sim.base();
    DriverInfoWindow form(shell);
    QTest::keyClicks(nameEdit(form), "kestrel");
    QTest::mouseClick(okButton(form), Qt::LeftButton);

    const QStringList lines = memoLines(form);
    EXPECT_FALSE(lines.contains("Error parsing data!")) << qPrintable(lines.join('\n'));
    EXPECT_EQ(lines.count(kSeparator), 4);
    const QStringList persona = lines.filter(QRegularExpression("^KESTREL   level:"));
    ASSERT_EQ(persona.size(), 1);
    const QString image = QRegularExpression("image:(\\d+) ").match(persona.first()).captured(1);
    const QImage bundled(QCoreApplication::applicationDirPath() + "/avatars/" + image + ".bmp");
    ASSERT_FALSE(bundled.isNull()) << "the build draws avatars/ beside the program";
    EXPECT_EQ(avatar(form)->pixmap().toImage().convertToFormat(QImage::Format_RGB32),
              bundled.convertToFormat(QImage::Format_RGB32));
}

TEST(DriverWindow, ShowsTheSimulatorsDrivers)
{
    TempHome home;
    for (int image = 1; image <= 24; ++image)
        writeAvatar(home, QString::number(image), Qt::green);
    Simulator sim({"--fault", "cars=fewerprofiles"});
    FakeShell shell;
    shell.base = sim.base();
    DriverInfoWindow form(shell);

    nameEdit(form)->setText("kestrel");
    QTest::mouseClick(okButton(form), Qt::LeftButton);
    QStringList lines = memoLines(form);
    EXPECT_EQ(lines.mid(0, 2), (QStringList{"KESTREL last login: ", " "}));
    EXPECT_TRUE(report(form)->toPlainText().contains(R"(statustext: "Don't brake: it's a "race" & I'm #1 on 2 shards")"));
    EXPECT_EQ(lines.count(kSeparator), 3);
    EXPECT_EQ(lines.at(lines.size() - 2), "Error parsing data!");
    EXPECT_TRUE(lines.last().startsWith("<list><worldCar"));
    EXPECT_FALSE(avatar(form)->pixmap().isNull());

    // An unknown driver: the service's error document is shown.
    nameEdit(form)->setText("nobody here");
    QTest::mouseClick(okButton(form), Qt::LeftButton);
    EXPECT_EQ(memoLines(form), (QStringList{"NOBODY HERE last login: ", " ", "Error parsing data!",
                                            R"(<error><code>404</code><message>No driver is named "NOBODY HERE".</message></error>)"}));
    // Names that look like dot segments are names too, not a way to other addresses.
    for (const QString name : {".", ".."}) {
        nameEdit(form)->clear();
        QTest::keyClicks(nameEdit(form), name);
        QTest::mouseClick(okButton(form), Qt::LeftButton);
        EXPECT_EQ(memoLines(form), (QStringList{name + " last login: ", " ", "Error parsing data!",
                                                "<error><code>404</code><message>No driver is named \"" + name
                                                    + "\".</message></error>"}));
    }
}
