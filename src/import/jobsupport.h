#pragma once

#include <QLocale>
#include <QSqlDatabase>
#include <QSqlError>
#include <QString>
#include <QVariant>

namespace importjob {

// A millisecond tick that wraps at 2^32, like the system tick count the running time is taken from.
quint32 tickCount();

// "Running time: <seconds> sec." for the ticks at the start and now. The difference is taken
// modulo 2^32, so one wrap of the counter between the two does no harm; the seconds are written
// in the shortest general form (83.219, 83, 0.25) with the locale's decimal separator.
QString runningTimeLine(quint32 startTick, quint32 nowTick, const QLocale& locale = QLocale());

// A number the service sent as text, checked to be a decimal number ("12", "-3", "2.35",
// surrounding blanks allowed) and made a value to bind: an integer when it has no fraction.
// Anything else, the empty text included, throws ServiceError naming `what`.
QVariant serviceNumber(const QString& text, const QString& what);

// A text to bind: the empty text stays empty text. (A null QString would be bound as NULL, and
// an import with no shard selected stores an empty shard, not a missing one.)
QVariant serviceText(const QString& text);

// A statement of a job that the database refused: "<action> failed: <the engine's text>", a
// racr::StorageError when the database as a whole cannot be used.
[[noreturn]] void failStatement(const QSqlDatabase& db, const QString& action, const QSqlError& error);

} // namespace importjob
