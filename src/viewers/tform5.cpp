#include "tform5.h"

#include "app/shellvalues.h"
#include "app/windowstyle.h"
#include "viewers/htmlview.h"

TForm5::TForm5(const ShellValues& shell, QWidget* parent) : QWidget(parent), m_shell(shell)
{
    setObjectName(QStringLiteral("TForm5"));
    setWindowTitle(QStringLiteral("Daily Leaderboard Events"));
    windowstyle::makeFixed(this, QSize(540, 621));
    wb1 = new HtmlView(this);
    wb1->setObjectName(QStringLiteral("wb1"));
    wb1->setGeometry(0, 0, 540, 621);
}
