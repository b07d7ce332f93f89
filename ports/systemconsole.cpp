// SPDX-FileCopyrightText: 2026 The VR2710 Demo Developers
// SPDX-License-Identifier: MIT
#include "systemconsole.h"

#include <QFile>

#include <sys/sysmacros.h>

SystemConsole::SystemConsole(QByteArray activeList, QByteArray deviceFolder)
    : m_activeList(std::move(activeList))
    , m_deviceFolder(std::move(deviceFolder))
{
}

bool SystemConsole::isConsole(const struct stat &device) const
{
    if (!S_ISCHR(device.st_mode))
        return false;
    if (device.st_rdev == makedev(5, 1)) // /dev/console
        return true;

    QFile list(QFile::decodeName(m_activeList));
    if (!list.open(QIODevice::ReadOnly))
        return false;
    for (const QByteArray &name : list.readAll().simplified().split(' ')) {
        if (name.isEmpty())
            continue;
        struct stat console
        {
        };
        const QByteArray node = m_deviceFolder + '/' + name;
        if (::stat(node.constData(), &console) == 0 && S_ISCHR(console.st_mode) &&
            console.st_rdev == device.st_rdev)
            return true;
    }
    return false;
}
