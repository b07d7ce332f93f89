// SPDX-FileCopyrightText: 2026 The VR2710 Demo Developers
// SPDX-License-Identifier: MIT
#include "parallelport.h"

ParallelPort::ParallelPort(PrintSettings settings, PortSystem system)
    : PrinterPort(std::move(settings), std::move(system))
{
}

LastError ParallelPort::open(const QString &portName)
{
    return openPort(portName, DeviceKind::PrinterDevice);
}

LastError ParallelPort::print(const QByteArray &text, bool lineEnd)
{
    return send(lineEnd ? text + "\r\n" : text);
}
