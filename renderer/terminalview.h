// SPDX-FileCopyrightText: 2026 The VR2710 Demo Developers
// SPDX-License-Identifier: MIT
#pragma once

#include "receiptlayout.h"

// The receipt as text for a terminal, line for line as on the paper. With ANSI escapes
// underline is underlined, double width bold and spread out, markers in reverse video;
// without them, underlines are drawn on a line of their own and markers stand in brackets.
// Lines the receipt did not keep are counted in a note.
QString terminalView(const PrintedReceipt &receipt, const PaperSpec &paper, bool ansi);
