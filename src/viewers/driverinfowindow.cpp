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

TForm4::TForm4(const ShellValues& shell, QWidget* parent) : QWidget(parent), m_shell(shell)
{
    setObjectName(QStringLiteral("TForm4"));
    installWindowAccessibility(staticMetaObject);
    windowstyle::makeFixed(this, QSize(714, 704));
    setFont(designFont(11));

    Label1 = new QLabel(QStringLiteral("Driver Name:"), this);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->move(16, 16);

    Edit1 = new QLineEdit(this);
    Edit1->setObjectName(QStringLiteral("Edit1"));
    Edit1->setGeometry(80, 16, 137, 21);
    Label1->setFont(narrowedToFit(font(), Label1->text(), Edit1->x() - labelGap - Label1->x()));
    Label1->adjustSize();
    Label1->setBuddy(Edit1);
    Edit1->setAccessibleName(QStringLiteral("Driver name"));

    Button1 = new QPushButton(QStringLiteral("OK"), this);
    Button1->setObjectName(QStringLiteral("Button1"));
    Button1->setGeometry(224, 16, 57, 25);
    Button1->setDefault(true);
    Button1->setAutoDefault(true);

    Image1 = new QLabel(this);
    Image1->setObjectName(QStringLiteral("Image1"));
    Image1->setGeometry(333, 4, 48, 48);
    Image1->setAlignment(Qt::AlignCenter);
    Image1->setAccessibleName(QStringLiteral("Avatar"));

    Memo1 = new QPlainTextEdit(this);
    Memo1->setObjectName(QStringLiteral("Memo1"));
    Memo1->setGeometry(8, 56, 697, 641);
    Memo1->setReadOnly(true);
    Memo1->setAccessibleName(QStringLiteral("Driver info"));
    Memo1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    markScrollThumbs(Memo1);
    Memo1->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    Memo1->setFont(designFont(13, true));

    // The main window empties the memo on a shard change; the reason of an old failure goes too.
    connect(Memo1, &QPlainTextEdit::textChanged, this, [this] {
        if (Memo1->document()->isEmpty())
            Memo1->setToolTip(QString());
    });
    connect(Button1, &QPushButton::clicked, this, &TForm4::Button1Click);
    // OK is the default button: Enter in the name field presses it (a disabled button ignores it).
    connect(Edit1, &QLineEdit::returnPressed, Button1, &QPushButton::click);

    setFocusProxy(Edit1);
    FormCreate();
}

void TForm4::FormCreate()
{
    setShardCaption(m_shell.currentShard());
}

void TForm4::setShardCaption(const QString& shard)
{
    setWindowTitle(QStringLiteral("Driver Info - ") + shard);
}

void TForm4::Button1Click()
{
    Image1->clear();
    Memo1->clear();
    Edit1->setText(racr::upperCaseAsciiLetters(Edit1->text()));
    const QString name = Edit1->text();

    WaitingControl waiting(Button1);
    racr::HttpRequest http;
    const racr::DocumentLoader load = [&http](const QString& url, racr::XmlDocument& document) {
        racr::fetchResponsive(http, document, QStringLiteral("GET"), url);
    };
    racr::DriverReportOutput output;
    output.appendLine = [this](const QString& line) { Memo1->appendPlainText(line); };
    output.showAvatar = [this](const QImage& avatar) {
        if (avatar.isNull())
            Image1->clear();
        else
            Image1->setPixmap(QPixmap::fromImage(avatar));
    };
    const QString failure = racr::runDriverReport(m_shell.serviceBase(), name, m_shell.currentShard(), load, output);
    if (failure.isEmpty())
        Memo1->moveCursor(QTextCursor::Start); // a complete display is read from the top
    // After a failure the memo shows what the service sent; why it could not be read is one
    // hover away.
    Memo1->setToolTip(failure);
}
