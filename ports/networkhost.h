// SPDX-FileCopyrightText: 2026 The VR2710 Demo Developers
// SPDX-License-Identifier: MIT
#pragma once

#include "connection.h"

#include "failure/failure.h"

#include <QByteArray>
#include <QString>

#include <chrono>
#include <memory>
#include <optional>

struct addrinfo;

// Reaching a host on the network, for network printers and print servers alike: the name lookup
// and the connection, each within what is left of the job's stall bound and stopped by a stop
// request, and the one way of reporting what went wrong on the way.

// Who is at the other end: a printer or a print server, its host and port.
using NetworkPeer = FailurePeer;

// What looking a name up gave: getaddrinfo()'s status and the addresses.
struct HostLookup
{
    int status = 0;
    std::unique_ptr<addrinfo, void (*)(addrinfo *)> addresses{nullptr, nullptr};
};

// The host's addresses, or nullopt when the lookup took longer than `wait` or a stop was
// requested meanwhile (getaddrinfo() has no bound of its own). An address written as numbers
// is taken at once.
std::optional<HostLookup> lookUpHost(const NetworkPeer &peer, std::chrono::milliseconds wait);

// A connected, non-blocking socket to the first of the addresses that takes the connection,
// trying each in turn within the stall bound; or why none did: the last address's errno,
// ETIMEDOUT when the bound ran out, ECANCELED when a stop was requested.
struct HostConnection
{
    int fd = -1;
    int error = 0;
};
HostConnection connectToHost(const addrinfo *addresses, StallBound &stall);

// The failure for a lookup that gave no address, that ran out of the bound (or was stopped), or
// a connection that failed with `errnum` (refused, no route, out of time, stopped...).
LastError hostNotFoundFailure(const PortLocation &where, const NetworkPeer &peer, int status);
LastError lookupFailure(const PortLocation &where, const NetworkPeer &peer,
                        std::chrono::milliseconds limit);
LastError connectFailure(const PortLocation &where, const NetworkPeer &peer, int errnum,
                         std::chrono::milliseconds limit);
