#include "webservice/xmldocument.h"

#include "common/error.h"
#include "webservice/libxmlsupport.h"

#include <libxml/parser.h>
#include <libxml/xmlsave.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <cstring>
#include <malloc.h>
#include <memory>
#include <new>
#include <mutex>
#include <utility>

namespace racr {

namespace {

// The service sends no namespaces today; should it, a tag is matched with its prefix, as the
// name appears in the answer.
bool hasTag(const xmlNode* node, const QByteArray& tag)
{
    if (node->ns != nullptr && node->ns->prefix != nullptr) {
        const QByteArray qualified = QByteArray(reinterpret_cast<const char*>(node->ns->prefix)) + ':'
                                     + reinterpret_cast<const char*>(node->name);
        return qualified == tag;
    }
    return xmlStrEqual(node->name, detail::xmlChars(tag));
}

// Stops the parser at a document type declaration, before any entity of it is declared.
void refuseDocumentType(void* context, const xmlChar*, const xmlChar*, const xmlChar*)
{
    auto* parser = static_cast<xmlParserCtxtPtr>(context);
    *static_cast<bool*>(parser->_private) = true;
    xmlStopParser(parser);
}

// An answer handed to libxml2 a piece at a time. Once the parse took more memory than its
// limit, the next piece is an error that ends the parse: a few kilobytes of input make at most a
// few hundred kilobytes of tree, so the tree stays near the limit.
struct BodyReader {
    const QByteArray& body;
    detail::LibxmlLimit& limit;
    qsizetype at = 0;

