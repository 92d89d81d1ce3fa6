#include "tform2.h"

#include "app/windowstyle.h"

#include <QPlainTextEdit>

TForm2::TForm2(QWidget* mainWindow) : QDialog(mainWindow)
{
    setObjectName(QStringLiteral("TForm2"));
    setWindowTitle(QStringLiteral("Data import progress"));
    windowstyle::makeFixed(this, QSize(354, 194));

    Memo1 = new QPlainTextEdit(this);
    Memo1->setObjectName(QStringLiteral("Memo1"));
    Memo1->setGeometry(16, 16, 321, 113);
    Memo1->setReadOnly(true);
    Memo1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
}
