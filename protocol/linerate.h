// SPDX-FileCopyrightText: 2026 The VR2710 Demo Developers
// SPDX-License-Identifier: MIT
#pragma once

#include <QtGlobal>

#include <chrono>
#include <cmath>
#include <termios.h>

// The printer's line: 9600 baud, and 10 bits on the line for each byte (a start bit, 8 data bits,
// a stop bit). Whatever carries a receipt, the printer takes it no faster than this.
namespace LineRate {

inline constexpr int BaudRate = 9600;
inline constexpr int BitsPerByte = 10;
inline constexpr double MillisecondsPerByte = BitsPerByte * 1000.0 / BaudRate;
// The rate as termios names it, for the serial line and the virtual printer's pseudo-terminals.
inline constexpr speed_t TermiosSpeed = B9600;
static_assert(BaudRate == 9600, "TermiosSpeed must name BaudRate");

// The time these bytes take on the printer's line, rounded up.
inline std::chrono::milliseconds lineTime(qint64 bytes)
{
    return std::chrono::milliseconds(qint64(std::ceil(double(bytes) * MillisecondsPerByte)));
}

} // namespace LineRate
