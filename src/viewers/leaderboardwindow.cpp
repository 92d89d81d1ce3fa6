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

TForm3::TForm3(const ShellValues& shell, QWidget* parent) : QWidget(parent), m_shell(shell)
{
    setObjectName(QStringLiteral("TForm3"));
    installWindowAccessibility(staticMetaObject);
    windowstyle::makeFixed(this, QSize(595, 704));
    setFont(designFont(11));

    period = new PeriodChoice(this, QString(), QRect(25, 8, 168, 97), QPoint(146, 48), QPoint(146, 76));
    RadioGroup1 = period->RadioGroup1;
    Edit2 = period->Edit2;
    uday = period->uday;
    Edit3 = period->Edit3;
    uweek = period->uweek;

    RadioGroup2 = new RadioGroup(QString(), {QStringLiteral("MultiPlayer"), QStringLiteral("SinglePlayer")}, this);
    RadioGroup2->setObjectName(QStringLiteral("RadioGroup2"));
    RadioGroup2->setGeometry(217, 8, 96, 70);
    RadioGroup2->setItemIndex(1);
    // Both groups are drawn without captions; a screen reader still says what they choose.
    RadioGroup1->setAccessibleName(QStringLiteral("Period"));
    RadioGroup2->setAccessibleName(QStringLiteral("Race type"));

    Label1 = new QLabel(QStringLiteral("Track:"), this);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->setGeometry(336, 12, 31, 13);

    ComboBox1 = new QComboBox(this);
    ComboBox1->setObjectName(QStringLiteral("ComboBox1"));
    ComboBox1->setGeometry(336, 28, 185, 21);
    ComboBox1->setMaxVisibleItems(43);
    for (const auto& track : racr::trackTable())
        ComboBox1->addItem(track.name);
    // A pick by the user, and only that, asks the service; the other controls take effect then.
    connect(ComboBox1, &QComboBox::activated, this, &TForm3::ComboBox1Change);
    // On Linux a combo box tells its current value as its name, so the label names it by
    // relation there; other platforms read the name.
    Label1->setBuddy(ComboBox1);
    ComboBox1->setAccessibleName(QStringLiteral("Track"));
    ComboBox1->view()->setAccessibleName(QStringLiteral("Tracks"));

    wb1 = new HtmlView(this);
    wb1->setObjectName(QStringLiteral("wb1"));
    wb1->setGeometry(8, 112, 577, 585);
    wb1->setAccessibleName(QStringLiteral("Leaderboard"));
    // Pages are read in the desktop's own font, as in the daily events window.
    const QFont desktop = QApplication::font();
    wb1->setFont(QFont(desktop.family(), desktop.pointSize()));

    FormCreate();
}

void TForm3::FormCreate()
{
    ComboBox1->setCurrentIndex(-1);
    uweek->setPosition(apptext::isoWeek(QDate::currentDate()));
    setShardCaption(m_shell.currentShard());
}

void TForm3::setShardCaption(const QString& shard)
{
    setWindowTitle(QStringLiteral("Leaderboard - ") + shard);
}

void TForm3::ComboBox1Change()
{
    const int index = ComboBox1->currentIndex();
    if (index < 0)
        return;
    const racr::LeaderboardChoice choice{index, ComboBox1->itemText(index), RadioGroup2->itemIndex() + 1,
                                         period->periodType(), period->periodValue()};
    const racr::LeaderboardRequest request =
        racr::leaderboardRequest(m_shell.serviceBase(), m_shell.driverList(), m_shell.currentShard(), choice);

    WaitingControl waiting(ComboBox1);
    racr::HttpRequest http;
    racr::XmlDocument answer;
    try {
        racr::fetchResponsive(http, answer, QStringLiteral("POST"), request.url);
        wb1->ShowHtmlText(racr::leaderboardPage(answer, request.track));
    } catch (const std::exception& error) {
        wb1->showErrorPage(racr::failureMessage(error));
    }
}
