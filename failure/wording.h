// SPDX-FileCopyrightText: 2026 The VR2710 Demo Developers
// SPDX-License-Identifier: MIT
#pragma once

#include "failure.h"

// The catalogue's own pieces, shared by its files; nothing outside failure/ uses them.
namespace Wording {

// A message as a sentence: one full stop at its end; and the same with a capital first.
QString sentence(QString text);
QString capitalized(QString text);
// The system's words for an errno.
QString systemText(int errnum);
// A bound in seconds, as "10" or "1.5".
QString seconds(std::chrono::milliseconds bound);

// Where the user changes the port's target: "VR2710_COM1", "COM1= on line 3 of the settings
// file /home/ann/.config/vr2710/ports.conf", or both ways for a default.
QString whereToSetTarget(const FailurePlace &place);
// "set VR2710_COM1 to <what>", or the settings file's line that names the target.
QString setTargetTo(const FailurePlace &place, const QString &what);

// The descriptions of the network's and the print servers' kinds (networkwording.cpp).
QString networkDescription(const Failure &failure);

} // namespace Wording
