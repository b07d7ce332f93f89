// SPDX-FileCopyrightText: 2026 The VR2710 Demo Developers
// SPDX-License-Identifier: MIT
#pragma once

#include "failure/lasterror.h"
#include "settings/printsettings.h"

#include <QByteArray>
#include <QString>

// What sort of device a failure happened on; it decides which advice goes with it.
enum class DeviceKind { SerialLine, PrinterDevice };

// Where the failure happened: the port name the user chose and the target behind it.
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
    qint64 pid = 0;      // 0: not known
    QString processName; // empty: not known
    QByteArray lockFile; // a lock file that names no process, where that is the reason
};

// The failure texts every transport shares are made here.

// A failure with a system error code: the number is errno, the description the system's text
// followed by what the user can do about it, where that is known.
LastError systemFailure(int errnum, const PortLocation &where);

// A failure without a system error code, or with a description of its own.
LastError portFailure(qint32 number, const QString &description, const PortLocation &where);

// The device is in use by another program (or another job): EBUSY, naming the holder.
LastError busyFailure(const PortLocation &where, const DeviceHolder &holder);

// The device is the system's console, so nothing may be printed on it.
LastError consoleFailure(const PortLocation &where);

// A write on a port that is not open; repeats why opening it failed, with that failure's
// number, where it did: the box shows the job's last failure, this one.
LastError notOpenFailure(const QString &port, const LastError &openFailure,
                         const PortLocation &where);

// The device took no data for the bound (9002): what the printer says about itself, where it
// said anything, or what to check.
LastError timeoutFailure(const PortLocation &where, qint64 milliseconds,
                         const QString &printerSays = {});

// Looking up the name of the printer or server (`whose`: "printer", "print server") took longer
// than the bound (9002).
LastError lookupTimeoutFailure(const PortLocation &where, const QByteArray &host,
                               const QString &whose, qint64 milliseconds);

// A part of this program that is loaded when first needed (the module that talks to print
// servers) cannot be loaded from `file`; `why` as the system says it.
LastError moduleFailure(const PortLocation &where, const QString &file, const QString &why);

// The job was stopped by a signal before the printer had everything.
LastError stoppedFailure(const PortLocation &where);

// Where the user changes the port's target: "VR2710_COM1", "line 3 of the settings file
// /home/ann/.config/vr2710/ports.conf", or both ways for a default.
QString whereToSetTarget(const PortLocation &where);

// "COM2 (/dev/ttyS1)": how failures name the port and its target.
QString portSource(const QString &portName, const QByteArray &devicePath);
