#pragma once

#include <QString>

// Lap times as racers read them. The database and the CSV export keep the service's seconds;
// only the pages show minutes.
namespace publish {

// 95.1 -> "1:35.100", 59.9996 -> "1:00.000", 12.3 -> "12.300": to the millisecond, with
// minutes from one minute on.
QString lapTime(double seconds);

// A stored time's text shown as lapTime() when it is a number above zero, else as stored ("DNF").
QString lapTimeText(const QString& stored);

} // namespace publish
