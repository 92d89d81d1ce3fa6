#pragma once

#include <QString>

namespace racr {

class XmlDocument;

// Why a fetched answer is not a document of the service, in a few words for a log line:
// "HTTP 500", "not well-formed XML", "a DTD", "root element <html>"; empty when it is one.
// An error page is never read as data, whatever elements it happens to hold. With
// `expectedRoot` empty any root passes but the error pages' html and error.
QString answerProblem(int httpStatus, const XmlDocument& document, const QString& expectedRoot = {});

} // namespace racr
