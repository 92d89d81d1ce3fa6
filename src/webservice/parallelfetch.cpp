#include "webservice/parallelfetch.h"

#include "common/error.h"
#include "webservice/httprequest.h"
#include "webservice/transfer.h"

#include <algorithm>
#include <condition_variable>
#include <map>
#include <mutex>
#include <thread>
#include <utility>
#include <vector>

namespace racr {

namespace {

constexpr int kAbortPollMs = 100;

// One request under way: its handle and the buffers libcurl writes into.
struct Transfer {
    int index = 0;
    CURL* easy = nullptr;
    QByteArray url;
    transfer::Body body;
    char errorText[CURL_ERROR_SIZE] = {};
};

} // namespace

struct ParallelFetch::State {
    QList<FetchRequest> requests;
    int parallel = 1;
    const std::atomic<bool>* abort = nullptr;
    AfterNoAnswer afterNoAnswer = AfterNoAnswer::KeepGoing;
    AnswerTest passes;
    // Shared with the answers handed out, which give their room back when they go.
    std::shared_ptr<transfer::Budget> budgetShare = std::make_shared<transfer::Budget>();
    transfer::Budget& budget = *budgetShare;
    int connectTimeoutMs = HttpRequest::kDefaultConnectTimeoutMs;
    int totalTimeoutMs = HttpRequest::kDefaultTotalTimeoutMs;

    CURLM* multi = nullptr;
    std::thread worker;

    std::mutex mutex;
    std::condition_variable answered;
    std::map<int, FetchAnswer> answers;   // finished, not yet handed out
    int handedOut = 0;                    // answers taken by next()
    int sentNotTaken = 0;                 // requests started whose answer next() has not handed out
    bool stopping = false;                // the owner is going away
    bool startNoMore = false;             // a request got no answer and the job needs no later one

    // What became of each request, and for one that others depend on, whether its answer let
    // them go out. Written by the transfer thread under the mutex.
    enum class Progress : std::uint8_t { Waiting, Started, Skipped };
    enum class Verdict : std::uint8_t { Unknown, Passed, Failed };
    std::vector<Progress> progress;
    std::vector<Verdict> verdicts;
    std::vector<bool> decides;   // some request depends on this one's answer
    int inFlight = 0;            // started and not yet answered

