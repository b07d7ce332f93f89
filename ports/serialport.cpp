// SPDX-FileCopyrightText: 2026 The VR2710 Demo Developers
// SPDX-License-Identifier: MIT
#include "serialport.h"

#include "portfailure.h"

SerialPort::SerialPort(PrintSettings settings, PortSystem system)
    : PrinterPort(std::move(settings), std::move(system))
{
    m_location = location(portName(), DeviceKind::SerialLine);
}

QString SerialPort::portName() const
{
    return QStringLiteral("COM%1").arg(m_portNumber);
}

LastError SerialPort::setPortNumber(qint16 number)
{
    if (isOpen())
        return failureAt(m_location, FailureKind::AlreadyOpen);
    m_portNumber = number;
    m_location = location(portName(), DeviceKind::SerialLine);
    return {};
}

LastError SerialPort::open()
{
    if (!isOpen() && m_settings.target(portName()).target.isEmpty()) {
        m_location = location(portName(), DeviceKind::SerialLine);
        Failure noSuchPort(FailureKind::NoSuchPortNumber);
        noSuchPort.portNumber = m_portNumber;
        return openFailed(failureAt(m_location, noSuchPort));
    }
    return openPort(portName(), DeviceKind::SerialLine);
}

LastError SerialPort::write(const QByteArray &bytes)
{
    return send(bytes);
}
