#include "tform3.h"

#include "app/apptext.h"
#include "app/periodchoice.h"
#include "app/radiogroup.h"
#include "app/shellvalues.h"
#include "app/updown.h"
#include "app/windowstyle.h"
#include "viewers/htmlview.h"
#include "webservice/tracktable.h"

#include <QComboBox>
#include <QDate>
#include <QLabel>
#include <QLineEdit>

TForm3::TForm3(const ShellValues& shell, QWidget* parent) : QWidget(parent), m_shell(shell)
{
    setObjectName(QStringLiteral("TForm3"));
    windowstyle::makeFixed(this, QSize(595, 704));

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

    Label1 = new QLabel(QStringLiteral("Track:"), this);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->setGeometry(336, 12, 31, 13);

    ComboBox1 = new QComboBox(this);
    ComboBox1->setObjectName(QStringLiteral("ComboBox1"));
    ComboBox1->setGeometry(336, 28, 185, 21);
    ComboBox1->setMaxVisibleItems(43);
    for (const auto& track : racr::trackTable())
        ComboBox1->addItem(track.name);

    wb1 = new HtmlView(this);
    wb1->setObjectName(QStringLiteral("wb1"));
    wb1->setGeometry(8, 112, 577, 585);

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
