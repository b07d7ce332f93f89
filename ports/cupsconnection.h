// SPDX-FileCopyrightText: 2026 The VR2710 Demo Developers
// SPDX-License-Identifier: MIT
#pragma once

#include "connection.h"

#include <QByteArray>

#include <chrono>

// A queue of a print server (CUPS) or an IPP printer as a port's target:
//   ipp://HOST[:PORT]/printers/QUEUE    a queue on a CUPS server (PORT 631 unless given)
//   ipps://HOST[:PORT]/printers/QUEUE   the same over TLS
//   ipp://HOST:PORT/ipp/print           an IPP Everywhere printer's own address
//   cups:QUEUE                          a queue on this machine's default server (CUPS_SERVER,
//                                       client.conf, or the local scheduler)
//
// Opens a job on the queue that where.devicePath names: connects to the server and checks that
// the queue exists. The connection keeps what is written and sends it as one raw document when
// closed, then waits until the server says the job is completed. Every exchange with the server
// fails once it has answered nothing for the stall bound; the whole job must be completed
// within its bytes' time on the printer's 9600-baud line plus that bound, or it is cancelled on
// the server and fails with the server's last word about it.
OpenedConnection openPrintServerQueue(const PortLocation &where, StallBound &stall);

// The time a job's bytes take on the printer's line: 9600 baud, 10 bits a byte.
std::chrono::milliseconds printerLineTime(qsizetype bytes);
