#pragma once
// What the benchmark programs share.
#include <QByteArray>
#include <QFile>
#include <QString>

// The process's resident memory in KiB, 0 where the system does not say.
inline long residentKb()
{
    QFile f(QStringLiteral("/proc/self/status"));
    if (!f.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray& line : f.readAll().split('\n'))
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').first().toLong();
    return 0;
}
