#include "webservice/transfer.h"

#include "common/error.h"
#include "webservice/httprequest.h"
#include "webservice/libxmlsupport.h"
#include "webservice/xmldocument.h"

#include <algorithm>
#include <mutex>
#include <new>

namespace racr::transfer {

namespace {

// The first step of a buffer; each further one doubles it, up to the largest answer.
constexpr qsizetype kFirstStep = 64 * 1024;
// libcurl's read size for the transfers of a budget (its smallest).
constexpr long kPausedReadBytes = 1024;

size_t appendBody(char* data, size_t size, size_t count, void* userData)
{
    auto* body = static_cast<Body*>(userData);
    const size_t length = size * count;
    if (length > size_t(HttpRequest::kMaxAnswerBytes - body->bytes.size())) {
        body->tooLarge = true;
        return 0;
    }
    const qsizetype needed = body->bytes.size() + qsizetype(length);
    if (needed > body->reserved) {
        const qsizetype grown = std::min(HttpRequest::kMaxAnswerBytes, std::max({needed, 2 * body->reserved, kFirstStep}));
        const qint64 more = grown - body->reserved;
        Budget* budget = body->budget;
        if (budget != nullptr && body->index != budget->nextWanted.load() && !budget->roomFor(more)) {
            body->paused = true;
            return CURL_WRITEFUNC_PAUSE;
        }
        try {
            body->bytes.reserve(grown);
        } catch (const std::bad_alloc&) {
            body->outOfMemory = true;
            return 0;
        }
        if (budget != nullptr)
            budget->held += more;
        body->reserved = grown;
    }
    body->bytes.append(data, qsizetype(length));
    return length;
}

} // namespace

qint64 Budget::inUse() const
{
    return held.load() + detail::libxmlBytes();
}

bool Budget::roomFor(qint64 more) const
{
    return inUse() + more <= cap - HttpRequest::kMaxAnswerBytes - XmlDocument::kMaxDocumentBytes;
}

void initLibcurl()
{
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

void configure(CURL* curl, const QString& method, const QByteArray& url, Body& body, char* errorText,
               int connectTimeoutMs, int totalTimeoutMs)
{
    curl_easy_setopt(curl, CURLOPT_URL, url.constData());
    // A driver may be named "." or "..": its escaped name is a name, and newer libcurl would drop
    // it as a dot segment and ask another address.
    curl_easy_setopt(curl, CURLOPT_PATH_AS_IS, 1L);
    if (method == QLatin1String("POST")) {
        curl_easy_setopt(curl, CURLOPT_POST, 1L);
        curl_easy_setopt(curl, CURLOPT_POSTFIELDS, "");
        curl_easy_setopt(curl, CURLOPT_POSTFIELDSIZE, 0L);
    } else {
        curl_easy_setopt(curl, CURLOPT_HTTPGET, 1L);
    }
    // The address comes from a settings file: only web addresses, never file:// and the like.
    curl_easy_setopt(curl, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(curl, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(curl, CURLOPT_FOLLOWLOCATION, 1L);
    curl_easy_setopt(curl, CURLOPT_MAXREDIRS, 10L);
    curl_easy_setopt(curl, CURLOPT_ACCEPT_ENCODING, "");
    curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT_MS, long(connectTimeoutMs));
    curl_easy_setopt(curl, CURLOPT_TIMEOUT_MS, long(totalTimeoutMs));
    // A paused transfer keeps what libcurl already decoded of its last read; with a small read a
    // compressed answer cannot hold much there (a kilobyte of gzip decodes to a megabyte at most),
    // so the paused transfers stay within what the budget allows for them.
    if (body.budget != nullptr)
        curl_easy_setopt(curl, CURLOPT_BUFFERSIZE, kPausedReadBytes);
    curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, appendBody);
    curl_easy_setopt(curl, CURLOPT_WRITEDATA, &body);
    errorText[0] = '\0';
    curl_easy_setopt(curl, CURLOPT_ERRORBUFFER, errorText);
}

void forgetBuffers(CURL* curl)
{
    curl_easy_setopt(curl, CURLOPT_ERRORBUFFER, nullptr);
    curl_easy_setopt(curl, CURLOPT_WRITEDATA, nullptr);
}

int outcome(CURL* curl, CURLcode result, const Body& body, const char* errorText, const QString& method,
            const QString& url)
{
    if (body.tooLarge)
        throw AnswerTooLargeError(QStringLiteral("The statistics service's answer to %1 %2 is larger than %3 MB, "
                                                 "far more than any real answer; it was refused.")
                                      .arg(method, url)
                                      .arg(HttpRequest::kMaxAnswerBytes / (1024 * 1024)));
    if (body.outOfMemory)
        throw std::bad_alloc();
    long status = 0;
    curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &status);
    if (result != CURLE_OK) {
        const QString reason = errorText[0] ? QString::fromUtf8(errorText) : QString::fromUtf8(curl_easy_strerror(result));
        // A service that began its answer was reached: it is the connection that broke off.
        if (status != 0 || !body.bytes.isEmpty())
            throw NoAnswerError(QStringLiteral("The statistics service stopped answering %1 %2 before the answer was "
                                               "complete: %3. Try again; if it keeps happening, check the service "
                                               "and the network.")
                                    .arg(method, url, reason));
        throw NoAnswerError(QStringLiteral("The statistics service did not answer %1 %2: %3. Check that the service "
                                           "is running and that the setting servicebase points at it.")
                                .arg(method, url, reason));
    }
    return int(status);
}

} // namespace racr::transfer
