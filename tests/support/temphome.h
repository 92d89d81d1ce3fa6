#pragma once

#include "qtprinting.h"

#include <QString>
#include <QTemporaryDir>

// A private program folder for one test: racr.ini, connection.dsn, RACR.db and avatars/ go here.
class TempHome {
public:
    TempHome();
    ~TempHome();
    QString path() const;                 // ends with '/'
    QString file(const QString& name) const;
    void write(const QString& name, const QByteArray& content) const;
    QByteArray read(const QString& name) const;

private:
    QTemporaryDir m_dir;
    QString m_previousHome;
};
