// SPDX-FileCopyrightText: 2026 The VR2710 Demo Developers
// SPDX-License-Identifier: MIT
#pragma once

#include <atomic>

// A request that the job under way stop: set from a signal handler (SIGINT, SIGQUIT, SIGTERM,
// SIGHUP), read by the transports between system calls. A stopped job sends nothing more, drains
// nothing, and releases its device and lock at once.
namespace JobStop {

// Async-signal-safe.
void request() noexcept;
bool requested() noexcept;
// Longest a transport waits between two looks at the request.
inline constexpr int CheckIntervalMs = 100;

// The flag itself, for a module loaded at run time: the module has its own copy of this file,
// which follows the program's flag once handed it.
const std::atomic<bool> *flag() noexcept;
void follow(const std::atomic<bool> *programFlag) noexcept;

} // namespace JobStop

namespace JobStop {

// Makes SIGINT (Ctrl+C), SIGQUIT (Ctrl+\), SIGTERM and SIGHUP request a stop instead of ending
// the program at once, so that a job releases its device and lock before the program ends; the
// program then exits with 128 + the signal's number (SIGQUIT writing no core file: nothing went
// wrong that one would show). Returns a descriptor that becomes readable when a signal came (for
// an event loop to watch), or -1 where no pipe could be made. Call once, early in main().
int handleStopSignals();
// The signal that requested the stop; 0 while none came.
int signalReceived() noexcept;

} // namespace JobStop
