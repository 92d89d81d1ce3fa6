#pragma once

#include <QByteArray>
#include <QString>

#include <libxml/globals.h>
#include <libxml/tree.h>

// Helpers shared by the document and stylesheet classes; not part of the public interface.
namespace racr::detail {

// Before any other use of libxml2: counts its memory (see libxmlBytes) and initialises it.
void initLibxml();

// What libxml2 holds at this moment in the whole process: the documents read from answers
// among it, which the room of the answers in flight (ParallelFetch) counts.
qint64 libxmlBytes();

// While one lives, counts what libxml2 takes on this thread, so that a parse can be stopped once
// it took more than `limit` bytes. libxml2 2.9 does not reliably survive an allocation that fails,
// so nothing is refused: the parse's reader stops it (see XmlDocument::load).
class LibxmlLimit {
public:
    explicit LibxmlLimit(qint64 limit);
    ~LibxmlLimit();
    LibxmlLimit(const LibxmlLimit&) = delete;
    LibxmlLimit& operator=(const LibxmlLimit&) = delete;
    // Whether the parse took more than its limit; once true, it stays so.
    bool reached()
    {
        m_reached = m_reached || m_taken > m_limit;
        return m_reached;
    }

private:
    friend struct LibxmlCounting;
    qint64 m_limit;
    qint64 m_taken = 0;
    bool m_reached = false;
    LibxmlLimit* m_outer;
};

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
