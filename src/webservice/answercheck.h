#pragma once

#include <QString>

namespace racr {

class XmlDocument;

// Why a fetched answer is not a document of the service, in a few words for a log line:
// "HTTP 500", "not well-formed XML", "a DTD", "root element <html>"; empty when it is one.
// An error page is never read as data, whatever elements it happens to hold. Any other root
// passes: the readers take their elements wherever the document holds them, so a well-formed
// answer whose root is not the usual one still gives its records.
QString answerProblem(int httpStatus, const XmlDocument& document);

} // namespace racr
