// SPDX-FileCopyrightText: 2026 The VR2710 Demo Developers
// SPDX-License-Identifier: MIT
#pragma once

#include "failure/lasterror.h"
#include "porterror.h"
#include "stallbound.h"

#include <QByteArray>

#include <optional>

// "socket://HOST[:PORT]": a raw network printer, the port 9100 convention (each connection is
// one job, its bytes as on a printer port). PORT is 9100 unless given; an IPv6 HOST goes in
// brackets, "socket://[::1]:9100".
struct NetworkAddress
{
    static constexpr quint16 DefaultPort = 9100;

    QByteArray host;
    quint16 port = DefaultPort;

    // Whether a port's device names a network printer rather than a file.
    static bool isNetworkDevice(const QByteArray &device) { return device.startsWith("socket://"); }
    // nullopt when the device is not a well-formed address.
    static std::optional<NetworkAddress> parse(const QByteArray &device);
};

// One job's connection to a network printer: connect, send, close. Every call blocks with a
// bounded wait, so a job can run it on any thread, with no event loop: the name lookup and the
// connection, every send, and the close (which waits until the printer has acknowledged every
// byte) each fail once nothing has moved for the port's stall bound.
class NetworkConnection
{
public:
    explicit NetworkConnection(StallBound &stall)
        : m_stall(stall)
    {
    }
    ~NetworkConnection();
    NetworkConnection(const NetworkConnection &) = delete;
    NetworkConnection &operator=(const NetworkConnection &) = delete;

    // Connects to the address in where.devicePath.
    LastError open(const PortLocation &where);
    LastError send(const QByteArray &bytes);
    LastError close();
    bool isOpen() const { return m_fd >= 0; }

private:
    LastError connectTo(const NetworkAddress &address);
    LastError connectFailure(int errnum, const NetworkAddress &address) const;
    LastError timeoutFailure() const;
    // Reads and drops what the printer sent; false once it has hung up.
    bool discardAnswer();
    void drop();

    StallBound &m_stall;
    PortLocation m_location;
    int m_fd = -1;
};
