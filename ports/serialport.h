// SPDX-FileCopyrightText: 2026 The VR2710 Demo Developers
// SPDX-License-Identifier: MIT
#pragma once

#include "printerport.h"

// The serial port a job prints the serial stream on: a line chosen by its port number (n
// selects COMn), written one chunk per write; see serialline.h for the line itself.
class SerialPort : public PrinterPort
{
public:
    explicit SerialPort(PrintSettings settings, PortSystem system = PortSystem());

    // Selects COM<number>; does not open it.
    LastError setPortNumber(qint16 number);
    qint16 portNumber() const { return m_portNumber; }
    QString portName() const;
    LastError open();
    // Sends the bytes as they are, adding nothing; returns once they are handed to the system.
    LastError write(const QByteArray &bytes);

private:
    qint16 m_portNumber = 1;
};
