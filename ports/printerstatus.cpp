// SPDX-FileCopyrightText: 2026 The VR2710 Demo Developers
// SPDX-License-Identifier: MIT
#include "printerstatus.h"

#include <linux/lp.h>

PrinterCondition printerCondition(int status)
{
    if (status & LP_POUTPA)
        return PrinterCondition::OutOfPaper;
    if (!(status & LP_PSELECD))
        return PrinterCondition::OffLine;
    if (!(status & LP_PERRORP))
        return PrinterCondition::Error;
    return PrinterCondition::Fine;
}
