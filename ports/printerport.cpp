// SPDX-FileCopyrightText: 2026 The VR2710 Demo Developers
// SPDX-License-Identifier: MIT
#include "printerport.h"

#include "portfailure.h"

#include <cerrno>

PrinterPort::PrinterPort(PrintSettings settings, PortSystem system)
    : m_settings(std::move(settings))
    , m_system(std::move(system))
    , m_stall(m_system.stallLimit)
{
}

PortLocation PrinterPort::location(const QString &portName, DeviceKind kind) const
{
    const PortTarget target = m_settings.target(portName);
    return {portName, target.target, kind, {}, target.origin};
}

LastError PrinterPort::openPort(const QString &portName, DeviceKind kind)
{
    if (isOpen())
        return failureAt(m_location, FailureKind::AlreadyOpen);
    m_openFailure = {};
    m_location = location(portName, kind);
    if (m_location.devicePath.isEmpty())
        return openFailed(systemFailure(ENOENT, m_location));
    OpenedConnection opened = m_system.open(m_location, m_system, m_stall);
    m_connection = std::move(opened.connection);
    return openFailed(opened.failure);
}

LastError PrinterPort::openFailed(const LastError &failure)
{
    if (failure.isFailure())
        m_openFailure = failure;
    return failure;
}

LastError PrinterPort::send(const QByteArray &bytes)
{
    if (!isOpen()) {
        Failure notOpen(FailureKind::NotOpen);
        notOpen.cause = m_openFailure;
        return failureAt(m_location, notOpen);
    }
    if (bytes.isEmpty())
        return {};
    return m_connection->write(bytes);
}

LastError PrinterPort::close()
{
    if (!isOpen())
        return {};
    const LastError closed = m_connection->close();
    m_connection.reset();
    return closed;
}
