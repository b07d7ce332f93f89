// SPDX-FileCopyrightText: 2026 The VR2710 Demo Developers
// SPDX-License-Identifier: MIT
#include "serialport.h"

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
        return portFailure(ErrorNumber::PortAlreadyOpen,
                           QStringLiteral("The port number cannot change while the port is open."),
                           m_location);
    m_portNumber = number;
    m_location = location(portName(), DeviceKind::SerialLine);
    return {};
}

LastError SerialPort::open()
{
    if (!isOpen() && m_settings.target(portName()).target.isEmpty()) {
        m_location = location(portName(), DeviceKind::SerialLine);
        return openFailed(portFailure(
            ErrorNumber::InvalidPortNumber,
            QStringLiteral("There is no serial port number %1.").arg(m_portNumber), m_location));
    }
    return openPort(portName(), DeviceKind::SerialLine,
                    QStringLiteral("The serial port is already open."));
}

LastError SerialPort::write(const QByteArray &bytes)
{
    return send(bytes, QStringLiteral("serial port"));
}
