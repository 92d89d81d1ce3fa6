#pragma once

#include <QByteArray>
#include <QString>

#include <atomic>

namespace racr {

class XmlDocument;

// A synchronous HTTP request to the statistics service. One object serves a whole job so that
// its connection is kept alive from one request to the next.
class HttpRequest {
public:
    static constexpr int kDefaultConnectTimeoutMs = 10'000;
    static constexpr int kDefaultTotalTimeoutMs = 60'000;
    // The largest answer taken, after decoding. The service's largest real answers (a leaderboard
    // of a few thousand records) are well under 2 MB; a compressed answer that would grow past
    // this is refused instead of filling the memory.
    static constexpr qsizetype kMaxAnswerBytes = 64 * 1024 * 1024;
    // The most that the answers of several requests under way (ParallelFetch) hold together:
    // every copy of an answer counts, its buffer while it arrives (after decoding) and after the
    // job took it until the job drops it, and the documents read from them. The answer the job
    // needs next and the document it reads always go on; the other transfers wait for room once
    // all together hold this less what those two may take, and no further request starts.
    static constexpr qsizetype kMaxHeldBytes = 256 * 1024 * 1024;

    HttpRequest();
    ~HttpRequest();
    HttpRequest(const HttpRequest&) = delete;
    HttpRequest& operator=(const HttpRequest&) = delete;

    // method is "GET" or "POST"; a POST carries an empty body.
    void open(const QString& method, const QString& url);
    // The body whatever the HTTP status: callers read error pages like any other answer.
    // Throws NoAnswerError when no answer arrives (no connection, dropped, timed out) and
    // AnswerTooLargeError for an answer over kMaxAnswerBytes.
    QByteArray send();
    // The HTTP status of the last answer sent (200, 404, 500, ...).
    int status() const { return m_status; }

    // A silent service must not block the program for ever; tests shorten these.
    void setTimeouts(int connectMs, int totalMs);

    // Once `*flag` turns true (from any thread, or a signal handler), the transfer in progress
    // ends within a tenth of a second and send() throws racr::Cancelled. Null: never stopped.
    void setAbortFlag(const std::atomic<bool>* flag) { m_abort = flag; }

private:
    int perform();   // the transfer; libcurl's result code

    void* m_curl = nullptr;
    void* m_multi = nullptr;
    const std::atomic<bool>* m_abort = nullptr;
    QString m_method;
    QString m_url;
    int m_connectTimeoutMs = kDefaultConnectTimeoutMs;
    int m_totalTimeoutMs = kDefaultTotalTimeoutMs;
    int m_status = 0;
};

// open + send + load the answer into the caller's document; returns the answer's HTTP status.
int fetch(HttpRequest& request, XmlDocument& document, const QString& method, const QString& url);

} // namespace racr
