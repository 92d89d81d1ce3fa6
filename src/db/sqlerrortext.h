#pragma once

#include <QSqlError>
#include <QString>

// A failed statement or connection as a person reads it: the engine's words, then the driver's in
// parentheses. QSqlError::text() glues the two with a blank into one sentence that reads wrong
// ("database is locked Unable to fetch row").
inline QString sqlErrorText(const QSqlError& error)
{
    const QString engine = error.databaseText().trimmed();
    const QString driver = error.driverText().trimmed();
    if (engine.isEmpty())
        return driver;
    if (driver.isEmpty() || driver == engine)
        return engine;
    return engine + QStringLiteral(" (") + driver + QLatin1Char(')');
}
