// libFuzzer target for the code that reads what the service and the user hand us: the answer
// readers, the two pages made from answers with XSLT, and the driver-name splitter.
//
// The first byte picks the part (even: an answer, odd: a name list; the seeds start with '0' or
// '1'), the rest is the answer body or the name list. An answer goes through every reader and
// both pages: libxml2 and libxslt are not instrumented, so the pages earn no coverage of their own
// and are best run on every document the readers' coverage leads the fuzzer to.
//
// Loading, a reader or a page refusing an answer throws racr::Error: that is the expected
// outcome for most inputs. Anything else (a sanitizer report, another exception, a broken
// invariant) is a finding.

#include "common/error.h"
#include "common/drivernames.h"
#include "viewers/eventspage.h"
#include "viewers/leaderboardpage.h"
#include "webservice/answercheck.h"
#include "webservice/readers.h"
#include "webservice/xmldocument.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <libxml/xmlerror.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace {

// A large answer is read record by record; past a few records nothing new is reached, and a
// bounded loop keeps each input fast.
constexpr int maxRecords = 64;

template <typename Read>
void expectingRefusal(Read read)
{
    try {
        read();
    } catch (const racr::Error&) {
        // The answer lacks what was asked for: the caller reports it.
    }
}

// Asks for every record and then one past the end, which must be refused, not read.
template <typename Count, typename Read>
void readAll(Count count, Read read)
{
    int records = 0;
    expectingRefusal([&] { records = count(); });
    for (int i = 0; i <= records && i <= maxRecords; ++i)
        expectingRefusal([&] { read(i); });
    expectingRefusal([&] { read(-1); });
}

void readEverything(const racr::XmlDocument& doc)
{
    using namespace racr;
    readAll([&] { return leaderboardRecordCount(doc); }, [&](int i) { readLeaderboardRecord(doc, i); });
    readAll([&] { return dailyEventCount(doc); }, [&](int i) { readDailyEvent(doc, i); });
    readAll([&] { return personaCount(doc); }, [&](int i) { readPersona(doc, i); });
    // A driver's physics profiles are read by the position of the cars.
    readAll([&] { return carCount(doc); }, [&](int i) {
        expectingRefusal([&] { readCar(doc, i); });
        readPhysicsProfile(doc, i);
    });
    expectingRefusal([&] { readProfile(doc); });
    expectingRefusal([&] { readLastLogin(doc); });
    expectingRefusal([&] { readEventStats(doc); });
    expectingRefusal([&] { readStreakStats(doc); });
}

void fuzzAnswer(const QByteArray& body)
{
    racr::XmlDocument doc;
    expectingRefusal([&] { doc.load(body); });
    // The jobs ask first whether the answer is a document of the service at all.
    racr::answerProblem(200, doc);
    readEverything(doc);

    expectingRefusal([&] { racr::eventsPage(doc); });
    // The leaderboard window adds the track it asked for to the answer before making the page.
    const racr::LeaderboardChoice choice{0, QStringLiteral("AGOSTINI AVENUE"), 2, 3, QStringLiteral("27")};
    const racr::LeaderboardRequest request =
        racr::leaderboardRequest(QStringLiteral("http://127.0.0.1:8680"), QString(), QStringLiteral("APEX"), choice);
    expectingRefusal([&] { racr::leaderboardPage(doc, request.track); });

    // A job loads every answer into the same document: the next load must drop what this one
    // left, including the elements already looked up.
    expectingRefusal([&] { doc.load(QByteArray()); });
    readEverything(doc);
}

[[noreturn]] void brokenInvariant(const char* what)
{
    std::fprintf(stderr, "racr_fuzz: %s\n", what);
    std::abort();
}

QString quoted(QString name)
{
    return QLatin1Char('"') + name.replace(QLatin1Char('"'), QStringLiteral("\"\"")) + QLatin1Char('"');
}

void fuzzNames(const QByteArray& utf8)
{
    const QStringList names = splitDriverNames(QString::fromUtf8(utf8));
    // Any name, blanks, commas and quotes included, can be written in the list: each one quoted,
    // with its quotes doubled, separated by commas, gives back exactly the same names.
    QStringList written;
    for (const QString& name : names)
        written.append(quoted(name));
    if (splitDriverNames(written.join(QLatin1Char(','))) != names)
        brokenInvariant("quoting the names and splitting the result again gave other names");
}

// libxml2 reports some faults of an answer (a bad byte for its declared encoding) on stderr
// whatever the parse options say; thousands of those lines would bury a finding in the log.
void ignoreLibxmlMessage(void*, const char*, ...) {}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    xmlSetGenericErrorFunc(nullptr, ignoreLibxmlMessage);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size == 0)
        return 0;
    const QByteArray rest(reinterpret_cast<const char*>(data) + 1, qsizetype(size - 1));
    if (data[0] % 2 == 0)
        fuzzAnswer(rest);
    else
        fuzzNames(rest);
    return 0;
}
