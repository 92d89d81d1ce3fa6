#pragma once

#include <QStringList>
#include <QTemporaryDir>

// This process's resident memory in MB: now ("VmRSS:") or at its peak so far ("VmHWM:").
double ownMemoryMb(const char* key);

// A child's own peak memory, taken by GNU time: a child started straight from the benchmark would
// count the benchmark's memory as its own.
class ChildPeakMemory {
public:
    // What to start instead of `command`: it under /usr/bin/time, which writes into this object's file.
    QStringList underTime(const QStringList& command) const;
    // Once the child has ended.
    double megabytes() const;

private:
    QString file() const { return m_scratch.filePath(QStringLiteral("peak")); }

    QTemporaryDir m_scratch;
};
