#pragma once

#include <QString>

namespace racr {

class XmlDocument;

// The day's events as a table, sorted by track name, with the class letters each admits.
// Throws ServiceError when the answer is not an XML document.
QString eventsPage(const XmlDocument& answer);

} // namespace racr
