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

// The bytes that the answers of several transfers hold together (HttpRequest::kMaxHeldBytes).
struct Budget {
    std::atomic<qint64> held = 0;
    std::atomic<int> nextWanted = 0;   // the index of the answer the job takes next
    qint64 cap = 0;
};

// Where an answer's body goes. Returning less than was offered makes libcurl abort the transfer;
// nothing may be thrown through its C frames. With a budget, a transfer that would take it past
// its cap is paused (unless its answer is the one wanted next) until resumed with curl_easy_pause.
struct Body {
    QByteArray bytes;
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
