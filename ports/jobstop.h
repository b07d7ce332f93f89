// SPDX-FileCopyrightText: 2026 The VR2710 Demo Developers
// SPDX-License-Identifier: MIT
#pragma once

#include <atomic>

// Whether the job under way is to stop: the program's stop flag (stopsignals/stopsignals.h), set
// by a stop signal, read by the transports between system calls. A stopped job sends nothing
// more, drains nothing, and releases its device and lock at once.
namespace JobStop {

// Async-signal-safe.
bool requested() noexcept;
// Longest a transport waits between two looks at the request.
inline constexpr int CheckIntervalMs = 100;

// The flag itself, for a module loaded at run time: the module has its own copy of the stop
// flag, and follows the program's once handed it.
const std::atomic<bool> *flag() noexcept;
void follow(const std::atomic<bool> *programFlag) noexcept;

} // namespace JobStop
