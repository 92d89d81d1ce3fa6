#include "webservice/parallelfetch.h"

#include "common/error.h"
#include "webservice/httprequest.h"
#include "webservice/transfer.h"

#include <algorithm>
#include <condition_variable>
#include <map>
#include <mutex>
#include <thread>

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
    AfterNoAnswer afterNoAnswer = AfterNoAnswer::DropRestOfGroup;
    int groupSize = 1;
    transfer::Budget budget;
    int connectTimeoutMs = HttpRequest::kDefaultConnectTimeoutMs;
    int totalTimeoutMs = HttpRequest::kDefaultTotalTimeoutMs;

    CURLM* multi = nullptr;
    std::thread worker;

    std::mutex mutex;
    std::condition_variable answered;
    std::map<int, FetchAnswer> answers;   // finished, not yet handed out
    int handedOut = 0;                    // answers taken by next()
    bool stopping = false;                // the owner is going away
    bool startNoMore = false;             // a request got no answer and the job needs no later one

    bool aborted() const { return abort != nullptr && abort->load(); }
    void run();
    void dropRestOfGroup(int index, const std::exception_ptr& failure,
                         std::map<CURL*, std::unique_ptr<Transfer>>& underWay);
    void resumeWhereRoom(const std::map<CURL*, std::unique_ptr<Transfer>>& underWay);
    void drop(Transfer& t);
};

ParallelFetch::ParallelFetch(QList<FetchRequest> requests, int parallel, const std::atomic<bool>* abort,
                             AfterNoAnswer afterNoAnswer, int groupSize)
    : m_state(std::make_unique<State>())
{
    transfer::initLibcurl();
    State& s = *m_state;
    s.requests = std::move(requests);
    s.parallel = std::clamp(parallel, 1, kMaxParallel);
    s.abort = abort;
    s.afterNoAnswer = afterNoAnswer;
    s.groupSize = std::max(1, groupSize);
    s.budget.cap = HttpRequest::kMaxHeldBytes;
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
    s.budget.held -= answer.body.size();
    s.budget.nextWanted = s.handedOut;
    lock.unlock();
    curl_multi_wakeup(s.multi);   // room for the next request
    return answer;
}

void ParallelFetch::State::run()
{
    std::map<CURL*, std::unique_ptr<Transfer>> underWay;
    int started = 0;
    while (true) {
        {
            const std::lock_guard lock(mutex);
            if (stopping || aborted())
                break;
            // A request also waits while the answers under way hold all the room there is.
            while (started < requests.size() && started - handedOut < parallel && !startNoMore
                   && budget.held.load() < budget.cap) {
                if (answers.count(started) != 0) {   // settled by its group's silent request
                    ++started;
                    continue;
                }
                auto t = std::make_unique<Transfer>();
                t->index = started;
                t->easy = curl_easy_init();
                if (t->easy == nullptr) {
                    answers[started].failure = std::make_exception_ptr(
                        ServiceError(QStringLiteral("Could not set up an HTTP request (libcurl failed to start).")));
                    answered.notify_all();
                    ++started;
                    continue;
                }
                const FetchRequest& request = requests.at(started);
                t->url = request.url.toUtf8();
                t->body.budget = &budget;
                t->body.index = started;
                transfer::configure(t->easy, request.method, t->url, t->body, t->errorText, connectTimeoutMs,
                                    totalTimeoutMs);
                curl_multi_add_handle(multi, t->easy);
                underWay.emplace(t->easy, std::move(t));
                ++started;
            }
        }
        resumeWhereRoom(underWay);
        int running = 0;
        curl_multi_perform(multi, &running);
        int queued = 0;
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
            const int index = t.index;
            drop(t);
            underWay.erase(found);
            {
                // Once stored, the answer and its failure belong to next(): this thread keeps no
                // reference to them beyond the lock.
                const std::lock_guard lock(mutex);
                const FetchAnswer& stored = answers[index] = std::move(answer);
                if (noAnswer && afterNoAnswer == AfterNoAnswer::StartNoMore)
                    startNoMore = true;
                if (noAnswer && afterNoAnswer == AfterNoAnswer::DropRestOfGroup)
                    dropRestOfGroup(index, stored.failure, underWay);
            }
            answered.notify_all();
        }
        curl_multi_poll(multi, nullptr, 0, kAbortPollMs, nullptr);
    }
    for (auto& [easy, t] : underWay)
        drop(*t);
    answered.notify_all();
}

// A service that gave no answer to one request of a group would most likely keep the others
// waiting for their whole time-out too. Called with the mutex held.
void ParallelFetch::State::dropRestOfGroup(int index, const std::exception_ptr& failure,
                                           std::map<CURL*, std::unique_ptr<Transfer>>& underWay)
{
    const int end = std::min<int>((index / groupSize + 1) * groupSize, int(requests.size()));
    for (int later = index + 1; later < end; ++later) {
        if (answers.count(later) != 0)
            continue;
        for (auto it = underWay.begin(); it != underWay.end(); ++it) {
            if (it->second->index != later)
                continue;
            drop(*it->second);
            underWay.erase(it);
            break;
        }
        answers[later].failure = failure;
    }
}

// A paused transfer goes on once the answers hold less than the cap, or when its answer is the
// one the job waits for.
void ParallelFetch::State::resumeWhereRoom(const std::map<CURL*, std::unique_ptr<Transfer>>& underWay)
{
    for (const auto& [easy, t] : underWay) {
        if (!t->body.paused)
            continue;
        if (budget.held.load() >= budget.cap && t->index != budget.nextWanted.load())
            continue;
        t->body.paused = false;
        curl_easy_pause(easy, CURLPAUSE_CONT);   // may pause it again at once
    }
}

// Ends a transfer; what its answer held is free again unless the answer went on to the job.
void ParallelFetch::State::drop(Transfer& t)
{
    curl_multi_remove_handle(multi, t.easy);
    transfer::forgetBuffers(t.easy);
    curl_easy_cleanup(t.easy);
    budget.held -= t.body.bytes.size();
}

} // namespace racr
