// SPDX-FileCopyrightText: 2026 The VR2710 Demo Developers
// SPDX-License-Identifier: MIT
#include "porterror.h"

#include "failure/displaypath.h"
#include "pathresolution.h"
#include "settings/portnames.h"
#include "settings/settingsfile.h"

#include <cerrno>
#include <cstring>

namespace {

// Whether the failure is about a device node rather than a file to print into.
bool onDevice(const PortLocation &where)
{
    return isUnderDev(where.resolvedPath.isEmpty() ? where.devicePath : where.resolvedPath);
}

// "set VR2710_COM1 to <what>", or the settings file's line that names the target.
QString setTargetTo(const PortLocation &where, const QString &what)
{
    const QString variable = PortNames::overrideVariable(where.portName);
    const QString file = displayPath(where.origin.settingsFile);
    switch (where.origin.kind) {
    case TargetOrigin::Kind::Environment:
        return QStringLiteral("set %1 to %2").arg(variable, what);
    case TargetOrigin::Kind::SettingsFile:
        return QStringLiteral("change %1= on line %2 of the settings file %3 to %4")
            .arg(where.portName)
            .arg(where.origin.line)
            .arg(file, what);
    case TargetOrigin::Kind::Default:
        break;
    }
    return QStringLiteral("set %1 (or %2= under [ports] in the settings file %3) to %4")
        .arg(variable, where.portName, displayPath(SettingsFile::path()), what);
}

QString adviceFor(int errnum, const PortLocation &where)
{
    const bool serial = where.kind == DeviceKind::SerialLine;
    const QString device = displayPath(where.devicePath);
    switch (errnum) {
    case EACCES:
    case EPERM:
        if (serial)
            return QStringLiteral("Add your user to the \"dialout\" group "
                                  "(sudo usermod -aG dialout $USER), then log in again.");
        if (onDevice(where))
            return QStringLiteral("Add your user to the \"lp\" group "
                                  "(sudo usermod -aG lp $USER), then log in again.");
        return QStringLiteral("Check the permissions of %1.").arg(device);
    case ENOENT:
    case ENODEV:
        if (where.devicePath.isEmpty())
            return QStringLiteral("No device is known for the port %1.").arg(where.portName);
        if (serial)
            return QStringLiteral("Connect the printer, or %1.")
                .arg(setTargetTo(where, QStringLiteral("the serial device to use (for example "
                                                       "/dev/ttyUSB0)")));
        if (onDevice(where))
            return QStringLiteral("Connect the printer, or %1.")
                .arg(setTargetTo(where, QStringLiteral("the printer device to use (for example "
                                                       "/dev/usb/lp0) or to a file to print "
                                                       "into")));
        return QStringLiteral("Check that the folder of %1 exists.").arg(device);
    case EBUSY:
        return QStringLiteral("Another program is using %1; close it and try again.").arg(device);
    case ENXIO:
        if (serial)
            return QStringLiteral("The device %1 is not present; check that it is connected.")
                .arg(device);
        return QStringLiteral("Nothing takes data from %1: the printer is off line or not "
                              "connected (or no program is reading this pipe).")
            .arg(device);
    case EIO:
    case EPIPE:
        return QStringLiteral("The connection to the printer was lost; check the cable and "
                              "that the printer is switched on.");
    case ENOSPC:
        // The parallel-port driver's word for "out of paper"; on a file it is a full disk.
        if (!serial && onDevice(where))
            return QStringLiteral("The printer is out of paper; load paper and print again.");
        return QStringLiteral("The disk is full; free some space and print again.");
    case EISDIR:
        return QStringLiteral("%1 is a folder; %2.")
            .arg(device, setTargetTo(where, QStringLiteral("a device instead")));
    case ENOTTY:
        if (serial)
            return QStringLiteral("%1 is not a serial device; %2.")
                .arg(device, setTargetTo(where, QStringLiteral("one")));
        return {};
    default:
        return {};
    }
}

} // namespace

QString whereToSetTarget(const PortLocation &where)
{
    const QString variable = PortNames::overrideVariable(where.portName);
    switch (where.origin.kind) {
    case TargetOrigin::Kind::Environment:
        return variable;
    case TargetOrigin::Kind::SettingsFile:
        return QStringLiteral("%1= on line %2 of the settings file %3")
            .arg(where.portName)
            .arg(where.origin.line)
            .arg(displayPath(where.origin.settingsFile));
    case TargetOrigin::Kind::Default:
        break;
    }
    return QStringLiteral("%1 or the settings file").arg(variable);
}

