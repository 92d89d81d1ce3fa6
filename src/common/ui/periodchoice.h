#pragma once

#include <QList>
#include <QObject>
#include <QPoint>
#include <QRect>

class QLineEdit;
class QWidget;
class RadioGroup;
class UpDown;

// The period of a leaderboard: "Overall", daily with a day offset, or weekly with a week number.
// The two edits lie over the right-hand part of the group so that each item reads as its words
// followed by its number.
class PeriodChoice : public QObject {
    Q_OBJECT

public:
    // Positions on the area: the group, and the top-left corners of the day and week edits
    // (each 25 x 21, its up-down 16 x 21 right beside it).
    PeriodChoice(QWidget* area, const QString& caption, const QRect& group, const QPoint& daysAt,
                 const QPoint& weekAt);
    // Unplaced, for a window whose layout places the controls by their names (periodGroup,
    // daysEdit, daysBeforeToday, weekEdit, weekNumber).
    PeriodChoice(QWidget* area, const QString& caption);

    void setWeekNumber(int week);
    // The name a screen reader gives the group of the three choices.
    void setAccessibleName(const QString& name);
    // The group and the two edits, in the order Tab visits them.
    QList<QWidget*> tabOrder() const;

    int periodType() const;      // request key lt: 1 overall, 2 daily, 3 weekly
    QString periodValue() const; // request key rf: "0" overall, else the edit's text as typed

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    RadioGroup* periodGroup;
    QLineEdit* daysEdit;   // days before today, 0 to 6
    UpDown* daysBeforeToday;
    QLineEdit* weekEdit;   // week number, 1 to 53
    UpDown* weekNumber;
};
