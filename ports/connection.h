// SPDX-FileCopyrightText: 2026 The VR2710 Demo Developers
// SPDX-License-Identifier: MIT
#pragma once

#include "failure/lasterror.h"
#include "location.h"
#include "stallbound.h"

#include <QByteArray>

#include <memory>

// A job's one connection to its printer, whatever carries it: a serial line, a printer device
// or file, a network socket, a print-server queue. The ports open one per job (see
// transports.h) and keep only what differs between them: the line settings and chunking.
class Connection
{
public:
    virtual ~Connection() = default;

    // Sends every byte, in order, adding nothing. Fails once the printer has taken nothing for
    // the job's stall bound.
    virtual LastError write(const QByteArray &bytes) = 0;
    // Ends the job on this connection, called once: waits, within the same bound, until the
    // printer has everything, then releases it.
    virtual LastError close() = 0;
};

// What opening a connection gave: the connection, or why there is none.
struct OpenedConnection
{
    std::unique_ptr<Connection> connection;
    LastError failure;
};
