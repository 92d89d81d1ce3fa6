#include "htmlview.h"

#include "viewers/pagetexts.h"

HtmlView::HtmlView(QWidget* parent) : QTextBrowser(parent)
{
    setOpenLinks(false);
    setOpenExternalLinks(false);
    // A page is drawn on white with black text whatever the desktop theme, as a browser does:
    // the pages set some colours of their own (grey table headers) and take the rest from the
    // theme, so a dark theme would put light text on them.
    QPalette page;
    page.setColor(QPalette::Base, Qt::white);
    page.setColor(QPalette::Text, Qt::black);
    page.setColor(QPalette::Link, Qt::blue);
    page.setColor(QPalette::LinkVisited, Qt::darkMagenta);
    setPalette(page);
    // The pages end each record with an empty paragraph: one blank line, not a wide gap. Tables
    // get single rules and room around the text.
    document()->setDefaultStyleSheet(QStringLiteral(
        "p { margin-top: 0; margin-bottom: 0; } h2 { margin-bottom: 4px; } "
        "table { border-collapse: collapse; border-style: solid; border-color: #a0a0a0; } "
        "th, td { padding: 3px 8px; border-color: #a0a0a0; }"));
}

void HtmlView::ShowHtmlText(const QString& html)
{
    setToolTip(QString());
    setHtml(html);
}

void HtmlView::showErrorPage(const QString& reason)
{
    setHtml(racr::errorPage());
    setToolTip(reason);
}
