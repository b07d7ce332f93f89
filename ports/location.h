// SPDX-FileCopyrightText: 2026 The VR2710 Demo Developers
// SPDX-License-Identifier: MIT
#pragma once

#include "settings/printsettings.h"

#include <QByteArray>
#include <QString>

// What sort of device a port drives: it decides how the target is opened, and the advice.
enum class DeviceKind { SerialLine, PrinterDevice };

// Where a job prints: the port name the user chose and the target behind it.
struct PortLocation
{
    QString portName;
    QByteArray devicePath; // the target as configured; messages show this one
    DeviceKind kind = DeviceKind::PrinterDevice;
    QByteArray resolvedPath; // the file it names, where that is known
    TargetOrigin origin;     // where the target was set, for advice on changing it
};

// Who holds a device that is busy, as far as a lock file or the system tells.
struct DeviceHolder
{
    qint64 pid = 0;       // 0: not known
    QString processName;  // empty: not known
    qint64 reaperPid = 0; // the process has ended; this parent has not reaped it yet
    QString reaperName;
    QByteArray lockFile; // a lock file that names no process, where that is the reason
    bool lockIsFolder = false;
};
