#pragma once

#include <QString>

namespace racr {

class HttpRequest;
class XmlDocument;

// Sends one request and loads the answer into `document`, while the calling window keeps
// painting. User input is dropped until the answer is in, so a window cannot start a second
// request; a close request still arrives. Throws racr::Cancelled when the program quits meanwhile.
void fetchResponsive(HttpRequest& request, XmlDocument& document, const QString& method, const QString& url);

} // namespace racr
