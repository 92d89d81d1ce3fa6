#pragma once

#include <QDate>
#include <QString>

namespace apptext {

// The application's title as the default error display shows it: the program file's name without
// folder and extension, the first letter upper case and every other letter lower case ("Racr").
QString applicationTitle(const QString& programPath);

// The text of the default error display: the message, with a full stop added when its last
// character sorts after ".".
QString errorText(const QString& message);

// The ISO 8601 week of a date, 1 to 53 (weeks start on Monday; week 1 holds the first Thursday).
int isoWeek(const QDate& date);

} // namespace apptext
