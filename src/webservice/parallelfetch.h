#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

#include <atomic>
#include <exception>
#include <functional>
#include <memory>

namespace racr {

struct FetchRequest {
    QString method;   // "GET" or "POST" (with an empty body)
    QString url;
    // The index of an earlier request whose answer decides whether this one is wanted at all: it
    // is sent only once that answer has come and passed the fetch's test. -1: always sent.
    int after = -1;
};

// One request's outcome: the answer, or why there was none (NoAnswerError, AnswerTooLargeError).
struct FetchAnswer {
    QByteArray body;
    int status = 0;
    std::exception_ptr failure;
    bool skipped = false;   // never sent: the answer it depended on did not pass the test
    // The body's share of the room of the answers in flight, given back when the last copy of
    // the answer goes: drop an answer once it has been read.
    std::shared_ptr<void> room;
};

// Fetches a list of requests with several of them under way at once, and hands the answers out
// strictly in list order, so a job that stores them in that order does exactly what it would do
// one request after the other, only sooner. The transfers run on a thread of their own, on one
// libcurl multi handle: connections are kept alive and reused, HTTP/2 multiplexed where the
// service offers it.
//
// At most `parallel` requests are started and not yet handed out: 1 is one request after the
// other, the next one started only when the previous answer has been taken. A request that
// depends on another (FetchRequest::after) is started as soon as that answer has passed and fewer
// than `parallel` requests are under way, so the ones it waited for do not hold it back.
class ParallelFetch {
public:
    static constexpr int kMaxParallel = 16;
    static constexpr int kDefaultParallel = 6;

    // What a request without any answer (no connection, a time-out) does to the ones after it.
    enum class AfterNoAnswer {
        KeepGoing,      // each request stands alone
        StartNoMore,    // the job ends at the first one in order, so later ones are never needed
    };

    // `abort` (may be null): once raised, next() throws racr::Cancelled within a tenth of a second
    // and the transfers under way are dropped.
    // `passes` decides, on the transfer thread, whether an answer lets the requests that depend
    // on it go out; without it every answer does.
    using AnswerTest = std::function<bool(const FetchAnswer&)>;
    ParallelFetch(QList<FetchRequest> requests, int parallel, const std::atomic<bool>* abort,
                  AfterNoAnswer afterNoAnswer, AnswerTest passes = {});
    ~ParallelFetch();   // drops what is still under way
    ParallelFetch(const ParallelFetch&) = delete;
    ParallelFetch& operator=(const ParallelFetch&) = delete;

    // The answer to the next request in list order, waiting for it as long as needed.
    FetchAnswer next();

    // Tests and benchmarks shorten these; the defaults are HttpRequest's.
    void setTimeouts(int connectMs, int totalMs);

private:
    struct State;
    std::unique_ptr<State> m_state;
};

} // namespace racr
