// SPDX-FileCopyrightText: 2026 The VR2710 Demo Developers
// SPDX-License-Identifier: MIT
#pragma once

#include "connection.h"
#include "transports.h"

#include "settings/printsettings.h"

// What the serial and the printer-device port share: the job's settings, one connection to the
// port's target between open and close, the stall bound, and the failures of a port that is not
// open. Each operation returns the failure it met, or a record with number 0; a failing
// operation stops where it failed and changes nothing else.
class PrinterPort
{
public:
    PrinterPort(PrintSettings settings, PortSystem system);
    virtual ~PrinterPort() = default;
    PrinterPort(const PrinterPort &) = delete;
    PrinterPort &operator=(const PrinterPort &) = delete;

    bool isOpen() const { return m_connection != nullptr; }
    // Waits (within the bound) until the printer has everything, then releases it.
    LastError close();
    // Called with each count of bytes the printer took.
    void onBytesSent(std::function<void(qint64)> observer) { m_stall.onBytes(std::move(observer)); }

protected:
    // Opens the connection to the port's target.
    LastError openPort(const QString &portName, DeviceKind kind);
    // Remembers why the port did not open, for the writes that follow.
    LastError openFailed(const LastError &failure);
    // Sends the bytes on the open connection; on a port that is not open it says why.
    LastError send(const QByteArray &bytes);
    PortLocation location(const QString &portName, DeviceKind kind) const;

    PrintSettings m_settings;
    PortSystem m_system;
    PortLocation m_location;

private:
    StallBound m_stall;
    std::unique_ptr<Connection> m_connection;
    LastError m_openFailure;
};
