#pragma once

#include "failure/lasterror.h"

#include <QString>

// What sort of device a failure happened on; it decides which advice goes with it.
enum class DeviceKind { SerialLine, PrinterDevice };

// Where the failure happened: the port name the user chose and the device behind it.
struct PortLocation
{
    QString portName;
    QString devicePath;
    DeviceKind kind;
};

// A failure with a system error code: the number is errno, the description the system's text
// followed by what the user can do about it, where that is known.
LastError systemFailure(int errnum, const PortLocation &where);

// A failure without a system error code: one of the numbers in ErrorNumber.
LastError portFailure(qint32 number, const QString &description, const PortLocation &where);

// A write on a port that is not open; repeats why opening it failed, where it did.
LastError notOpenFailure(const QString &port, const QString &openFailure,
                         const PortLocation &where);

// The advice for a timeout: the device took no data for the given time.
QString timeoutDescription(const PortLocation &where, qint64 milliseconds);
