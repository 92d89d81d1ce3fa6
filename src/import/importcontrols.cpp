#include "importcontrols.h"

#include "app/periodchoice.h"

#include <QPushButton>

ImportControls::ImportControls(QWidget* form, QObject* parent) : QObject(parent)
{
    period = new PeriodChoice(form, QStringLiteral("Import type:"), QRect(824, 548, 169, 97),
                              QPoint(944, 586), QPoint(944, 614));
    Button5 = new QPushButton(QStringLiteral("Import Driver Data"), form);
    Button5->setObjectName(QStringLiteral("Button5"));
    Button5->setGeometry(640, 656, 178, 32);
    Button3 = new QPushButton(QStringLiteral("Import Leaderboard Data"), form);
    Button3->setObjectName(QStringLiteral("Button3"));
    Button3->setGeometry(824, 656, 170, 32);
}