LastError systemFailure(int errnum, const PortLocation &where)
{
    QString description = QString::fromLocal8Bit(std::strerror(errnum)) + QLatin1Char('.');
    const QString advice = adviceFor(errnum, where);
    if (!advice.isEmpty())
        description += QLatin1Char(' ') + advice;
    return portFailure(errnum, description, where);
}

LastError portFailure(qint32 number, const QString &description, const PortLocation &where)
{
    LastError error;
    error.number = number;
    error.source = portSource(where.portName, where.devicePath);
    error.description = description;
    return error;
}

LastError busyFailure(const PortLocation &where, const DeviceHolder &holder)
{
    const QString source = portSource(where.portName, where.devicePath);
    QString description;
    if (holder.pid > 0) {
        description = QStringLiteral("%1 is in use by process %2").arg(source).arg(holder.pid);
        if (!holder.processName.isEmpty())
            description += QStringLiteral(" (%1)").arg(holder.processName);
        description += QStringLiteral(". Close that program or wait until it is done, then print "
                                      "again.");
    } else if (!holder.lockFile.isEmpty()) {
        description = QStringLiteral("%1 is locked by %2, which names no running program. If no "
                                     "program uses the port, remove that file and print again.")
                          .arg(source, displayPath(holder.lockFile));
    } else {
        description = QStringLiteral("%1 is in use by another program. Close it or wait until it "
                                     "is done, then print again.")
                          .arg(source);
    }
    return portFailure(EBUSY, description, where);
}

LastError consoleFailure(const PortLocation &where)
{
    return portFailure(
        ErrorNumber::SystemConsole,
        QStringLiteral("%1 is the system console, so nothing was sent to it. "
                       "Connect the printer to another port, or %2.")
            .arg(displayPath(where.devicePath), setTargetTo(where, QStringLiteral("its device"))),
        where);
}

LastError notOpenFailure(const QString &port, const LastError &openFailure,
                         const PortLocation &where)
{
    QString description = QStringLiteral("The %1 is not open, so nothing was sent.").arg(port);
    if (openFailure.isFailure())
        description += QStringLiteral(" Opening it failed (error %1): %2")
                           .arg(openFailure.number)
                           .arg(openFailure.description);
    return portFailure(ErrorNumber::PortNotOpen, description, where);
}

LastError timeoutFailure(const PortLocation &where, qint64 milliseconds, const QString &printerSays)
{
    const QString advice = !printerSays.isEmpty()
                               ? printerSays
                               : QStringLiteral("Check that the printer is switched on, on line "
                                                "and has paper.");
    return portFailure(ErrorNumber::Timeout,
                       QStringLiteral("%1 took no data for %2 s. %3")
                           .arg(displayPath(where.devicePath))
                           .arg(double(milliseconds) / 1000.0, 0, 'g', 3)
                           .arg(advice),
                       where);
}

LastError lookupTimeoutFailure(const PortLocation &where, const QByteArray &host,
                               const QString &whose, qint64 milliseconds)
{
    return portFailure(ErrorNumber::Timeout,
                       QStringLiteral("Looking up the %1's name %2 took longer than %3 s. Check "
                                      "this computer's network connection, or give the %1's IP "
                                      "address.")
                           .arg(whose, QString::fromUtf8(host))
                           .arg(double(milliseconds) / 1000.0, 0, 'g', 3),
                       where);
}

LastError moduleFailure(const PortLocation &where, const QString &file, const QString &why)
{
    return portFailure(ENOENT,
                       QStringLiteral("Printing to a print server needs %1, which cannot be "
                                      "loaded (%2). Install the print-server library (sudo apt "
                                      "install libcups2), and this program's package "
                                      "(vr2710-demo) again.")
                           .arg(file, why),
                       where);
}

LastError stoppedFailure(const PortLocation &where)
{
    return portFailure(ErrorNumber::Stopped,
                       QStringLiteral("The job was stopped before %1 had the whole receipt.")
                           .arg(displayPath(where.devicePath)),
                       where);
}

QString portSource(const QString &portName, const QByteArray &devicePath)
{
    if (devicePath.isEmpty())
        return portName;
    return QStringLiteral("%1 (%2)").arg(portName, displayPath(devicePath));
}
