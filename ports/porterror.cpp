#include "porterror.h"

#include "portdevices.h"

#include <cerrno>
#include <cstring>

namespace {

bool isDevicePath(const QString &path)
{
    return path.startsWith(QLatin1String("/dev/"));
}

QString adviceFor(int errnum, const PortLocation &where)
{
    const bool serial = where.kind == DeviceKind::SerialLine;
    const QString variable = portOverrideVariable(where.portName);
    switch (errnum) {
    case EACCES:
    case EPERM:
        if (serial)
            return QStringLiteral("Add your user to the \"dialout\" group "
                                  "(sudo usermod -aG dialout $USER), then log in again.");
        if (isDevicePath(where.devicePath))
            return QStringLiteral("Add your user to the \"lp\" group "
                                  "(sudo usermod -aG lp $USER), then log in again.");
        return QStringLiteral("Check the permissions of %1.").arg(where.devicePath);
    case ENOENT:
    case ENODEV:
        if (where.devicePath.isEmpty())
            return QStringLiteral("No device is known for the port %1.").arg(where.portName);
        if (serial)
            return QStringLiteral("Connect the printer, or set %1 to the serial device to use "
                                  "(for example /dev/ttyUSB0).")
                .arg(variable);
        if (isDevicePath(where.devicePath))
            return QStringLiteral("Connect the printer, or set %1 to the printer device to use "
                                  "(for example /dev/usb/lp0) or to a file to print into.")
                .arg(variable);
        return QStringLiteral("Check that the folder of %1 exists.").arg(where.devicePath);
    case EBUSY:
        return QStringLiteral("Another program is using %1; close it and try again.")
            .arg(where.devicePath);
    case ENXIO:
        if (serial)
            return QStringLiteral("The device %1 is not present; check that it is connected.")
                .arg(where.devicePath);
        return QStringLiteral("Nothing takes data from %1: the printer is off line or not "
                              "connected (or no program is reading this pipe).")
            .arg(where.devicePath);
    case EIO:
    case EPIPE:
        return QStringLiteral("The connection to the printer was lost; check the cable and "
                              "that the printer is switched on.");
    case ENOSPC:
        return QStringLiteral("The disk is full; free some space and print again.");
    case EISDIR:
        return QStringLiteral("%1 is a folder; set %2 to a device instead.")
            .arg(where.devicePath, variable);
    case ENOTTY:
        if (serial)
            return QStringLiteral("%1 is not a serial device; set %2 to one.")
                .arg(where.devicePath, variable);
        return {};
    default:
        return {};
    }
}

} // namespace

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

LastError notOpenFailure(const QString &port, const QString &openFailure, const PortLocation &where)
{
    QString description = QStringLiteral("The %1 is not open, so nothing was sent.").arg(port);
    if (!openFailure.isEmpty())
        description += QStringLiteral(" Opening it failed: ") + openFailure;
    return portFailure(ErrorNumber::PortNotOpen, description, where);
}

QString timeoutDescription(const PortLocation &where, qint64 milliseconds)
{
    return QStringLiteral("%1 took no data for %2 s. Check that the printer is switched on, on "
                          "line and has paper.")
        .arg(where.devicePath)
        .arg(double(milliseconds) / 1000.0, 0, 'g', 3);
}
