#include "viewers/ui/leaderboardwindow.h"

#include "common/error.h"
#include "common/ui/accessiblewindow.h"
#include "common/apptext.h"
#include "common/ui/designlayout.h"
#include "common/ui/periodchoice.h"
#include "common/ui/radiogroup.h"
#include "common/currentchoices.h"
#include "common/ui/updown.h"
#include "common/ui/windowstyle.h"
#include "viewers/ui/htmlview.h"
#include "viewers/leaderboardpage.h"
#include "viewers/ui/servicecall.h"
#include "common/designfont.h"
#include "viewers/ui/waitingcontrol.h"
#include "webservice/httprequest.h"
#include "common/tracktable.h"
#include "webservice/xmldocument.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <exception>
#include <QDate>
#include <QLabel>

namespace {
const QSize designSize(595, 704);
}

LeaderboardWindow::LeaderboardWindow(const CurrentChoices& choices, QWidget* parent) : QWidget(parent), m_choices(choices)
{
    setObjectName(QStringLiteral("LeaderboardWindow"));
    installWindowAccessibility(staticMetaObject);
    windowstyle::makeGrowable(this, designSize);
    windowstyle::closeWithKeys(this);
    setFont(designFont(11));

    // The period's group and edits place themselves at the top left, where they stay.
    m_period = new PeriodChoice(this, QString(), QRect(25, 8, 168, 97), QPoint(146, 48), QPoint(146, 76));

    m_playerMode = new RadioGroup(QString(), {QStringLiteral("MultiPlayer"), QStringLiteral("SinglePlayer")}, this);
    m_playerMode->setObjectName(QStringLiteral("playerMode"));
    m_playerMode->setItemIndex(1);
    // Both groups are drawn without captions; a screen reader still says what they choose.
    m_period->setAccessibleName(QStringLiteral("Period"));
    m_playerMode->setAccessibleName(QStringLiteral("Race type"));

    m_trackLabel = new QLabel(QStringLiteral("Track:"), this);
    m_trackLabel->setObjectName(QStringLiteral("trackLabel"));

    m_trackList = new QComboBox(this);
    m_trackList->setObjectName(QStringLiteral("trackList"));
    m_trackList->setMaxVisibleItems(43);
    for (const auto& track : racr::trackTable())
        m_trackList->addItem(track.name);
    // A pick by the user, and only that, asks the service; the other controls take effect then.
    connect(m_trackList, &QComboBox::activated, this, &LeaderboardWindow::fetchLeaderboard);
    // On Linux a combo box tells its current value as its name, so the label names it by
    // relation there; other platforms read the name.
    m_trackLabel->setBuddy(m_trackList);
    m_trackList->setAccessibleName(QStringLiteral("Track"));
    m_trackList->view()->setAccessibleName(QStringLiteral("Tracks"));

    m_page = new HtmlView(this);
    m_page->setObjectName(QStringLiteral("page"));
    m_page->setAccessibleName(QStringLiteral("Leaderboard"));
    // Pages are read in the desktop's own font, as in the daily events window.
    const QFont desktop = QApplication::font();
    m_page->setFont(QFont(desktop.family(), desktop.pointSize()));

    // A larger window gives its room to the page.
    auto* table = new DesignLayout(this, designSize);
    table->place(m_playerMode, QRect(217, 8, 96, 70));
    table->place(m_trackLabel, QRect(336, 12, 31, 13));
    table->place(m_trackList, QRect(336, 28, 185, 21));
    table->place(m_page, QRect(8, 112, 577, 585), Qt::RightEdge | Qt::BottomEdge);

    resetControls();
}

void LeaderboardWindow::resetControls()
{
    m_trackList->setCurrentIndex(-1);
    m_period->setWeekNumber(apptext::isoWeek(QDate::currentDate()));
    setShardCaption(m_choices.currentShard());
}

void LeaderboardWindow::setShardCaption(const QString& shard)
{
    setWindowTitle(QStringLiteral("Leaderboard - ") + shard);
}

void LeaderboardWindow::showShard(const QString& shard)
{
    setShardCaption(shard);
    m_page->ShowHtmlText(QString());
}

void LeaderboardWindow::fetchLeaderboard()
{
    const int index = m_trackList->currentIndex();
    if (index < 0)
        return;
    const racr::LeaderboardChoice choice{index, m_trackList->itemText(index), m_playerMode->itemIndex() + 1,
                                         m_period->periodType(), m_period->periodValue()};
    const racr::LeaderboardRequest request =
        racr::leaderboardRequest(m_choices.serviceBase(), m_choices.driverList(), m_choices.currentShard(), choice);

    WaitingControl waiting(m_trackList);
    racr::HttpRequest http;
    racr::XmlDocument answer;
    try {
        racr::fetchResponsive(http, answer, QStringLiteral("POST"), request.url);
        m_page->ShowHtmlText(racr::leaderboardPage(answer, request.track));
    } catch (const std::exception& error) {
        m_page->showErrorPage(racr::failureMessage(error));
    }
}
