#include "webservice/httprequest.h"

#include "common/error.h"
#include "webservice/transfer.h"
#include "webservice/xmldocument.h"

namespace racr {

namespace {

CURL* handle(void* curl)
{
    return static_cast<CURL*>(curl);
}

} // namespace

HttpRequest::HttpRequest()
{
    transfer::initLibcurl();
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
    transfer::Body body;
    m_status = 0;
    char errorText[CURL_ERROR_SIZE] = {};
    transfer::configure(curl, m_method, url, body, errorText, m_connectTimeoutMs, m_totalTimeoutMs);
    // The buffers above die with this call; the handle must not keep pointers to them.
    CURLcode result = CURLE_OK;
    try {
        result = CURLcode(perform());
    } catch (...) {
        transfer::forgetBuffers(curl);
        throw;
    }
    transfer::forgetBuffers(curl);
    m_status = transfer::outcome(curl, result, body, errorText, m_method, m_url);
    return std::move(body.bytes);
}

int fetch(HttpRequest& request, XmlDocument& document, const QString& method, const QString& url)
{
    request.open(method, url);
    document.load(request.send());
    return request.status();
}

} // namespace racr
