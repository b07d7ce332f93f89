// SPDX-FileCopyrightText: 2026 The VR2710 Demo Developers
// SPDX-License-Identifier: MIT
#pragma once

#include "virtualprinter.h"

#include <QByteArray>

// What the program says once the printer is ready, a line each: the rate it reads at, where each
// port leads, and then the export line to paste and where receipts go, or, `wired` (the sender
// already has its variables), where receipts are saved. Text in the locale's encoding, the
// export line byte for byte.
QByteArray readyMessage(const VirtualPrinter &printer, const VirtualPrinterOptions &options,
                        bool wired);