    static int read(void* context, char* buffer, int length)
    {
        auto* reader = static_cast<BodyReader*>(context);
        if (reader->limit.reached())
            return -1;
        const qsizetype piece = std::min<qsizetype>(length, reader->body.size() - reader->at);
        std::memcpy(buffer, reader->body.constData() + reader->at, std::size_t(piece));
        reader->at += piece;
        return int(piece);
    }
};

QString noDocumentHint()
{
    return QStringLiteral(" The service's answer was not an XML document; check that the setting "
                          "servicebase points at the statistics service.");
}

} // namespace

namespace detail {

namespace {

std::atomic<qint64> g_libxmlBytes = 0;
thread_local LibxmlLimit* t_limit = nullptr;

} // namespace

// libxml2's allocation functions, counting what each block really takes (the allocator's size,
// so a block is given back exactly as it was counted, on any thread).
struct LibxmlCounting {
    static void counted(qint64 change)
    {
        g_libxmlBytes += change;
        if (t_limit != nullptr)
            t_limit->m_taken += change;
    }
    static void* allocate(size_t size)
    {
        void* block = std::malloc(size);
        if (block != nullptr)
            counted(qint64(malloc_usable_size(block)));
        return block;
    }
    static void* reallocate(void* block, size_t size)
    {
        const qint64 before = block != nullptr ? qint64(malloc_usable_size(block)) : 0;
        void* moved = std::realloc(block, size);
        if (moved != nullptr)
            counted(qint64(malloc_usable_size(moved)) - before);
        return moved;
    }
    static void release(void* block)
    {
        if (block == nullptr)
            return;
        counted(-qint64(malloc_usable_size(block)));
        std::free(block);
    }
    static char* duplicate(const char* text)
    {
        const size_t size = std::strlen(text) + 1;
        auto* copy = static_cast<char*>(allocate(size));
        if (copy != nullptr)
            std::memcpy(copy, text, size);
        return copy;
    }
};

void initLibxml()
{
    static std::once_flag once;
    std::call_once(once, [] {
        xmlMemSetup(LibxmlCounting::release, LibxmlCounting::allocate, LibxmlCounting::reallocate,
                    LibxmlCounting::duplicate);
        xmlInitParser();
    });
}

qint64 libxmlBytes()
{
    // Blocks libxml2 took before its functions were set (none the program knows of) would be
    // given back uncounted.
    return std::max<qint64>(0, g_libxmlBytes.load());
}

LibxmlLimit::LibxmlLimit(qint64 limit) : m_limit(limit), m_outer(t_limit)
{
    t_limit = this;
}

LibxmlLimit::~LibxmlLimit()
{
    t_limit = m_outer;
}

xmlDocPtr parseWellFormed(const QString& text, const QString& what)
{
    detail::initLibxml();
    const QByteArray utf8 = text.toUtf8();
    std::unique_ptr<xmlParserCtxt, decltype(&xmlFreeParserCtxt)> ctxt(xmlNewParserCtxt(), xmlFreeParserCtxt);
    if (!ctxt)
        throw ServiceError(QStringLiteral("Out of memory while reading %1.").arg(what));
    xmlDocPtr doc = xmlCtxtReadMemory(ctxt.get(), utf8.constData(), int(utf8.size()), nullptr, "UTF-8",
                                      XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING);
    if (doc == nullptr) {
        const xmlError& error = ctxt->lastError;
        const QString reason = error.message ? QString::fromUtf8(error.message).trimmed()
                                             : QStringLiteral("not well-formed");
        throw ServiceError(QStringLiteral("%1 is not well-formed XML (line %2: %3).")
                               .arg(what).arg(error.line).arg(reason));
    }
    return doc;
}

} // namespace detail

XmlDocument::~XmlDocument()
{
    reset(nullptr);
}

XmlDocument::XmlDocument(XmlDocument&& other) noexcept
    : m_doc(std::exchange(other.m_doc, nullptr)), m_loadProblem(std::move(other.m_loadProblem)),
      m_byTag(std::move(other.m_byTag))
{
}

XmlDocument& XmlDocument::operator=(XmlDocument&& other) noexcept
{
    if (this != &other) {
        reset(std::exchange(other.m_doc, nullptr));
        m_loadProblem = std::move(other.m_loadProblem);
        m_byTag = std::move(other.m_byTag);
        other.m_byTag.clear();
    }
    return *this;
}

void XmlDocument::reset(_xmlDoc* doc)
{
    if (m_doc != nullptr)
        xmlFreeDoc(m_doc);
    m_doc = doc;
    m_byTag.clear();
    m_loadProblem.clear();
}

void XmlDocument::load(const QByteArray& body)
{
    detail::initLibxml();
    // The previous tree goes first: an answer's tree is counted alone against its limit.
    reset(nullptr);
    std::unique_ptr<xmlParserCtxt, decltype(&xmlFreeParserCtxt)> ctxt(xmlNewParserCtxt(), xmlFreeParserCtxt);
    if (!ctxt)
        throw std::bad_alloc();
    bool hasDocumentType = false;
    ctxt->_private = &hasDocumentType;
    ctxt->sax->internalSubset = refuseDocumentType;
    // Read in pieces rather than from memory: libxml2 copies a whole buffer given to it, which
    // would hold every answer twice while it is read.
    detail::LibxmlLimit limit(kMaxDocumentBytes);
    BodyReader reader{body, limit};
    // NONET: an answer must not make us fetch anything else (external DTDs, entities).
    xmlDocPtr doc = xmlCtxtReadIO(ctxt.get(), BodyReader::read, nullptr, &reader, nullptr, nullptr,
                                  XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING);
    if (limit.reached()) {
        if (doc != nullptr)
            xmlFreeDoc(doc);
        m_loadProblem = QStringLiteral("a document of more than %1 MB once read").arg(kMaxDocumentBytes / (1024 * 1024));
        return;
    }
    if (hasDocumentType) {
        if (doc != nullptr)
            xmlFreeDoc(doc);
        m_loadProblem = QStringLiteral("a DTD");
        return;
    }
    if (doc == nullptr) {
        m_loadProblem = QStringLiteral("not well-formed XML");
        return;
    }
    reset(doc);
}

QString XmlDocument::rootName() const
{
    const xmlNode* root = m_doc ? xmlDocGetRootElement(m_doc) : nullptr;
    return root ? detail::fromXmlChars(root->name) : QString();
}

void XmlDocument::loadXml(const QString& text)
{
    reset(detail::parseWellFormed(text, QStringLiteral("The text")));
}

bool XmlDocument::hasRoot() const
{
    return m_doc != nullptr && xmlDocGetRootElement(m_doc) != nullptr;
}

const QVector<xmlNode*>& XmlDocument::elements(const QString& tag) const
{
    auto found = m_byTag.constFind(tag);
    if (found != m_byTag.constEnd())
        return *found;
    QVector<xmlNode*> matches;
    const QByteArray name = tag.toUtf8();
    // Pre-order walk without recursion: document order, and no stack limit on deep answers.
    xmlNode* node = m_doc ? xmlDocGetRootElement(m_doc) : nullptr;
    while (node != nullptr) {
        if (hasTag(node, name))
            matches.append(node);
        if (xmlNode* child = xmlFirstElementChild(node)) {
            node = child;
            continue;
        }
        while (node != nullptr && xmlNextElementSibling(node) == nullptr)
            node = node->parent && node->parent->type == XML_ELEMENT_NODE ? node->parent : nullptr;
        if (node != nullptr)
            node = xmlNextElementSibling(node);
    }
    return *m_byTag.insert(tag, matches);
}

int XmlDocument::count(const QString& tag) const
{
    return int(elements(tag).size());
}

xmlNode* XmlDocument::element(const QString& tag, int index) const
{
    const QVector<xmlNode*>& list = elements(tag);
    if (list.isEmpty()) {
        QString message = QStringLiteral("The service's answer has no \"%1\" element.").arg(tag);
        if (m_loadProblem == QLatin1String("a DTD"))
            message += QStringLiteral(" It carried a document type declaration (DTD), which the statistics service "
                                      "never sends, and was refused.");
        else if (!hasRoot())
            message += noDocumentHint();
        throw ServiceError(message);
    }
    if (index < 0 || index >= list.size())
        throw ServiceError(QStringLiteral("The service's answer has %1 \"%2\" element(s); number %3 was asked for.")
                               .arg(list.size()).arg(tag).arg(index + 1));
    return list.at(index);
}

QString XmlDocument::attribute(const QString& tag, int index, const QString& name) const
{
    xmlNode* node = element(tag, index);
    const std::unique_ptr<xmlChar, detail::XmlFree> value(xmlGetProp(node, detail::xmlChars(name.toUtf8())));
    if (!value)
        throw ServiceError(QStringLiteral("The \"%1\" element number %2 of the service's answer has no \"%3\" attribute.")
                               .arg(tag).arg(index + 1).arg(name));
    return detail::fromXmlChars(value.get());
}

QString XmlDocument::text(const QString& tag, int index) const
{
    xmlNode* node = element(tag, index);
    const std::unique_ptr<xmlChar, detail::XmlFree> content(xmlNodeGetContent(node));
    return content ? detail::fromXmlChars(content.get()) : QString();
}

void XmlDocument::appendToRoot(const QString& element, const QList<QPair<QString, QString>>& attributes)
{
    xmlNode* root = m_doc ? xmlDocGetRootElement(m_doc) : nullptr;
    if (root == nullptr)
        throw ServiceError(QStringLiteral("Cannot add the \"%1\" element: the document has no root element.")
                               .arg(element)
                           + noDocumentHint());
    xmlNode* node = xmlNewDocNode(m_doc, nullptr, detail::xmlChars(element.toUtf8()), nullptr);
    // xmlSetProp stores the value as text (escaped on output), never as markup.
    for (const auto& [name, value] : attributes)
        xmlSetProp(node, detail::xmlChars(name.toUtf8()), detail::xmlChars(value.toUtf8()));
    xmlAddChild(root, node);
    m_byTag.clear();
}

QString XmlDocument::rootXml() const
{
    xmlNode* root = m_doc ? xmlDocGetRootElement(m_doc) : nullptr;
    if (root == nullptr)
        return QString();
    std::unique_ptr<xmlBuffer, decltype(&xmlBufferFree)> buffer(xmlBufferCreate(), xmlBufferFree);
    // Saved as UTF-8 so that non-ASCII names come out as letters, not character references.
    xmlSaveCtxtPtr save = xmlSaveToBuffer(buffer.get(), "UTF-8", XML_SAVE_NO_DECL);
    xmlSaveTree(save, root);
    xmlSaveClose(save);
    return QString::fromUtf8(reinterpret_cast<const char*>(xmlBufferContent(buffer.get())),
                             xmlBufferLength(buffer.get()));
}

} // namespace racr
