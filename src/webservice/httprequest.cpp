#include "webservice/httprequest.h"

#include "common/error.h"
#include "webservice/xmldocument.h"

#include <curl/curl.h>

#include <mutex>
#include <new>

namespace racr {

namespace {

CURL* handle(void* curl)
{
    return static_cast<CURL*>(curl);
}

// Where an answer's body goes. Returning less than was offered makes libcurl abort the transfer;
// nothing may be thrown through its C frames.
struct Body {
    QByteArray bytes;
    bool tooLarge = false;
    bool outOfMemory = false;
};

size_t appendBody(char* data, size_t size, size_t count, void* userData)
{
    auto* body = static_cast<Body*>(userData);
    const size_t length = size * count;
    if (length > size_t(HttpRequest::kMaxAnswerBytes - body->bytes.size())) {
        body->tooLarge = true;
        return 0;
    }
    try {
        body->bytes.append(data, qsizetype(length));
    } catch (const std::bad_alloc&) {
        body->outOfMemory = true;
        return 0;
    }
    return length;
}

} // namespace

HttpRequest::HttpRequest()
{
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
    m_curl = curl_easy_init();
    m_multi = curl_multi_init();
    if (m_curl == nullptr || m_multi == nullptr) {
        curl_easy_cleanup(handle(m_curl));
        curl_multi_cleanup(static_cast<CURLM*>(m_multi));
        throw ServiceError(QStringLiteral("Could not set up an HTTP request (libcurl failed to start)."));
    }
}

HttpRequest::~HttpRequest()
{
    curl_easy_cleanup(handle(m_curl));
    curl_multi_cleanup(static_cast<CURLM*>(m_multi));
}

int HttpRequest::perform()
{
    // Driven step by step rather than by curl_easy_perform, so that the abort flag is looked at
    // every tenth of a second even while the service sends nothing. The multi handle keeps the
    // connection for the next request.
    constexpr int kAbortPollMs = 100;
    CURL* curl = handle(m_curl);
    auto* multi = static_cast<CURLM*>(m_multi);
    const auto aborted = [this] { return m_abort != nullptr && m_abort->load(); };
    if (aborted())
        throw Cancelled();
    if (curl_multi_add_handle(multi, curl) != CURLM_OK)
        return CURLE_FAILED_INIT;
    CURLcode result = CURLE_FAILED_INIT;
    bool done = false;
    bool stopped = false;
    while (!done) {
        int running = 0;
        if (curl_multi_perform(multi, &running) != CURLM_OK)
            break;
        int queued = 0;
        while (CURLMsg* message = curl_multi_info_read(multi, &queued)) {
            if (message->msg == CURLMSG_DONE) {
                result = message->data.result;
                done = true;
            }
        }
        if (done)
            break;
        if (aborted()) {
            stopped = true;
            break;
        }
        if (curl_multi_poll(multi, nullptr, 0, kAbortPollMs, nullptr) != CURLM_OK)
            break;
    }
    curl_multi_remove_handle(multi, curl);
    if (stopped)
        throw Cancelled();
    return result;
}

void HttpRequest::open(const QString& method, const QString& url)
{
    if (method != QLatin1String("GET") && method != QLatin1String("POST"))
        throw ServiceError(QStringLiteral("The statistics service is asked with GET or POST, not \"%1\".").arg(method));
    m_method = method;
    m_url = url;
}

void HttpRequest::setTimeouts(int connectMs, int totalMs)
{
    m_connectTimeoutMs = connectMs;
    m_totalTimeoutMs = totalMs;
}

QByteArray HttpRequest::send()
{
    if (m_url.isEmpty())
        throw ServiceError(QStringLiteral("No address was given for the request to the statistics service."));
    CURL* curl = handle(m_curl);
    const QByteArray url = m_url.toUtf8();
    Body body;
    m_status = 0;
    char errorText[CURL_ERROR_SIZE] = {};

    curl_easy_setopt(curl, CURLOPT_URL, url.constData());
    if (m_method == QLatin1String("POST")) {
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
    curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT_MS, long(m_connectTimeoutMs));
    curl_easy_setopt(curl, CURLOPT_TIMEOUT_MS, long(m_totalTimeoutMs));
    curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, appendBody);
    curl_easy_setopt(curl, CURLOPT_WRITEDATA, &body);
    curl_easy_setopt(curl, CURLOPT_ERRORBUFFER, errorText);

    // The buffers above die with this call; the handle must not keep pointers to them.
    const auto forgetBuffers = [curl] {
        curl_easy_setopt(curl, CURLOPT_ERRORBUFFER, nullptr);
        curl_easy_setopt(curl, CURLOPT_WRITEDATA, nullptr);
    };
    CURLcode result = CURLE_OK;
    try {
        result = CURLcode(perform());
    } catch (...) {
        forgetBuffers();
        throw;
    }
    forgetBuffers();
    if (body.tooLarge)
        throw AnswerTooLargeError(QStringLiteral("The statistics service's answer to %1 %2 is larger than %3 MB, "
                                                 "far more than any real answer; it was refused.")
                                      .arg(m_method, m_url)
                                      .arg(kMaxAnswerBytes / (1024 * 1024)));
    if (body.outOfMemory)
        throw std::bad_alloc();
    if (result != CURLE_OK) {
        const QString reason = errorText[0] ? QString::fromUtf8(errorText) : QString::fromUtf8(curl_easy_strerror(result));
        throw NoAnswerError(QStringLiteral("The statistics service did not answer %1 %2: %3. Check that the service "
                                          "is running and that the setting servicebase points at it.")
                               .arg(m_method, m_url, reason));
    }
    long status = 0;
    curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &status);
    m_status = int(status);
    return std::move(body.bytes);
}

int fetch(HttpRequest& request, XmlDocument& document, const QString& method, const QString& url)
{
    request.open(method, url);
    document.load(request.send());
    return request.status();
}

} // namespace racr
