// Fetch, read and transform one leaderboard answer of 100 or 1,000 records from stats-sim.
// The median of the repetitions is the figure to quote: per request, and per record.
//
//   webservice_bench [--records 100,1000] [Google Benchmark's --benchmark_... options]

#include "support/simulator.h"

#include "webservice/endpoints.h"
#include "webservice/httprequest.h"
#include "webservice/readers.h"
#include "webservice/xmldocument.h"
#include "webservice/xslstylesheet.h"

#include <QCoreApplication>
#include <QStringList>
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <memory>
#include <vector>

using namespace racr;

namespace {

constexpr int kDrivers = 500;

// The page the leaderboard viewer makes: sorted by time, one block per record.
const char* const kPageStylesheet =
    "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>"
    "<xsl:stylesheet version=\"1.0\" xmlns:xsl=\"http://www.w3.org/1999/XSL/Transform\"><xsl:template match=\"/\">"
    "<html><head><title>Leaderboard</title></head><body><h3>records: <xsl:value-of select=\"count(list/worldLeaderboard)\"/></h3>"
    "<xsl:for-each select=\"list/worldLeaderboard\"><xsl:sort select=\"@eventDuration\" order=\"ascending\"/>"
    "<b><xsl:value-of select=\"position()\"/>. </b><b><xsl:value-of select=\"@personaName\"/></b><br />"
    "<i>Best Time: </i><xsl:value-of select=\"@eventDuration\"/><br /><i>Car: </i><xsl:value-of select=\"@make\"/>"
    "<xsl:text disable-output-escaping=\"yes\">&amp;nbsp;</xsl:text><xsl:value-of select=\"@carName\"/><br />"
    "<i>Date: </i><xsl:value-of select=\"@createdDateStr\"/>&#160;&#160;<xsl:value-of select=\"substring(@createdDate,12,8)\"/>"
    "<p /></xsl:for-each></body></html></xsl:template></xsl:stylesheet>";

// One simulator per record count, started on first use and kept for every repetition.
const Simulator& simulatorFor(int records)
{
    static std::map<int, std::unique_ptr<Simulator>> running;
    auto& sim = running[records];
    if (!sim)
        sim = std::make_unique<Simulator>(QStringList{QStringLiteral("--records-per-track"), QString::number(records),
                                                      QStringLiteral("--drivers"), QString::number(kDrivers)});
    return *sim;
}

QString boardUrl(int records)
{
    QStringList drivers;
    for (int i = 0; i < kDrivers; ++i)
        drivers.append(QStringLiteral("pilot%1").arg(i, 3, 10, QLatin1Char('0')));
    return leaderboardsUrl(simulatorFor(records).base(),
                           {drivers.join(QLatin1Char(',')), 1, 1, 302, QStringLiteral("0"), QStringLiteral("APEX")});
}

void perRecord(benchmark::State& state, int records)
{
    state.counters["records"] = records;
    state.counters["per_record"] = benchmark::Counter(records, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

void BM_FetchAndReadLeaderboard(benchmark::State& state)
{
    const int records = int(state.range(0));
    const QString url = boardUrl(records);
    HttpRequest request;
    XmlDocument doc;
    for (auto _ : state) {
        fetch(request, doc, QStringLiteral("POST"), url);
        const int count = leaderboardRecordCount(doc);
        for (int i = 0; i < count; ++i)
            benchmark::DoNotOptimize(readLeaderboardRecord(doc, i));
        if (count != records)
            state.SkipWithError("the simulator sent a different number of records");
    }
    perRecord(state, records);
}

void BM_TransformLeaderboard(benchmark::State& state)
{
    const int records = int(state.range(0));
    HttpRequest request;
    XmlDocument doc;
    fetch(request, doc, QStringLiteral("POST"), boardUrl(records));
    doc.appendToRoot(QStringLiteral("track"), {{QStringLiteral("name"), QStringLiteral("BEACHFRONT")}});
    const XslStylesheet style(QString::fromLatin1(kPageStylesheet));
    for (auto _ : state)
        benchmark::DoNotOptimize(style.transform(doc));
    perRecord(state, records);
}

// Takes --records N,N off the command line; the rest is Google Benchmark's.
std::vector<int> recordCounts(int& argc, char** argv)
{
    std::vector<int> counts{100, 1000};
    for (int i = 1; i < argc; ++i) {
        const QString argument = QString::fromLocal8Bit(argv[i]);
        if (argument == QLatin1String("--help") || argument == QLatin1String("-h")) {
            std::printf("usage: webservice_bench [--records N[,N...]] (records of each leaderboard answer, default "
                        "100,1000)\nand Google Benchmark's options:\n");
            std::fflush(stdout);
            argv[i] = const_cast<char*>("--help");   // Google Benchmark prints its own and ends
            return counts;
        }
        if (argument != QLatin1String("--records") || i + 1 >= argc)
            continue;
        counts.clear();
        for (const QString& part : QString::fromLocal8Bit(argv[i + 1]).split(QLatin1Char(','))) {
            bool ok = false;
            counts.push_back(part.toInt(&ok));
            if (!ok || counts.back() <= 0) {
                std::fprintf(stderr, "--records takes whole numbers separated by commas\n");
                std::exit(2);
            }
        }
        std::copy(argv + i + 2, argv + argc + 1, argv + i);
        argc -= 2;
        break;
    }
    return counts;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv); // the simulator runs under QProcess
    const std::vector<int> counts = recordCounts(argc, argv);
    auto* fetchAndRead = benchmark::RegisterBenchmark("BM_FetchAndReadLeaderboard", BM_FetchAndReadLeaderboard);
    auto* transform = benchmark::RegisterBenchmark("BM_TransformLeaderboard", BM_TransformLeaderboard);
    for (const int records : counts) {
        fetchAndRead->Arg(records);
        transform->Arg(records);
    }
    fetchAndRead->Unit(benchmark::kMillisecond)->UseRealTime()->Repetitions(9)->ReportAggregatesOnly(true);
    transform->Unit(benchmark::kMillisecond)->Repetitions(9)->ReportAggregatesOnly(true);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
