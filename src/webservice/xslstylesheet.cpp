#include "webservice/xslstylesheet.h"

#include "common/error.h"
#include "webservice/libxmlsupport.h"
#include "webservice/xmldocument.h"

#include <libxslt/security.h>
#include <libxslt/transform.h>
#include <libxslt/xsltInternals.h>
#include <libxslt/xsltutils.h>

#include <cstdarg>
#include <memory>
#include <mutex>

namespace racr {

namespace {

// libxslt reports through a process-wide callback; collect the text per thread so that it can
// go into the error we throw instead of onto stderr.
thread_local QString collectedErrors;

void collectError(void*, const char* format, ...)
{
    va_list args;
    va_start(args, format);
    collectedErrors += QString::vasprintf(format, args);
    va_end(args);
}

void installErrorCollector()
{
    static std::once_flag once;
    std::call_once(once, [] { xsltSetGenericErrorFunc(nullptr, collectError); });
}

// XPath compilation reports through libxml2's per-thread callback; borrow it for the duration.
class LibxmlErrorsCollected {
public:
    LibxmlErrorsCollected() : m_handler(xmlGenericError), m_context(xmlGenericErrorContext)
    {
        xmlSetGenericErrorFunc(nullptr, collectError);
    }
    ~LibxmlErrorsCollected() { xmlSetGenericErrorFunc(m_context, m_handler); }
    LibxmlErrorsCollected(const LibxmlErrorsCollected&) = delete;
    LibxmlErrorsCollected& operator=(const LibxmlErrorsCollected&) = delete;

private:
    xmlGenericErrorFunc m_handler;
    void* m_context;
};

QString takeErrors()
{
    QString text = collectedErrors.simplified();
    collectedErrors.clear();
    return text.isEmpty() ? QStringLiteral("no further detail") : text;
}

} // namespace

XslStylesheet::XslStylesheet(const QString& text)
{
    installErrorCollector();
    xmlDocPtr doc = detail::parseWellFormed(text, QStringLiteral("The stylesheet"));
    const LibxmlErrorsCollected collecting;
    collectedErrors.clear();
    m_style = xsltParseStylesheetDoc(doc); // takes the document on success
    if (m_style == nullptr) {
        xmlFreeDoc(doc);
        throw ServiceError(QStringLiteral("The stylesheet is not valid XSLT 1.0: %1").arg(takeErrors()));
    }
    // Whatever encoding the stylesheet names, the program works in UTF-8 from end to end: the
    // page is serialised, and declares itself, as UTF-8.
    xmlFree(const_cast<xmlChar*>(m_style->encoding));
    m_style->encoding = xmlStrdup(reinterpret_cast<const xmlChar*>("UTF-8"));
}

XslStylesheet::~XslStylesheet()
{
    xsltFreeStylesheet(m_style);
}

QString XslStylesheet::transform(const XmlDocument& document) const
{
    if (!document.hasRoot())
        throw ServiceError(QStringLiteral("There is nothing to show: the service's answer was not an XML document. "
                                          "Check that the setting servicebase points at the statistics service."));
    const LibxmlErrorsCollected collecting;
    collectedErrors.clear();
    std::unique_ptr<xsltTransformContext, decltype(&xsltFreeTransformContext)> context(
        xsltNewTransformContext(m_style, document.handle()), xsltFreeTransformContext);
    std::unique_ptr<xsltSecurityPrefs, decltype(&xsltFreeSecurityPrefs)> prefs(xsltNewSecurityPrefs(),
                                                                              xsltFreeSecurityPrefs);
    if (!context || !prefs)
        throw ServiceError(QStringLiteral("Out of memory while preparing the page."));
    // A page is made from the answer alone: no files read or written, no network.
    for (xsltSecurityOption option : {XSLT_SECPREF_READ_FILE, XSLT_SECPREF_WRITE_FILE, XSLT_SECPREF_CREATE_DIRECTORY,
                                      XSLT_SECPREF_READ_NETWORK, XSLT_SECPREF_WRITE_NETWORK})
        xsltSetSecurityPrefs(prefs.get(), option, xsltSecurityForbid);
    xsltSetCtxtSecurityPrefs(prefs.get(), context.get());

    std::unique_ptr<xmlDoc, decltype(&xmlFreeDoc)> result(
        xsltApplyStylesheetUser(m_style, document.handle(), nullptr, nullptr, nullptr, context.get()), xmlFreeDoc);
    if (!result || context->state != XSLT_STATE_OK)
        throw ServiceError(QStringLiteral("The page could not be made from the service's answer: %1").arg(takeErrors()));

    xmlChar* output = nullptr;
    int length = 0;
    if (xsltSaveResultToString(&output, &length, result.get(), m_style) != 0)
        throw ServiceError(QStringLiteral("The page could not be written out: %1").arg(takeErrors()));
    const std::unique_ptr<xmlChar, detail::XmlFree> owned(output);
    return QString::fromUtf8(reinterpret_cast<const char*>(output), length);
}

} // namespace racr
