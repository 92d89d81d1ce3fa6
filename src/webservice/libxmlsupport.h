#pragma once

#include <QByteArray>
#include <QString>

#include <libxml/globals.h>
#include <libxml/tree.h>

// Helpers shared by the document and stylesheet classes; not part of the public interface.
namespace racr::detail {

// Parses text the program holds, decoded as UTF-8 whatever its declaration says (the text came
// from a QString). Throws ServiceError naming `what`, with libxml2's line and reason.
xmlDocPtr parseWellFormed(const QString& text, const QString& what);

struct XmlFree {
    void operator()(xmlChar* text) const { xmlFree(text); }
};

inline QString fromXmlChars(const xmlChar* text)
{
    return QString::fromUtf8(reinterpret_cast<const char*>(text));
}

inline const xmlChar* xmlChars(const QByteArray& utf8)
{
    return reinterpret_cast<const xmlChar*>(utf8.constData());
}

} // namespace racr::detail
