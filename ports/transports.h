// SPDX-FileCopyrightText: 2026 The VR2710 Demo Developers
// SPDX-License-Identifier: MIT
#pragma once

#include "connection.h"
#include "devicewriter.h"
#include "systemconsole.h"
#include "uucplock.h"

#include <functional>

struct PortSystem;

// Opens the connection a port's target names: a network printer (socket://), a print-server
// queue or IPP printer (ipp://, ipps://, cups:QUEUE), or else the
// device or file at that path, as a serial line (COM ports) or a printer device (LPT ports).
// A target that looks like an address of another kind is refused, never taken for a file.
OpenedConnection openConnection(const PortLocation &where, const PortSystem &system,
                                StallBound &stall);

// What the ports reach of the system; tests put fakes in its place.
struct PortSystem
{
    using Opener =
        std::function<OpenedConnection(const PortLocation &, const PortSystem &, StallBound &)>;

    Opener open = openConnection;
    DeviceCalls *calls = &DeviceCalls::system();       // system calls on an open device
    SystemConsole console;                             // terminals that must never get a receipt
    QByteArray lockFolder = UucpLock::defaultFolder(); // where serial lines are locked
    std::chrono::milliseconds stallLimit = StallBound::DefaultLimit;
};
