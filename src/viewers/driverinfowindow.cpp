#include "driverinfowindow.h"

#include "viewers/accessiblewindow.h"
#include "common/shellvalues.h"
#include "common/windowstyle.h"
#include "viewers/driverreport.h"
#include "viewers/htmlview.h"
#include "viewers/servicecall.h"
#include "common/designfont.h"
#include "viewers/waitingcontrol.h"
#include "webservice/httprequest.h"

#include <QLabel>
#include <QPixmap>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>

DriverInfoWindow::DriverInfoWindow(const ShellValues& shell, QWidget* parent) : QWidget(parent), m_shell(shell)
{
    setObjectName(QStringLiteral("DriverInfoWindow"));
    installWindowAccessibility(staticMetaObject);
    windowstyle::makeFixed(this, QSize(714, 704));
    windowstyle::closeWithKeys(this);
    setFont(designFont(11));

    driverNameLabel = new QLabel(QStringLiteral("Driver Name:"), this);
    driverNameLabel->setObjectName(QStringLiteral("driverNameLabel"));
    driverNameLabel->move(16, 16);

    driverNameEdit = new QLineEdit(this);
    driverNameEdit->setObjectName(QStringLiteral("driverNameEdit"));
    driverNameEdit->setGeometry(80, 16, 137, 21);
    driverNameLabel->setFont(narrowedToFit(font(), driverNameLabel->text(), driverNameEdit->x() - labelGap - driverNameLabel->x()));
    driverNameLabel->adjustSize();
    driverNameLabel->setBuddy(driverNameEdit);
    driverNameEdit->setAccessibleName(QStringLiteral("Driver name"));

    okButton = new QPushButton(QStringLiteral("OK"), this);
    okButton->setObjectName(QStringLiteral("okButton"));
    okButton->setGeometry(224, 16, 57, 25);
    okButton->setDefault(true);
    okButton->setAutoDefault(true);

    avatarImage = new QLabel(this);
    avatarImage->setObjectName(QStringLiteral("avatarImage"));
    avatarImage->setGeometry(333, 4, 48, 48);
    avatarImage->setAlignment(Qt::AlignCenter);
    avatarImage->setAccessibleName(QStringLiteral("Avatar"));

    driverReport = new QPlainTextEdit(this);
    driverReport->setObjectName(QStringLiteral("driverReport"));
    driverReport->setGeometry(8, 56, 697, 641);
    driverReport->setReadOnly(true);
    driverReport->setAccessibleName(QStringLiteral("Driver info"));
    driverReport->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    markScrollThumbs(driverReport);
    driverReport->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    driverReport->setFont(designFont(13, true));

    // The main window empties the memo on a shard change; the reason of an old failure goes too.
    connect(driverReport, &QPlainTextEdit::textChanged, this, [this] {
        if (driverReport->document()->isEmpty())
            driverReport->setToolTip(QString());
    });
    connect(okButton, &QPushButton::clicked, this, &DriverInfoWindow::showDriver);
    // OK is the default button: Enter in the name field presses it (a disabled button ignores it).
    connect(driverNameEdit, &QLineEdit::returnPressed, okButton, &QPushButton::click);

    setFocusProxy(driverNameEdit);
    showShardCaption();
}

void DriverInfoWindow::showShardCaption()
{
    setShardCaption(m_shell.currentShard());
}

void DriverInfoWindow::setShardCaption(const QString& shard)
{
    setWindowTitle(QStringLiteral("Driver Info - ") + shard);
}

void DriverInfoWindow::showDriver()
{
    avatarImage->clear();
    driverReport->clear();
    driverNameEdit->setText(racr::upperCaseAsciiLetters(driverNameEdit->text()));
    const QString name = driverNameEdit->text();

    WaitingControl waiting(okButton);
    racr::HttpRequest http;
    const racr::DocumentLoader load = [&http](const QString& url, racr::XmlDocument& document) {
        racr::fetchResponsive(http, document, QStringLiteral("GET"), url);
    };
    racr::DriverReportOutput output;
    output.appendLine = [this](const QString& line) { driverReport->appendPlainText(line); };
    output.showAvatar = [this](const QImage& avatar) {
        if (avatar.isNull())
            avatarImage->clear();
        else
            avatarImage->setPixmap(QPixmap::fromImage(avatar));
    };
    const QString failure = racr::runDriverReport(m_shell.serviceBase(), name, m_shell.currentShard(), load, output);
    if (failure.isEmpty())
        driverReport->moveCursor(QTextCursor::Start); // a complete display is read from the top
    // After a failure the memo shows what the service sent; why it could not be read is one
    // hover away.
    driverReport->setToolTip(failure);
}
