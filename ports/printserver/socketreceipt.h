// SPDX-FileCopyrightText: 2026 The VR2710 Demo Developers
// SPDX-License-Identifier: MIT
#pragma once

#include <QtGlobal>

// The kernel's count of the bytes a TCP socket has received, and the time since the last one;
// false for a socket that does not tell (a local one).
bool socketReceipt(int fd, qint64 &bytes, qint64 &sinceLastMs);
