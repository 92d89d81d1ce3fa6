#include "leaderboardwindow.h"

#include "viewers/accessiblewindow.h"
#include "common/apptext.h"
#include "common/periodchoice.h"
#include "common/radiogroup.h"
#include "common/shellvalues.h"
#include "common/updown.h"
#include "common/windowstyle.h"
#include "viewers/htmlview.h"
#include "viewers/leaderboardpage.h"
#include "viewers/servicecall.h"
#include "common/designfont.h"
#include "viewers/waitingcontrol.h"
#include "webservice/httprequest.h"
#include "webservice/tracktable.h"
#include "webservice/xmldocument.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <exception>
#include <QDate>
#include <QLabel>
#include <QLineEdit>

LeaderboardWindow::LeaderboardWindow(const ShellValues& shell, QWidget* parent) : QWidget(parent), m_shell(shell)
{
    setObjectName(QStringLiteral("LeaderboardWindow"));
    installWindowAccessibility(staticMetaObject);
    windowstyle::makeFixed(this, QSize(595, 704));
    windowstyle::closeWithKeys(this);
    setFont(designFont(11));

    period = new PeriodChoice(this, QString(), QRect(25, 8, 168, 97), QPoint(146, 48), QPoint(146, 76));
    periodGroup = period->periodGroup;
    daysEdit = period->daysEdit;
    daysBeforeToday = period->daysBeforeToday;
    weekEdit = period->weekEdit;
    weekNumber = period->weekNumber;

    playerMode = new RadioGroup(QString(), {QStringLiteral("MultiPlayer"), QStringLiteral("SinglePlayer")}, this);
    playerMode->setObjectName(QStringLiteral("playerMode"));
    playerMode->setGeometry(217, 8, 96, 70);
    playerMode->setItemIndex(1);
    // Both groups are drawn without captions; a screen reader still says what they choose.
    periodGroup->setAccessibleName(QStringLiteral("Period"));
    playerMode->setAccessibleName(QStringLiteral("Race type"));

    trackLabel = new QLabel(QStringLiteral("Track:"), this);
    trackLabel->setObjectName(QStringLiteral("trackLabel"));
    trackLabel->setGeometry(336, 12, 31, 13);

    trackList = new QComboBox(this);
    trackList->setObjectName(QStringLiteral("trackList"));
    trackList->setGeometry(336, 28, 185, 21);
    trackList->setMaxVisibleItems(43);
    for (const auto& track : racr::trackTable())
        trackList->addItem(track.name);
    // A pick by the user, and only that, asks the service; the other controls take effect then.
    connect(trackList, &QComboBox::activated, this, &LeaderboardWindow::fetchLeaderboard);
    // On Linux a combo box tells its current value as its name, so the label names it by
    // relation there; other platforms read the name.
    trackLabel->setBuddy(trackList);
    trackList->setAccessibleName(QStringLiteral("Track"));
    trackList->view()->setAccessibleName(QStringLiteral("Tracks"));

    page = new HtmlView(this);
    page->setObjectName(QStringLiteral("page"));
    page->setGeometry(8, 112, 577, 585);
    page->setAccessibleName(QStringLiteral("Leaderboard"));
    // Pages are read in the desktop's own font, as in the daily events window.
    const QFont desktop = QApplication::font();
    page->setFont(QFont(desktop.family(), desktop.pointSize()));

    resetControls();
}

void LeaderboardWindow::resetControls()
{
    trackList->setCurrentIndex(-1);
    weekNumber->setPosition(apptext::isoWeek(QDate::currentDate()));
    setShardCaption(m_shell.currentShard());
}

void LeaderboardWindow::setShardCaption(const QString& shard)
{
    setWindowTitle(QStringLiteral("Leaderboard - ") + shard);
}

void LeaderboardWindow::fetchLeaderboard()
{
    const int index = trackList->currentIndex();
    if (index < 0)
        return;
    const racr::LeaderboardChoice choice{index, trackList->itemText(index), playerMode->itemIndex() + 1,
                                         period->periodType(), period->periodValue()};
    const racr::LeaderboardRequest request =
        racr::leaderboardRequest(m_shell.serviceBase(), m_shell.driverList(), m_shell.currentShard(), choice);

    WaitingControl waiting(trackList);
    racr::HttpRequest http;
    racr::XmlDocument answer;
    try {
        racr::fetchResponsive(http, answer, QStringLiteral("POST"), request.url);
        page->ShowHtmlText(racr::leaderboardPage(answer, request.track));
    } catch (const std::exception& error) {
        page->showErrorPage(racr::failureMessage(error));
    }
}
