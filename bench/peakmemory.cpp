#include "peakmemory.h"

#include <QFile>

double ownMemoryMb(const char* key)
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith(key))
            return line.mid(qsizetype(qstrlen(key))).trimmed().split(' ').value(0).toDouble() / 1024.0;
    return -1;
}

QStringList ChildPeakMemory::underTime(const QStringList& command) const
{
    return QStringList{"/usr/bin/time", "-f", "%M", "-o", file()} + command;
}

double ChildPeakMemory::megabytes() const
{
    QFile peak(file());
    if (!peak.open(QIODevice::ReadOnly))
        return 0;
    return peak.readAll().trimmed().toDouble() / 1024.0;
}
