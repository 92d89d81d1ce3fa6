#include "viewers/ui/eventswindow.h"

#include "common/error.h"
#include "common/ui/accessiblewindow.h"
#include "common/ui/designlayout.h"
#include "common/currentchoices.h"
#include "common/ui/windowstyle.h"
#include "viewers/eventspage.h"
#include "viewers/ui/htmlview.h"
#include "viewers/ui/servicecall.h"
#include "webservice/endpoints.h"
#include "webservice/httprequest.h"
#include "webservice/xmldocument.h"

#include <QScopedValueRollback>
#include <QShowEvent>
#include <exception>

EventsWindow::EventsWindow(const CurrentChoices& choices, QWidget* parent) : QWidget(parent), m_choices(choices)
{
    setObjectName(QStringLiteral("EventsWindow"));
    installWindowAccessibility(staticMetaObject);
    setWindowTitle(QStringLiteral("Daily Leaderboard Events"));
    const QSize designSize(540, 621);
    windowstyle::makeGrowable(this, designSize);
    windowstyle::closeWithKeys(this);
    m_page = new HtmlView(this);
    m_page->setObjectName(QStringLiteral("page"));
    m_page->setAccessibleName(QStringLiteral("Events"));
    // The page is the whole window, however large.
    auto* table = new DesignLayout(this, designSize);
    table->place(m_page, QRect(QPoint(0, 0), designSize), Qt::RightEdge | Qt::BottomEdge);
}

void EventsWindow::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    // Only going from hidden to visible fetches: the window system's own show events (a restore
    // from the task bar) and showing a window that is already open do not.
    if (event->spontaneous())
        return;
    // The page of the last opening may be of another shard or day: until the new answer is in,
    // the window shows an empty page. An answer still on its way serves the new opening.
    if (!m_waiting)
        m_page->ShowHtmlText(QString());
    // Fetched once the window is on the screen, so that it paints while it waits.
    QMetaObject::invokeMethod(this, &EventsWindow::fetchEvents, Qt::QueuedConnection);
}

void EventsWindow::fetchEvents()
{
    // Hidden and shown again while the answer is on its way: the answer in flight serves.
    if (m_waiting)
        return;
    const QScopedValueRollback<bool> waiting(m_waiting, true);
    const QString url = racr::eventsUrl(m_choices.serviceBase(), m_choices.currentShard());
    racr::HttpRequest http;
    racr::XmlDocument answer;
    try {
        racr::fetchResponsive(http, answer, QStringLiteral("GET"), url);
        m_page->ShowHtmlText(racr::eventsPage(answer));
    } catch (const std::exception& error) {
        m_page->showErrorPage(racr::failureMessage(error));
    }
}
