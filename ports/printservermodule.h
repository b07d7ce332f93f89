// SPDX-FileCopyrightText: 2026 The VR2710 Demo Developers
// SPDX-License-Identifier: MIT
#pragma once

#include "connection.h"

#include <atomic>

// A queue of a print server (CUPS) or an IPP printer as a port's target:
//   ipp://HOST[:PORT]/printers/QUEUE    a queue on a CUPS server (PORT 631 unless given)
//   ipps://HOST[:PORT]/printers/QUEUE   the same over TLS
//   ipp://HOST:PORT/ipp/print           an IPP Everywhere printer's own address
//   cups:QUEUE                          a queue on this machine's default server (CUPS_SERVER,
//                                       client.conf, or the local scheduler)
//
// Opens a job on the queue that where.devicePath names: connects to the server and checks that
// the queue exists. The connection keeps what is written and sends it as one raw document when
// closed, then waits until the server says the job is completed. Each exchange with the server
// must finish within the stall bound, and the whole job within its bytes' time on the printer's
// line plus that bound; a stop request ends any of them at once. A job the server created and
// that fails or is stopped is cancelled there, so that it never prints later.
//
// libcups, and all that it brings, is loaded only here, with the module that talks to print
// servers, on the first print-server job: programs that never print to one do not pay for it.
// The module is found beside the program (the build tree), or where it is installed:
// ../lib/<multiarch>/vr2710/ from the program's folder (../lib/vr2710/ where the system has no
// multiarch name).
OpenedConnection openPrintServerQueue(const PortLocation &where, StallBound &stall);

// The module's one entry point, a C function looked up by name. It opens the queue as above,
// following the program's stop request, and puts the connection or the failure in *result.
namespace PrintServerModule {
inline constexpr char FileName[] = "vr2710-print-server.so";
inline constexpr char FactoryName[] = "vr2710_open_print_server_queue";
// Changes whenever the types passed across change: a module of another build is refused.
inline constexpr int Version = 1;
using Factory = void (*)(int version, const std::atomic<bool> *stopFlag, const PortLocation *where,
                         StallBound *stall, OpenedConnection *result);
} // namespace PrintServerModule
