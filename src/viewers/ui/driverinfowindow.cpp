#include "viewers/ui/driverinfowindow.h"

#include "common/ui/accessiblewindow.h"
#include "common/ui/designlayout.h"
#include "common/currentchoices.h"
#include "common/ui/windowstyle.h"
#include "viewers/driverreport.h"
#include "viewers/ui/htmlview.h"
#include "viewers/ui/servicecall.h"
#include "common/designfont.h"
#include "viewers/ui/waitingcontrol.h"
#include "webservice/httprequest.h"

#include <QLabel>
#include <QPixmap>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>

namespace {
const QSize designSize(714, 704);
}

DriverInfoWindow::DriverInfoWindow(const CurrentChoices& choices, QWidget* parent) : QWidget(parent), m_choices(choices)
{
    setObjectName(QStringLiteral("DriverInfoWindow"));
    installWindowAccessibility(staticMetaObject);
    windowstyle::makeGrowable(this, designSize);
    windowstyle::closeWithKeys(this);
    setFont(designFont(11));

    const QRect nameEditPlace(80, 16, 137, 21);
    const QPoint nameLabelAt(16, 16);
    m_driverNameLabel = new QLabel(QStringLiteral("Driver Name:"), this);
    m_driverNameLabel->setObjectName(QStringLiteral("driverNameLabel"));

    m_driverNameEdit = new QLineEdit(this);
    m_driverNameEdit->setObjectName(QStringLiteral("driverNameEdit"));
    // The label is as large as its text, narrowed to end before the name field.
    m_driverNameLabel->setFont(narrowedToFit(font(), m_driverNameLabel->text(),
                                             nameEditPlace.x() - labelGap - nameLabelAt.x()));
    m_driverNameLabel->setBuddy(m_driverNameEdit);
    m_driverNameEdit->setAccessibleName(QStringLiteral("Driver name"));

    m_okButton = new QPushButton(QStringLiteral("OK"), this);
    m_okButton->setObjectName(QStringLiteral("okButton"));
    m_okButton->setDefault(true);
    m_okButton->setAutoDefault(true);

    m_avatarImage = new QLabel(this);
    m_avatarImage->setObjectName(QStringLiteral("avatarImage"));
    m_avatarImage->setAlignment(Qt::AlignCenter);
    m_avatarImage->setAccessibleName(QStringLiteral("Avatar"));

    m_driverReport = new QPlainTextEdit(this);
    m_driverReport->setObjectName(QStringLiteral("driverReport"));
    m_driverReport->setReadOnly(true);
    m_driverReport->setAccessibleName(QStringLiteral("Driver info"));
    m_driverReport->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    markScrollThumbs(m_driverReport);
    m_driverReport->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    m_driverReport->setFont(designFont(13, true));

    // A larger window gives its room to the report.
    auto* table = new DesignLayout(this, designSize);
    table->place(m_driverNameLabel, QRect(nameLabelAt, m_driverNameLabel->sizeHint()));
    table->place(m_driverNameEdit, nameEditPlace);
    table->place(m_okButton, QRect(224, 16, 57, 25));
    table->place(m_avatarImage, QRect(333, 4, 48, 48));
    table->place(m_driverReport, QRect(8, 56, 697, 641), Qt::RightEdge | Qt::BottomEdge);

    // On a shard change the memo is emptied; the reason of an old failure goes too.
    connect(m_driverReport, &QPlainTextEdit::textChanged, this, [this] {
        if (m_driverReport->document()->isEmpty())
            m_driverReport->setToolTip(QString());
    });
    connect(m_okButton, &QPushButton::clicked, this, &DriverInfoWindow::showDriver);
    // OK is the default button: Enter in the name field presses it (a disabled button ignores it).
    connect(m_driverNameEdit, &QLineEdit::returnPressed, m_okButton, &QPushButton::click);

    setFocusProxy(m_driverNameEdit);
    showShardCaption();
}

void DriverInfoWindow::showShardCaption()
{
    setShardCaption(m_choices.currentShard());
}

void DriverInfoWindow::setShardCaption(const QString& shard)
{
    setWindowTitle(QStringLiteral("Driver Info - ") + shard);
}

void DriverInfoWindow::showShard(const QString& shard)
{
    setShardCaption(shard);
    m_driverReport->clear();
}

void DriverInfoWindow::showDriver()
{
    m_avatarImage->clear();
    m_driverReport->clear();
    m_driverNameEdit->setText(racr::upperCaseAsciiLetters(m_driverNameEdit->text()));
    const QString name = m_driverNameEdit->text();

    WaitingControl waiting(m_okButton);
    racr::HttpRequest http;
    const racr::DocumentLoader load = [&http](const QString& url, racr::XmlDocument& document) {
        racr::fetchResponsive(http, document, QStringLiteral("GET"), url);
    };
    racr::DriverReportOutput output;
    output.appendLine = [this](const QString& line) { m_driverReport->appendPlainText(line); };
    output.showAvatar = [this](const QImage& avatar) {
        if (avatar.isNull())
            m_avatarImage->clear();
        else
            m_avatarImage->setPixmap(QPixmap::fromImage(avatar));
    };
    const QString failure = racr::runDriverReport(m_choices.serviceBase(), name, m_choices.currentShard(), load, output);
    if (failure.isEmpty())
        m_driverReport->moveCursor(QTextCursor::Start); // a complete display is read from the top
    // After a failure the memo shows what the service sent; why it could not be read is one
    // hover away.
    m_driverReport->setToolTip(failure);
}
