#pragma once

#include <QTextBrowser>

// The page area of the viewers. ShowHtmlText replaces the shown page with a complete HTML
// document; an empty text gives an empty page. Links are not followed inside the view.
class HtmlView : public QTextBrowser {
    Q_OBJECT

public:
    explicit HtmlView(QWidget* parent = nullptr);

    // The page is handed over as Unicode text; the charset its head declares is the one it
    // was written in, so the declaration and the text agree.
    void ShowHtmlText(const QString& html);

    // The error page in place of the page; the reason is shown when the pointer rests on it.
    void showErrorPage(const QString& reason);

    // Counts the changes of the shown page: what assistive technology was told of a page is
    // read again when this moved on.
    int pageNumber() const { return m_pageNumber; }

private:
    int m_pageNumber = 0;
};

// The scroll bars of a page or text area draw their thumb so that it stands out from the empty
// track (and from a white page), at the place that matches the text shown.
void markScrollThumbs(QAbstractScrollArea* area);
