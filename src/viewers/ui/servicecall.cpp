#include "viewers/ui/servicecall.h"

#include "common/error.h"
#include "common/ui/responsive.h"
#include "webservice/httprequest.h"

namespace racr {

void fetchResponsive(HttpRequest& request, XmlDocument& document, const QString& method, const QString& url)
{
    // Raised when the program quits during the wait, so that it does not wait for the answer.
    std::atomic<bool> abort = false;
    request.setAbortFlag(&abort);
    try {
        runResponsive([&] { fetch(request, document, method, url); }, &abort);
    } catch (...) {
        request.setAbortFlag(nullptr);
        throw;
    }
    request.setAbortFlag(nullptr);
}

} // namespace racr
