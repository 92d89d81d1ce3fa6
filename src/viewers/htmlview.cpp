#include "htmlview.h"

HtmlView::HtmlView(QWidget* parent) : QTextBrowser(parent)
{
    setOpenLinks(false);
    setOpenExternalLinks(false);
}

void HtmlView::ShowHtmlText(const QString& html)
{
    setHtml(html);
}
