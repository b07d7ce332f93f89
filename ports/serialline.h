// SPDX-FileCopyrightText: 2026 The VR2710 Demo Developers
// SPDX-License-Identifier: MIT
#pragma once

#include "connection.h"

struct PortSystem;

// A serial line at 9600 baud, 8 data bits, no parity, one stop bit, no flow control, set with
// termios on the one descriptor the job opens. The line is held the ways Linux serial programs
// hold it, all at once: a uucp lock file (minicom, ModemManager), flock on the descriptor
// (picocom) and TIOCEXCL; and refused when it is the system console. Writes never block: a
// line that takes no byte for the stall bound fails the job, and after that the job's later
// writes and its close fail or finish at once, so a dead line costs one bound. Closing first lets
// the output drain, within the same bound.
OpenedConnection openSerialLine(const PortLocation &where, const PortSystem &system,
                                StallBound &stall);
