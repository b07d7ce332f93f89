// SPDX-FileCopyrightText: 2026 The VR2710 Demo Developers
// SPDX-License-Identifier: MIT
#include "deviceholders.h"

#include "portfailure.h"

#include <QFile>

#include <cerrno>
#include <csignal>
#include <dirent.h>
#include <sys/sysmacros.h>

namespace {

bool sameFile(const struct stat &a, const struct stat &b)
{
    if (S_ISCHR(a.st_mode) || S_ISBLK(a.st_mode))
        return (a.st_mode & S_IFMT) == (b.st_mode & S_IFMT) && a.st_rdev == b.st_rdev;
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

// /proc/locks lines read "1: FLOCK  ADVISORY  WRITE 4242 fe:00:10780675 0 EOF"; waiting
// requests carry "->" and hold nothing.
qint64 flockHolder(const struct stat &file)
{
    QFile locks(QStringLiteral("/proc/locks"));
    if (!locks.open(QIODevice::ReadOnly))
        return 0;
    const QByteArray wanted = QByteArray::number(major(file.st_dev), 16).rightJustified(2, '0') +
                              ':' +
                              QByteArray::number(minor(file.st_dev), 16).rightJustified(2, '0') +
                              ':' + QByteArray::number(quint64(file.st_ino));
    for (const QByteArray &line : locks.readAll().split('\n')) {
        const QByteArrayList fields = line.simplified().split(' ');
        if (fields.size() >= 6 && fields[1] != "->" && fields[5] == wanted)
            return fields[4].toLongLong();
    }
    return 0;
}

// Numeric entries of a /proc folder: process ids, or descriptor numbers.
QByteArrayList numericEntries(const QByteArray &folder)
{
    QByteArrayList names;
    if (DIR *dir = ::opendir(folder.constData())) {
        while (const dirent *entry = ::readdir(dir)) {
            if (entry->d_name[0] >= '0' && entry->d_name[0] <= '9')
                names << QByteArray(entry->d_name);
        }
        ::closedir(dir);
    }
    return names;
}

qint64 processWithOpenFile(const struct stat &file)
{
    for (const QByteArray &process : numericEntries("/proc")) {
        const QByteArray fds = "/proc/" + process + "/fd/";
        for (const QByteArray &descriptor : numericEntries(fds)) {
            struct stat opened
            {
            };
            if (::stat((fds + descriptor).constData(), &opened) == 0 && sameFile(file, opened))
                return process.toLongLong();
        }
    }
    return 0;
}

} // namespace

namespace DeviceHolders {

bool isProcessAlive(qint64 pid)
{
    return pid > 0 && (::kill(pid_t(pid), 0) == 0 || errno == EPERM);
}

QString processName(qint64 pid)
{
    QFile comm(QStringLiteral("/proc/%1/comm").arg(pid));
    if (!comm.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(comm.readAll().trimmed());
}

DeviceHolder processHolder(qint64 pid)
{
    DeviceHolder holder;
    holder.pid = pid;
    holder.processName = processName(pid);
    // /proc/PID/stat: "PID (NAME) STATE PPID ..."; the name may hold anything, even ")".
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    const QByteArray line = stat.open(QIODevice::ReadOnly) ? stat.readAll() : QByteArray();
    const QByteArrayList fields = line.mid(line.lastIndexOf(')') + 1).simplified().split(' ');
    if (fields.size() >= 2 && fields[0] == "Z") {
        holder.reaperPid = fields[1].toLongLong();
        holder.reaperName = processName(holder.reaperPid);
    }
    return holder;
}

DeviceHolder holderOf(const struct stat &file)
{
    qint64 pid = flockHolder(file);
    if (pid == 0)
        pid = processWithOpenFile(file);
    return pid != 0 ? processHolder(pid) : DeviceHolder();
}

LastError openFailure(int errnum, const PortLocation &where)
{
    struct stat status
    {
    };
    if (errnum == EBUSY && ::stat(where.resolvedPath.constData(), &status) == 0)
        return busyFailure(where, holderOf(status));
    return systemFailure(errnum, where);
}

} // namespace DeviceHolders
