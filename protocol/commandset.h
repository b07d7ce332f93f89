// SPDX-FileCopyrightText: 2026 The VR2710 Demo Developers
// SPDX-License-Identifier: MIT
#pragma once

// The VR2710's command set: the control bytes a receipt is made of. The receipt stream sends
// them and the virtual printer's decoder reads them, from this one list.
namespace CommandSet {

inline constexpr char Bel = 0x07;            // bell, sent first
inline constexpr char LineFeed = 0x0a;       // ends a line
inline constexpr char FormFeed = 0x0c;       // ends the receipt: cut
inline constexpr char CarriageReturn = 0x0d; // back to the start of the line
inline constexpr char DoubleWidthOn = 0x0e;  // SO
inline constexpr char DoubleWidthOff = 0x14; // DC4; the line end ends it too
inline constexpr char Esc = 0x1b;
inline constexpr char Delete = 0x7f;

// After ESC: the pitch, 15, 12 or 8 characters per inch.
inline constexpr char Pitch15Cpi = 'M';
inline constexpr char Pitch12Cpi = 'P';
inline constexpr char Pitch8Cpi = ':';
// After ESC: underline, followed by '1' (on) or '0' (off); the bytes 01h and 00h also work.
inline constexpr char Underline = '-';
inline constexpr char UnderlineOnArgument = '1';
inline constexpr char UnderlineOffArgument = '0';

} // namespace CommandSet
