// SPDX-FileCopyrightText: 2026 The VR2710 Demo Developers
// SPDX-License-Identifier: MIT
#pragma once

#include "failure/lasterror.h"

#include <QByteArray>
#include <QString>

// What sort of device a failure happened on; it decides which advice goes with it.
enum class DeviceKind { SerialLine, PrinterDevice };

// Where the failure happened: the port name the user chose and the device behind it.
struct PortLocation
{
    QString portName;
    QByteArray devicePath; // as configured; messages show this one
    DeviceKind kind;
    QByteArray resolvedPath; // the file it names, where that is known
};

// Who holds a device that is busy, as far as a lock file or the system tells.
struct DeviceHolder
{
    qint64 pid = 0;      // 0: not known
    QString processName; // empty: not known
    QByteArray lockFile; // a lock file that names no process, where that is the reason
};

// A failure with a system error code: the number is errno, the description the system's text
// followed by what the user can do about it, where that is known.
LastError systemFailure(int errnum, const PortLocation &where);

// A failure without a system error code: one of the numbers in ErrorNumber.
LastError portFailure(qint32 number, const QString &description, const PortLocation &where);

// The device is in use by another program (or another job): EBUSY, naming the holder.
LastError busyFailure(const PortLocation &where, const DeviceHolder &holder);

// The device is the system's console, so nothing may be printed on it.
LastError consoleFailure(const PortLocation &where);

// A write on a port that is not open; repeats why opening it failed, where it did.
LastError notOpenFailure(const QString &port, const QString &openFailure,
                         const PortLocation &where);

// The advice for a timeout: the device took no data for the given time; what the printer says
// about itself, where it said anything, or what to check.
QString timeoutDescription(const PortLocation &where, qint64 milliseconds,
                           const QString &printerSays = {});
