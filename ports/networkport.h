// SPDX-FileCopyrightText: 2026 The VR2710 Demo Developers
// SPDX-License-Identifier: MIT
#pragma once

#include "connection.h"

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

    // nullopt when the device is not a well-formed address.
    static std::optional<NetworkAddress> parse(const QByteArray &device);
};

// Connects to the network printer at where.devicePath ("socket://HOST[:PORT]"). Every call of
// the connection blocks with a bounded wait, so a job can run it on any thread, with no event
// loop: the name lookup and the connection, every send, and the close (which waits until the
// printer has acknowledged every byte) each fail once nothing has moved for the stall bound.
OpenedConnection openNetworkPrinter(const PortLocation &where, StallBound &stall);
