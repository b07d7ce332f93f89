// SPDX-FileCopyrightText: 2026 The VR2710 Demo Developers
// SPDX-License-Identifier: MIT
#pragma once

#include <QByteArray>

#include <sys/stat.h>

// The terminals the kernel uses as its console (/sys/class/tty/console/active lists them, e.g.
// "tty0 ttyS0"), and /dev/console itself. On a virtual machine the first serial line is often
// one of them: a receipt sent there would land on the console, so ports refuse them.
class SystemConsole
{
public:
    // The system's own console list and device folder.
    SystemConsole()
        : SystemConsole("/sys/class/tty/console/active", "/dev")
    {
    }
    // Elsewhere, for tests.
    explicit SystemConsole(QByteArray activeList, QByteArray deviceFolder);

    // Whether the device (from stat) is the console or one of its terminals.
    bool isConsole(const struct stat &device) const;

private:
    QByteArray m_activeList;
    QByteArray m_deviceFolder;
};
