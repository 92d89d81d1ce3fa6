#include "import/jobsupport.h"

#include "common/error.h"
#include "db/writetransaction.h"

#include <QRegularExpression>
#include <chrono>

namespace importjob {

quint32 tickCount()
{
    const auto sinceStart = std::chrono::steady_clock::now().time_since_epoch();
    return quint32(std::chrono::duration_cast<std::chrono::milliseconds>(sinceStart).count());
}

QString runningTimeLine(quint32 startTick, quint32 nowTick, const QLocale& locale)
{
    const quint32 elapsedMs = nowTick - startTick;   // unsigned: wraps like the tick counter
    QLocale numbers = locale;
    // A long import (20 minutes are 1200 seconds) must not come out as "1,200".
    numbers.setNumberOptions(QLocale::OmitGroupSeparator);
    return QStringLiteral("Running time: ") + numbers.toString(elapsedMs / 1000.0, 'g', 15)
           + QStringLiteral(" sec.");
}

QVariant serviceNumber(const QString& text, const QString& what)
{
    static const QRegularExpression decimal(QStringLiteral("^\\s*[+-]?(\\d+(\\.\\d*)?|\\.\\d+)\\s*$"));
    if (decimal.match(text).hasMatch()) {
        const QString number = text.trimmed();
        bool whole = false;
        const qlonglong integer = number.toLongLong(&whole);
        if (whole)
            return integer;
        bool ok = false;
        const double value = number.toDouble(&ok);   // always with a point, whatever the locale
        if (ok)
            return value;
    }
    throw racr::ServiceError(QStringLiteral("The statistics service sent \"%1\" as %2, which is not a number.")
                                 .arg(text, what));
}

QVariant serviceText(const QString& text)
{
    return text.isNull() ? QVariant(QStringLiteral("")) : QVariant(text);
}

void failStatement(const QSqlDatabase& db, const QString& action, const QSqlError& error)
{
    racr::throwWriteFailure(db, action, error);
}

} // namespace importjob
