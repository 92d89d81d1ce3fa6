#pragma once

#include <QString>

struct _xsltStylesheet;

namespace racr {

class XmlDocument;

// An XSLT 1.0 stylesheet the program carries as text, parsed once and applied to many answers.
class XslStylesheet {
public:
    explicit XslStylesheet(const QString& text);
    ~XslStylesheet();
    XslStylesheet(const XslStylesheet&) = delete;
    XslStylesheet& operator=(const XslStylesheet&) = delete;

    // The output serialised as the stylesheet's output method says (HTML for ours), always in
    // UTF-8 and declared so, then decoded.
    QString transform(const XmlDocument& document) const;

private:
    _xsltStylesheet* m_style = nullptr;
};

} // namespace racr
