#pragma once

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QPair>
#include <QString>
#include <QVector>

struct _xmlDoc;
struct _xmlNode;

namespace racr {

// One XML document from the statistics service. A job loads every answer into the same document;
// each load replaces the previous tree. Elements are found by tag name anywhere in the tree, in
// document order, the way the service's answers are read.
class XmlDocument {
public:
    // The most the tree of one answer may take (libxml2's own memory while reading it). The
    // service's real answers take a few MB; a larger one is refused as one that is too large.
    static constexpr qint64 kMaxDocumentBytes = 64 * 1024 * 1024;

    XmlDocument() = default;
    ~XmlDocument();
    XmlDocument(XmlDocument&& other) noexcept;
    XmlDocument& operator=(XmlDocument&& other) noexcept;
    XmlDocument(const XmlDocument&) = delete;
    XmlDocument& operator=(const XmlDocument&) = delete;

    // An answer that is not well-formed XML leaves a document without elements: the first read
    // from it fails, which is how callers notice error pages. So does an answer with a document
    // type declaration: the service never sends one, and its entities could make a small answer
    // expand into gigabytes. And so does an answer whose tree would take more than
    // kMaxDocumentBytes.
    void load(const QByteArray& body);
    // Why the last load left no document ("not well-formed XML", "a DTD", "a document of more than
    // 64 MB once read"); empty when it did not.
    QString loadProblem() const { return m_loadProblem; }
    // The root element's name; empty without a document.
    QString rootName() const;
    // Text the program itself holds (stylesheets): a fault in it is an error at once.
    void loadXml(const QString& text);

    bool hasRoot() const;
    int count(const QString& tag) const;
    QString attribute(const QString& tag, int index, const QString& name) const;
    QString text(const QString& tag, int index) const;
    void appendToRoot(const QString& element, const QList<QPair<QString, QString>>& attributes);
    QString rootXml() const;

    _xmlDoc* handle() const { return m_doc; }

private:
    void reset(_xmlDoc* doc);
    const QVector<_xmlNode*>& elements(const QString& tag) const;
    _xmlNode* element(const QString& tag, int index) const;

    _xmlDoc* m_doc = nullptr;
    QString m_loadProblem;
    // Readers ask for the same tags record after record; walking the tree once per tag keeps a
    // 1,000-record answer linear.
    mutable QHash<QString, QVector<_xmlNode*>> m_byTag;
};

} // namespace racr
