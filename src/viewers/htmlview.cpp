#include "htmlview.h"

#include "viewers/pagetexts.h"

HtmlView::HtmlView(QWidget* parent) : QTextBrowser(parent)
{
    setOpenLinks(false);
    setOpenExternalLinks(false);
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
