#include "sqlworkbench.h"

#include "db/queryobject.h"

#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>

namespace {
QLabel* statusLabel(QWidget* form, const char* name, const QString& text, const QRect& geometry)
{
    auto* label = new QLabel(text, form);
    label->setObjectName(QLatin1String(name));
    QFont bold = label->font();
    bold.setBold(true);
    label->setFont(bold);
    label->setWordWrap(true);
    label->setGeometry(geometry);
    return label;
}

QPushButton* button(QWidget* form, const char* name, const QString& text, const QRect& geometry)
{
    auto* b = new QPushButton(text, form);
    b->setObjectName(QLatin1String(name));
    b->setGeometry(geometry);
    return b;
}
} // namespace

SqlWorkbench::SqlWorkbench(QWidget* form, QueryObject& dataSet, QObject* parent)
    : QObject(parent), m_dataSet(dataSet)
{
    Label5 = statusLabel(form, "Label5", QStringLiteral("Records:"), QRect(8, 384, 116, 26));
    Label11 = statusLabel(form, "Label11", QStringLiteral("RecNo:"), QRect(128, 384, 108, 26));
    Label10 = statusLabel(form, "Label10", QStringLiteral("Sort: default"), QRect(244, 384, 149, 26));

    Label1 = new QLabel(QStringLiteral("SQL:"), form);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->setGeometry(8, 416, 24, 13);

    // Right-aligned at x = 415 and sized to its text, so it grows to the left.
    Label8 = new QLabel(form);
    Label8->setObjectName(QStringLiteral("Label8"));
    QFont bold = Label8->font();
    bold.setBold(true);
    Label8->setFont(bold);
    Label8->setAlignment(Qt::AlignRight | Qt::AlignTop);
    Label8->setGeometry(415 - 200, 416, 200, 13);

    Memo1 = new QPlainTextEdit(form);
    Memo1->setObjectName(QStringLiteral("Memo1"));
    Memo1->setGeometry(8, 436, 411, 209);
    Memo1->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    Memo1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    Memo1->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    Memo1->setPlainText(defaultStatement());

    Speedbutton1 = button(form, "Speedbutton1", QStringLiteral("Execute SQL"), QRect(8, 656, 82, 32));
    Speedbutton1->setDefault(true);
    Button1 = button(form, "Button1", QStringLiteral("Open SQL"), QRect(232, 656, 82, 32));
    Button2 = button(form, "Button2", QStringLiteral("Save SQL"), QRect(336, 656, 82, 32));
}

QString SqlWorkbench::defaultStatement()
{
    return QStringLiteral("select image,driver,driverlevel, car, date, besttime, \n"
                          "trackname,iif(multiplayer=1,'MP','SP') as Racetype\n"
                          "from ((RACR\n"
                          "left join DRIVERS on DRIVERS.drivername=RACR.driver) \n"
                          "inner join TRACKLIST on TRACKLIST.trackid=RACR.trackid)\n"
                          "order by trackname, multiplayer DESC,besttime ASC");
}