    bool aborted() const { return abort != nullptr && abort->load(); }
    void run();
    // Starts what may start now: requests without a condition in list order while fewer than
    // `parallel` are unanswered or not yet handed out, and any whose condition has passed while
    // fewer than `parallel` are under way. One whose condition failed is answered as skipped.
    void startRequests(std::map<CURL*, std::unique_ptr<Transfer>>& underWay);
    void resumeWhereRoom(const std::map<CURL*, std::unique_ptr<Transfer>>& underWay);
    void drop(Transfer& t);
    bool passed(const FetchAnswer& answer) const;
};

ParallelFetch::ParallelFetch(QList<FetchRequest> requests, int parallel, const std::atomic<bool>* abort,
                             AfterNoAnswer afterNoAnswer, AnswerTest passes)
    : m_state(std::make_unique<State>())
{
    transfer::initLibcurl();
    State& s = *m_state;
    s.requests = std::move(requests);
    s.parallel = std::clamp(parallel, 1, kMaxParallel);
    s.abort = abort;
    s.afterNoAnswer = afterNoAnswer;
    s.passes = std::move(passes);
    s.budget.cap = HttpRequest::kMaxHeldBytes;
    const auto count = std::size_t(s.requests.size());
    s.progress.assign(count, State::Progress::Waiting);
    s.verdicts.assign(count, State::Verdict::Unknown);
    s.decides.assign(count, false);
    for (const FetchRequest& request : std::as_const(s.requests))
        if (request.after >= 0)
            s.decides.at(std::size_t(request.after)) = true;
    s.multi = curl_multi_init();
    if (s.multi == nullptr)
        throw ServiceError(QStringLiteral("Could not set up HTTP requests (libcurl failed to start)."));
    // As many connections as requests under way, no more: the service sees at most `parallel`.
    curl_multi_setopt(s.multi, CURLMOPT_MAX_HOST_CONNECTIONS, long(s.parallel));
    // Keep them open between answers: by default the cache shrinks with the transfers under way,
    // and a fast service would see a new connection for many requests.
    curl_multi_setopt(s.multi, CURLMOPT_MAXCONNECTS, long(s.parallel));
    curl_multi_setopt(s.multi, CURLMOPT_PIPELINING, long(CURLPIPE_MULTIPLEX));
}

ParallelFetch::~ParallelFetch()
{
    State& s = *m_state;
    {
        const std::lock_guard lock(s.mutex);
        s.stopping = true;
    }
    if (s.worker.joinable()) {
        curl_multi_wakeup(s.multi);
        s.worker.join();
    }
    curl_multi_cleanup(s.multi);
}

void ParallelFetch::setTimeouts(int connectMs, int totalMs)
{
    m_state->connectTimeoutMs = connectMs;
    m_state->totalTimeoutMs = totalMs;
}

FetchAnswer ParallelFetch::next()
{
    State& s = *m_state;
    if (!s.worker.joinable())
        s.worker = std::thread([&s] { s.run(); });
    std::unique_lock lock(s.mutex);
    if (s.handedOut >= s.requests.size())
        throw ServiceError(QStringLiteral("All %1 requests have been answered.").arg(s.requests.size()));
    const int wanted = s.handedOut;
    while (s.answers.find(wanted) == s.answers.end()) {
        if (s.aborted())
            throw Cancelled();
        // The abort flag is raised from outside (a window, a signal handler): look at it often.
        s.answered.wait_for(lock, std::chrono::milliseconds(kAbortPollMs));
    }
    if (s.aborted())
        throw Cancelled();
    FetchAnswer answer = std::move(s.answers.at(wanted));
    s.answers.erase(wanted);
    ++s.handedOut;
    if (!answer.skipped)
        --s.sentNotTaken;
    s.budget.nextWanted = s.handedOut;
    lock.unlock();
    curl_multi_wakeup(s.multi);   // room for the next request
    return answer;
}

bool ParallelFetch::State::passed(const FetchAnswer& answer) const
{
    if (answer.failure)
        return false;
    if (!passes)
        return true;
    try {
        return passes(answer);
    } catch (...) {
        return false;
    }
}

void ParallelFetch::State::startRequests(std::map<CURL*, std::unique_ptr<Transfer>>& underWay)
{
    // A request also waits while the answers in flight hold all the room there is; only the one
    // the job waits for goes out whatever they hold, as the job may hold much of it itself.
    const bool noRoom = !budget.roomFor(0);
    const int wantedNext = budget.nextWanted.load();
    bool plainBlocked = startNoMore;
    for (int i = handedOut; i < requests.size(); ++i) {
        if (progress[std::size_t(i)] != Progress::Waiting)
            continue;
        const int gate = requests.at(i).after;
        if (gate >= 0) {
            const Verdict verdict = verdicts[std::size_t(gate)];
            if (verdict == Verdict::Failed) {
                progress[std::size_t(i)] = Progress::Skipped;
                answers[i].skipped = true;
                answered.notify_all();
                continue;
            }
            if (verdict == Verdict::Unknown || startNoMore || (noRoom && i != wantedNext) || inFlight >= parallel)
                continue;
        } else {
            // Plain requests go out in list order.
            plainBlocked = plainBlocked || sentNotTaken >= parallel || (noRoom && i != wantedNext);
            if (plainBlocked)
                continue;
        }
        progress[std::size_t(i)] = Progress::Started;
        ++sentNotTaken;
        ++inFlight;
        auto t = std::make_unique<Transfer>();
        t->index = i;
        t->easy = curl_easy_init();
        if (t->easy == nullptr) {
            --inFlight;
            verdicts[std::size_t(i)] = Verdict::Failed;
            answers[i].failure = std::make_exception_ptr(
                ServiceError(QStringLiteral("Could not set up an HTTP request (libcurl failed to start).")));
            answered.notify_all();
            continue;
        }
        const FetchRequest& request = requests.at(i);
        t->url = request.url.toUtf8();
        t->body.budget = &budget;
        t->body.index = i;
        transfer::configure(t->easy, request.method, t->url, t->body, t->errorText, connectTimeoutMs, totalTimeoutMs);
        curl_multi_add_handle(multi, t->easy);
        underWay.emplace(t->easy, std::move(t));
    }
}

void ParallelFetch::State::run()
{
    std::map<CURL*, std::unique_ptr<Transfer>> underWay;
    while (true) {
        {
            const std::lock_guard lock(mutex);
            if (stopping || aborted())
                break;
            startRequests(underWay);
        }
        resumeWhereRoom(underWay);
        int running = 0;
        curl_multi_perform(multi, &running);
        int queued = 0;
        bool finished = false;
        while (CURLMsg* message = curl_multi_info_read(multi, &queued)) {
            if (message->msg != CURLMSG_DONE)
                continue;
            const auto found = underWay.find(message->easy_handle);
            if (found == underWay.end())
                continue;
            Transfer& t = *found->second;
            const CURLcode result = message->data.result;
            FetchAnswer answer;
            const FetchRequest& request = requests.at(t.index);
            try {
                answer.status = transfer::outcome(t.easy, result, t.body, t.errorText, request.method, request.url);
                answer.body = std::move(t.body.bytes);
                const qint64 reserved = std::exchange(t.body.reserved, 0);
                answer.room = std::shared_ptr<void>(nullptr, [share = budgetShare, reserved](void*) {
                    share->held -= reserved;
                });
            } catch (...) {
                answer.failure = std::current_exception();
            }
            bool noAnswer = false;
            if (answer.failure) {
                try {
                    std::rethrow_exception(answer.failure);
                } catch (const NoAnswerError&) {
                    noAnswer = true;
                } catch (...) {
                }
            }
            const Verdict verdict = !decides[std::size_t(t.index)] ? Verdict::Unknown
                                    : passed(answer)                 ? Verdict::Passed
                                                                     : Verdict::Failed;
            const int index = t.index;
            drop(t);
            {
                const std::lock_guard lock(mutex);
                --inFlight;
                verdicts[std::size_t(index)] = verdict;
                answers[index] = std::move(answer);
                if (noAnswer && afterNoAnswer == AfterNoAnswer::StartNoMore)
                    startNoMore = true;
            }
            underWay.erase(found);
            answered.notify_all();
            finished = true;
        }
        // An answer may have let the requests that depend on it go: they start at once.
        if (!finished)
            curl_multi_poll(multi, nullptr, 0, kAbortPollMs, nullptr);
    }
    for (auto& [easy, t] : underWay)
        drop(*t);
    answered.notify_all();
}

// A paused transfer goes on once the answers hold less than the cap, or when its answer is the
// one the job waits for.
void ParallelFetch::State::resumeWhereRoom(const std::map<CURL*, std::unique_ptr<Transfer>>& underWay)
{
    for (const auto& [easy, t] : underWay) {
        if (!t->body.paused)
            continue;
        if (!budget.roomFor(0) && t->index != budget.nextWanted.load())
            continue;
        t->body.paused = false;
        curl_easy_pause(easy, CURLPAUSE_CONT);   // may pause it again at once
    }
}

// Ends a transfer; what its buffer held is free again unless the answer went on to the job.
void ParallelFetch::State::drop(Transfer& t)
{
    curl_multi_remove_handle(multi, t.easy);
    transfer::forgetBuffers(t.easy);
    curl_easy_cleanup(t.easy);
    budget.held -= std::exchange(t.body.reserved, 0);
    t.body.bytes = QByteArray();
}

} // namespace racr
