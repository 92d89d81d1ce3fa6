#include "periodchoice.h"

#include "common/designfont.h"
#include "common/radiogroup.h"
#include "common/updown.h"

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

PeriodChoice::PeriodChoice(QWidget* form, const QString& caption, const QRect& group,
                           const QPoint& dayEdit, const QPoint& weekEdit)
    : QObject(form)
{
    RadioGroup1 = new RadioGroup(caption,
                                 {QStringLiteral("Overall"),
                                  QStringLiteral("Daily             minus  "),
                                  QStringLiteral("Weekly  weeknum.")},
                                 form);
    RadioGroup1->setObjectName(QStringLiteral("RadioGroup1"));
    RadioGroup1->setGeometry(group);
    RadioGroup1->setItemIndex(1);
    // The captions are spaced to run into the edits over the group; a screen reader reads the
    // words alone, and the edits' names say what their numbers are.
    RadioGroup1->item(1)->setAccessibleName(QStringLiteral("Daily"));
    RadioGroup1->item(2)->setAccessibleName(QStringLiteral("Weekly"));

    Edit2 = new QLineEdit(QStringLiteral("0"), form);
    Edit2->setObjectName(QStringLiteral("Edit2"));
    Edit2->setGeometry(QRect(dayEdit, QSize(25, 21)));
    Edit2->setAccessibleName(QStringLiteral("Days before today"));
    uday = new UpDown(Edit2, 0, 6, form);
    uday->setObjectName(QStringLiteral("uday"));
    uday->setGeometry(QRect(dayEdit + QPoint(25, 0), QSize(16, 21)));

    Edit3 = new QLineEdit(QStringLiteral("1"), form);
    Edit3->setObjectName(QStringLiteral("Edit3"));
    Edit3->setGeometry(QRect(weekEdit, QSize(25, 21)));
    Edit3->setAccessibleName(QStringLiteral("Week number"));
    uweek = new UpDown(Edit3, 1, 53, form);
    uweek->setObjectName(QStringLiteral("uweek"));
    uweek->setGeometry(QRect(weekEdit + QPoint(25, 0), QSize(16, 21)));

    // The group places its items when it is laid out; each fits its words to its edit then.
    RadioGroup1->item(1)->installEventFilter(this);
    RadioGroup1->item(2)->installEventFilter(this);
}

bool PeriodChoice::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::Resize) {
        if (watched == RadioGroup1->item(1))
            fitBefore(RadioGroup1->item(1), Edit2);
        else if (watched == RadioGroup1->item(2))
            fitBefore(RadioGroup1->item(2), Edit3);
    }
    return QObject::eventFilter(watched, event);
}

int PeriodChoice::periodType() const
{
    return RadioGroup1->itemIndex() + 1;
}

QString PeriodChoice::periodValue() const
{
    switch (RadioGroup1->itemIndex()) {
    case 1:
        return Edit2->text();
    case 2:
        return Edit3->text();
    default:
        return QStringLiteral("0");
    }
}
