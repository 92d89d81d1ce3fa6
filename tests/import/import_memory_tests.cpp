// The memory of a real `racr import` against a hostile service: every copy an answer has in flight
// (its buffer as it arrives, the answers taken, the documents read from them) counts against one
// cap, so the process's peak stays bounded whatever the answers. Measured as the child's own peak
// (getrusage of the finished process), never as a time.
#include "support/fakeservice.h"
#include "support/temphome.h"

#include <QByteArray>
#include <QFile>
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <fcntl.h>
#include <memory>
#include <spawn.h>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <thread>
#include <vector>
#include <zlib.h>

extern char** environ;

namespace {

constexpr long kMaxPeakMegabytes = 400;
// Enough answers to fill every request an import keeps under way twice over; the rest are small.
constexpr int kHostileAnswers = 32;

struct ImportRun {
    int status = -1;
    long peakMegabytes = 0;
    QByteArray output;
};

// `racr import leaderboards --parallel 16` against the service, its exit status and peak memory.
ImportRun importFrom(const FakeService& service)
{
    const TempHome home;
    const std::string out = home.file("import.log").toStdString();
    const std::vector<std::string> args{RACR_PATH,
                                        "--home",
                                        home.path().toStdString(),
                                        "--service-base",
                                        service.base().toStdString(),
                                        "import",
                                        "leaderboards",
                                        "--parallel",
                                        "16"};
    std::vector<char*> argv;
    for (const std::string& arg : args)
        argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_adddup2(&actions, 1, 2);
    pid_t child = 0;
    ImportRun run;
    const int spawned = posix_spawn(&child, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0)
        return run;
    int status = 0;
    rusage usage{};
    if (wait4(child, &status, 0, &usage) != child)
        return run;
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    run.peakMegabytes = usage.ru_maxrss / 1024;
    std::printf("racr import peaked at %ld MB (exit status %d)\n", run.peakMegabytes, run.status);
    QFile log(QString::fromStdString(out));
    if (log.open(QIODevice::ReadOnly))
        run.output = log.readAll();
    return run;
}

// `bytes` of `fill` compressed with zlib's `format` (deflate or gzip), made a piece at a time.
std::string compressed(std::size_t bytes, char fill, bool gzip)
{
    z_stream stream{};
    deflateInit2(&stream, 9, Z_DEFLATED, gzip ? 31 : 15, 9, Z_DEFAULT_STRATEGY);
    const std::string piece(1 << 20, fill);
    std::string result;
    char buffer[1 << 16];
    for (std::size_t left = bytes; left > 0 || stream.avail_in > 0;) {
        if (stream.avail_in == 0) {
            const std::size_t take = std::min(left, piece.size());
            stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(piece.data()));
            stream.avail_in = uInt(take);
            left -= take;
        }
        stream.next_out = reinterpret_cast<Bytef*>(buffer);
        stream.avail_out = sizeof buffer;
        deflate(&stream, Z_NO_FLUSH);
        result.append(buffer, sizeof buffer - stream.avail_out);
    }
    int state = Z_OK;
    while (state != Z_STREAM_END) {
        stream.next_out = reinterpret_cast<Bytef*>(buffer);
        stream.avail_out = sizeof buffer;
        state = deflate(&stream, Z_FINISH);
        result.append(buffer, sizeof buffer - stream.avail_out);
    }
    deflateEnd(&stream);
    return result;
}

// Answers `hostile` to the first kHostileAnswers requests, the first of them late so that the
// others all arrive while the import waits for it, and an empty leaderboard to the rest.
FakeService::Answer firstAnswers(FakeService::Reply hostile)
{
    auto asked = std::make_shared<std::atomic<int>>(0);
    return [asked, hostile = std::move(hostile)](const FakeService::Request&) {
        const int n = (*asked)++;
        if (n == 0)
            std::this_thread::sleep_for(std::chrono::seconds(3));
        return n < kHostileAnswers ? hostile : FakeService::Reply("<list></list>");
    };
}

class ImportMemory : public testing::Test {
protected:
    void SetUp() override
    {
#if defined(__SANITIZE_THREAD__) || defined(__SANITIZE_ADDRESS__)
        GTEST_SKIP() << "a sanitizer's shadow memory makes the process's peak no measure of the answers";
#endif
    }
};

} // namespace

TEST_F(ImportMemory, SixteenAnswersOf60MegabytesUnderWayAtOnce)
{
    FakeService::Reply big(compressed(60 << 20, ' ', false));
    big.contentEncoding = "deflate";
    const FakeService service(firstAnswers(big));
    const ImportRun run = importFrom(service);
    EXPECT_EQ(run.status, 3) << run.output.toStdString();
    // Sixty megabytes of blanks hold no document (libxml2 gives up on them as no XML, or as more than
    // the largest document it may take).
    EXPECT_TRUE(run.output.contains("gave no leaderboard (first: "))
        << run.output.toStdString();
    EXPECT_LE(run.peakMegabytes, kMaxPeakMegabytes);
    EXPECT_GT(run.peakMegabytes, 0);
}

TEST_F(ImportMemory, CompressedBombs)
{
    FakeService::Reply bomb(compressed(std::size_t(1) << 30, '\0', true));
    bomb.contentEncoding = "gzip";
    const FakeService service(firstAnswers(bomb));
    const ImportRun run = importFrom(service);
    EXPECT_EQ(run.status, 3) << run.output.toStdString();
    EXPECT_TRUE(run.output.contains("gave no leaderboard (first: more than 64 MB")) << run.output.toStdString();
    EXPECT_LE(run.peakMegabytes, kMaxPeakMegabytes);
    EXPECT_GT(run.peakMegabytes, 0);
}

TEST_F(ImportMemory, AnswersOfAGigabyte)
{
    FakeService::Reply huge("<list>" + std::string((1 << 20) - 6, ' '));
    huge.repeat = 1024;
    const FakeService service(firstAnswers(huge));
    const ImportRun run = importFrom(service);
    EXPECT_EQ(run.status, 3) << run.output.toStdString();
    EXPECT_TRUE(run.output.contains("gave no leaderboard (first: more than 64 MB")) << run.output.toStdString();
    EXPECT_LE(run.peakMegabytes, kMaxPeakMegabytes);
    EXPECT_GT(run.peakMegabytes, 0);
}
