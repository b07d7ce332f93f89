// SPDX-FileCopyrightText: 2026 The VR2710 Demo Developers
// SPDX-License-Identifier: MIT
#pragma once

#include "location.h"

#include "failure/failure.h"

// How the ports report a failure: what happened, at which port and target; the catalogue
// (failure/catalogue.h) words it.

// The place of a failure, as the catalogue takes it: the port, its target, what the target is,
// and where it was set (the settings file's path included).
FailurePlace placeOf(const PortLocation &where);

// The failure at this port.
LastError failureAt(const PortLocation &where, Failure failure);
LastError failureAt(const PortLocation &where, FailureKind kind);
// A system call failed with errnum.
LastError systemFailure(int errnum, const PortLocation &where);
// The device is in use by another program (or another job), as far as the holder is known.
LastError busyFailure(const PortLocation &where, const DeviceHolder &holder);
