#include "viewers/ui/htmlview.h"

#include "viewers/ui/accessiblepage.h"
#include "viewers/pagetexts.h"

#include <QAccessible>
#include <QPainter>
#include <QProxyStyle>
#include <QScrollBar>
#include <QStyleOptionSlider>

namespace {

QColor blend(const QColor& from, const QColor& to, double share)
{
    return QColor::fromRgbF(from.redF() + (to.redF() - from.redF()) * share,
                            from.greenF() + (to.greenF() - from.greenF()) * share,
                            from.blueF() + (to.blueF() - from.blueF()) * share);
}

// The desktop style, except that the thumb is drawn between the track's colour and the text's:
// darker than the track on a light theme, lighter on a dark one. Some styles draw it lighter
// than its track, almost white; beside a white page the grey empty part of the track then reads
// as the thumb, at the bottom while the page shows its top.
class ScrollThumbStyle : public QProxyStyle {
public:
    void drawComplexControl(ComplexControl control, const QStyleOptionComplex* option, QPainter* painter,
                            const QWidget* widget) const override
    {
        const auto* bar = qstyleoption_cast<const QStyleOptionSlider*>(option);
        if (control != CC_ScrollBar || !bar) {
            QProxyStyle::drawComplexControl(control, option, painter, widget);
            return;
        }
        QStyleOptionSlider track(*bar);
        track.subControls &= ~SC_ScrollBarSlider;
        QProxyStyle::drawComplexControl(control, &track, painter, widget);
        // Nothing to scroll: the track stays empty.
        if (!(bar->subControls & SC_ScrollBarSlider) || bar->minimum == bar->maximum)
            return;
        const QRect thumb = subControlRect(CC_ScrollBar, bar, SC_ScrollBarSlider, widget);
        const bool touched = (bar->activeSubControls & SC_ScrollBarSlider) && (bar->state & (State_MouseOver | State_Sunken));
        const QColor trackColour = bar->palette.color(QPalette::Button);
        const QColor textColour = bar->palette.color(QPalette::WindowText);
        painter->save();
        painter->setPen(blend(trackColour, textColour, 0.55));
        painter->setBrush(blend(trackColour, textColour, touched ? 0.45 : 0.35));
        painter->drawRect(thumb.adjusted(0, 0, -1, -1));
        painter->restore();
    }
};

} // namespace

void markScrollThumbs(QAbstractScrollArea* area)
{
    for (QScrollBar* bar : {area->verticalScrollBar(), area->horizontalScrollBar()}) {
        auto* style = new ScrollThumbStyle;
        style->setParent(bar);
        bar->setStyle(style);
    }
}

HtmlView::HtmlView(QWidget* parent) : QTextBrowser(parent)
{
    setOpenLinks(false);
    setOpenExternalLinks(false);
    installPageAccessibility();
    connect(document(), &QTextDocument::contentsChanged, this, [this] {
        ++m_pageNumber;
        if (QAccessible::isActive()) {
            QAccessibleEvent changed(this, QAccessible::ObjectReorder);
            QAccessible::updateAccessibility(&changed);
        }
    });
    // A page is drawn on white with black text whatever the desktop theme, as a browser does:
    // the pages set some colours of their own (grey table headers) and take the rest from the
    // theme, so a dark theme would put light text on them.
    QPalette page;
    page.setColor(QPalette::Base, Qt::white);
    page.setColor(QPalette::Text, Qt::black);
    page.setColor(QPalette::Link, Qt::blue);
    page.setColor(QPalette::LinkVisited, Qt::darkMagenta);
    setPalette(page);
    markScrollThumbs(this);
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
