// SPDX-FileCopyrightText: 2026 The VR2710 Demo Developers
// SPDX-License-Identifier: MIT
#pragma once

#include "connection.h"

struct PortSystem;

// A printer device (/dev/lp0, /dev/usb/lp0, a FIFO) or a file, written like a sequential file.
// The target is resolved first: nothing is ever created under /dev, however the path is
// spelled; elsewhere a missing file is created ("print to file") and a file is emptied once the
// job holds it. The job holds it exclusively (flock), so a second job at the same time fails as
// busy. Writes never block: a device that takes no data for the stall bound fails the job, so an
// offline printer cannot hang it; failures say what the printer reports (LPGETSTATUS).
OpenedConnection openPrinterDevice(const PortLocation &where, const PortSystem &system,
                                   StallBound &stall);
