#include "common/ui/periodchoice.h"

#include "common/designfont.h"
#include "common/ui/radiogroup.h"
#include "common/ui/updown.h"

#include <QEvent>
#include <QLineEdit>
#include <QRadioButton>
#include <QStyleOptionButton>

namespace {

// Narrows the font of an item just enough that its words end a few pixels before the edit that
// lies over the group on its line; the trailing blanks draw nothing.
void fitBefore(QRadioButton* item, const QWidget* edit)
{
    QStyleOptionButton option;
    option.initFrom(item);
    option.text = item->text();
    const int textLeft = item->style()->subElementRect(QStyle::SE_RadioButtonContents, &option, item).left();
    const int editLeft = item->mapFrom(edit->parentWidget(), edit->pos()).x();
    QString words = item->text();
    while (words.endsWith(QLatin1Char(' ')))
        words.chop(1);
    item->setFont(narrowedToFit(item->parentWidget()->font(), words, editLeft - labelGap - textLeft));
}

} // namespace

PeriodChoice::PeriodChoice(QWidget* area, const QString& caption, const QRect& group,
                           const QPoint& daysAt, const QPoint& weekAt)
    : PeriodChoice(area, caption)
{
    periodGroup->setGeometry(group);
    daysEdit->setGeometry(QRect(daysAt, QSize(25, 21)));
    daysBeforeToday->setGeometry(QRect(daysAt + QPoint(25, 0), QSize(16, 21)));
    weekEdit->setGeometry(QRect(weekAt, QSize(25, 21)));
    weekNumber->setGeometry(QRect(weekAt + QPoint(25, 0), QSize(16, 21)));
}

PeriodChoice::PeriodChoice(QWidget* area, const QString& caption) : QObject(area)
{
    periodGroup = new RadioGroup(caption,
                                 {QStringLiteral("Overall"),
                                  QStringLiteral("Daily             minus  "),
                                  QStringLiteral("Weekly  weeknum.")},
                                 area);
    periodGroup->setObjectName(QStringLiteral("periodGroup"));
    periodGroup->setItemIndex(1);
    // The captions are spaced to run into the edits over the group; a screen reader reads the
    // words alone, and the edits' names say what their numbers are.
    periodGroup->item(1)->setAccessibleName(QStringLiteral("Daily"));
    periodGroup->item(2)->setAccessibleName(QStringLiteral("Weekly"));

    daysEdit = new QLineEdit(QStringLiteral("0"), area);
    daysEdit->setObjectName(QStringLiteral("daysEdit"));
    daysEdit->setAccessibleName(QStringLiteral("Days before today"));
    daysBeforeToday = new UpDown(daysEdit, 0, 6, area);
    daysBeforeToday->setObjectName(QStringLiteral("daysBeforeToday"));

    weekEdit = new QLineEdit(QStringLiteral("1"), area);
    weekEdit->setObjectName(QStringLiteral("weekEdit"));
    weekEdit->setAccessibleName(QStringLiteral("Week number"));
    weekNumber = new UpDown(weekEdit, 1, 53, area);
    weekNumber->setObjectName(QStringLiteral("weekNumber"));

    // The group places its items when it is laid out; each fits its words to its edit then.
    periodGroup->item(1)->installEventFilter(this);
    periodGroup->item(2)->installEventFilter(this);
}

bool PeriodChoice::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::Resize) {
        if (watched == periodGroup->item(1))
            fitBefore(periodGroup->item(1), daysEdit);
        else if (watched == periodGroup->item(2))
            fitBefore(periodGroup->item(2), weekEdit);
    }
    return QObject::eventFilter(watched, event);
}

void PeriodChoice::setWeekNumber(int week)
{
    weekNumber->setPosition(week);
}

void PeriodChoice::setAccessibleName(const QString& name)
{
    periodGroup->setAccessibleName(name);
}

QList<QWidget*> PeriodChoice::tabOrder() const
{
    return {periodGroup, daysEdit, weekEdit};
}

int PeriodChoice::periodType() const
{
    return periodGroup->itemIndex() + 1;
}

QString PeriodChoice::periodValue() const
{
    switch (periodGroup->itemIndex()) {
    case 1:
        return daysEdit->text();
    case 2:
        return weekEdit->text();
    default:
        return QStringLiteral("0");
    }
}
