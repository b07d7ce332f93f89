// SPDX-FileCopyrightText: 2026 The VR2710 Demo Developers
// SPDX-License-Identifier: MIT
#pragma once

#include "location.h"

#include "failure/lasterror.h"

#include <QByteArray>
#include <QString>

#include <sys/stat.h>

// What the system tells about the processes that hold a device: for busy messages that name
// who to ask, and for lock files that name a process.
namespace DeviceHolders {

// Whether a process with this PID exists (one of another user counts too).
bool isProcessAlive(qint64 pid);

// The command name of a process ("minicom"), empty where it cannot be read.
QString processName(qint64 pid);

// A process that holds a device (alive, or ended but not yet reaped): its name, and for one that
// has ended, the parent that has yet to reap it.
DeviceHolder processHolder(qint64 pid);

// The process holding the file open, found in /proc/locks (an flock) or else among the open
// descriptors in /proc; pid 0 where neither tells.
DeviceHolder holderOf(const struct stat &file);

// A failed open of the device: EBUSY (another program's TIOCEXCL, or a printer driver that
// allows one open) names who holds it; any other errno is reported as it is.
LastError openFailure(int errnum, const PortLocation &where);

} // namespace DeviceHolders
