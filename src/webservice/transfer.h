#pragma once

#include <QByteArray>
#include <QString>

#include <curl/curl.h>

#include <atomic>

// What every transfer to the statistics service shares, one at a time (HttpRequest) or several
// at once (ParallelFetch). Not part of the public interface.
namespace racr::transfer {

// Once per process, before the first handle.
void initLibcurl();

// The room the answers of several transfers share (HttpRequest::kMaxHeldBytes): their buffers
// while they arrive and after they are handed out until the job drops them, and the documents
// libxml2 holds. The answer the job takes next and the document it reads are never held back
// (the job waits for them); so that they still fit, the other transfers wait for room once
// everything together holds the cap less what those two may take.
struct Budget {
    std::atomic<qint64> held = 0;      // the answers' buffers
    std::atomic<int> nextWanted = 0;   // the index of the answer the job takes next
    qint64 cap = 0;

    qint64 inUse() const;
    // Whether a transfer that is not wanted next may take `more` bytes now.
    bool roomFor(qint64 more) const;
};

// Where an answer's body goes. Returning less than was offered makes libcurl abort the transfer;
// nothing may be thrown through its C frames. The buffer grows in steps that are counted
// before they are taken; with a budget, a transfer whose step would not fit is paused (unless
// its answer is the one wanted next) until resumed with curl_easy_pause.
struct Body {
    QByteArray bytes;
    qsizetype reserved = 0;   // the buffer's size as counted: its capacity
    bool tooLarge = false;
    bool outOfMemory = false;
    Budget* budget = nullptr;
    int index = 0;
    bool paused = false;
};

// Sets the options of the program's requests on `curl`: the address, GET or POST with an empty
// body, web protocols only, redirects, any content encoding (capped after decoding), the
// time-outs. `url`, `body` and `errorText` (CURL_ERROR_SIZE bytes) must outlive the transfer.
void configure(CURL* curl, const QString& method, const QByteArray& url, Body& body, char* errorText,
               int connectTimeoutMs, int totalTimeoutMs);
// Drops the handle's pointers to the buffers given to configure().
void forgetBuffers(CURL* curl);

// After a finished transfer: throws AnswerTooLargeError, NoAnswerError or std::bad_alloc when
// there is no answer to read; returns the HTTP status otherwise.
int outcome(CURL* curl, CURLcode result, const Body& body, const char* errorText, const QString& method,
            const QString& url);

} // namespace racr::transfer
