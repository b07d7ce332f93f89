// SPDX-FileCopyrightText: 2026 The VR2710 Demo Developers
// SPDX-License-Identifier: MIT
#pragma once

#include <QString>

// What a printer says about itself through the LPGETSTATUS ioctl of the parallel-port (lp)
// and USB printer (usblp) drivers: the status lines of its port. A sentence for the user,
// empty where the status shows nothing wrong. Checked in the order the lp driver checks them.
QString printerStatusText(int status);
