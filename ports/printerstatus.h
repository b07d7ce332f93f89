// SPDX-FileCopyrightText: 2026 The VR2710 Demo Developers
// SPDX-License-Identifier: MIT
#pragma once

#include "failure/failure.h"

// What a printer says about itself through the LPGETSTATUS ioctl of the parallel-port (lp)
// and USB printer (usblp) drivers: the status lines of its port, checked in the order the lp
// driver checks them. Fine where the status shows nothing wrong.
PrinterCondition printerCondition(int status);
