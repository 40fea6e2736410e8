#include "platform/FileLock.h"

#include <QCoreApplication>
#include <QList>
#include <QSysInfo>

QByteArray FileLock::Record() {
    return QByteArray::number(QCoreApplication::applicationPid()) + '\n' + ThisProgram().toUtf8() + '\n' +
           QSysInfo::machineHostName().toUtf8() + '\n' + QSysInfo::machineUniqueId() + '\n' +
           QSysInfo::bootUniqueId() + '\n';
}

FileLock::Holder FileLock::ParseRecord(const QByteArray& record) {
    Holder holder;
    // Only a whole record counts: a torn one may have lost digits of its process id.
    if (!record.endsWith('\n'))
        return holder;
    const QList<QByteArray> lines = record.split('\n');
    if (lines.size() < 4)
        return holder;
    bool ok = false;
    const qint64 pid = lines[0].toLongLong(&ok);
    if (!ok || pid <= 0)
        return holder;
    holder.pid = pid;
    holder.program = QString::fromUtf8(lines[1]);
    holder.host = QString::fromUtf8(lines[2]);
    if (lines.size() > 5) {
        holder.machineId = lines[3];
        holder.bootId = lines[4];
    }
    return holder;
}

bool FileLock::IsThisMachine(const Holder& holder) {
    if (!holder.machineId.isEmpty())
        return holder.machineId == QSysInfo::machineUniqueId();
    return holder.host.isEmpty() || holder.host == QSysInfo::machineHostName();
}

bool FileLock::IsThisBoot(const Holder& holder) {
    return IsThisMachine(holder) && (holder.bootId.isEmpty() || holder.bootId == QSysInfo::bootUniqueId());
}
