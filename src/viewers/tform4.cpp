#include "tform4.h"

#include "app/shellvalues.h"
#include "app/windowstyle.h"

#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>

TForm4::TForm4(const ShellValues& shell, QWidget* parent) : QWidget(parent), m_shell(shell)
{
    setObjectName(QStringLiteral("TForm4"));
    windowstyle::makeFixed(this, QSize(714, 704));

    Label1 = new QLabel(QStringLiteral("Driver Name:"), this);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->move(16, 16);
    Label1->adjustSize();

    Edit1 = new QLineEdit(this);
    Edit1->setObjectName(QStringLiteral("Edit1"));
    Edit1->setGeometry(80, 16, 137, 21);

    Button1 = new QPushButton(QStringLiteral("OK"), this);
    Button1->setObjectName(QStringLiteral("Button1"));
    Button1->setGeometry(224, 16, 57, 25);
    Button1->setDefault(true);
    Button1->setAutoDefault(true);

    Image1 = new QLabel(this);
    Image1->setObjectName(QStringLiteral("Image1"));
    Image1->setGeometry(333, 4, 48, 48);
    Image1->setAlignment(Qt::AlignCenter);

    Memo1 = new QPlainTextEdit(this);
    Memo1->setObjectName(QStringLiteral("Memo1"));
    Memo1->setGeometry(8, 56, 697, 641);
    Memo1->setReadOnly(true);
    Memo1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    Memo1->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    QFont memoFont(QStringLiteral("MS Sans Serif"));
    memoFont.setStyleHint(QFont::SansSerif);
    memoFont.setPixelSize(13);
    memoFont.setBold(true);
    Memo1->setFont(memoFont);

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
