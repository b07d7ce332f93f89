// SPDX-FileCopyrightText: 2026 The VR2710 Demo Developers
// SPDX-License-Identifier: MIT
#include "printerstatus.h"

#include <linux/lp.h>

QString printerStatusText(int status)
{
    if (status & LP_POUTPA)
        return QStringLiteral("The printer is out of paper. Load paper and print again.");
    if (!(status & LP_PSELECD))
        return QStringLiteral("The printer is off line. Switch it on and put it on line, then "
                              "print again.");
    if (!(status & LP_PERRORP))
        return QStringLiteral("The printer reports an error (a paper jam, an open cover or the "
                              "like). Clear it, then print again.");
    return {};
}
