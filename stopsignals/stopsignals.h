// SPDX-FileCopyrightText: 2026 The VR2710 Demo Developers
// SPDX-License-Identifier: MIT
#pragma once

#include <atomic>

// A program's stop signals: SIGINT (Ctrl+C), SIGQUIT (Ctrl+\), SIGTERM and SIGHUP set a flag and
// wake an event loop instead of ending the program at once, so that it can release what it holds
// (a port and its lock, the virtual printer's FIFOs) and end in order. The program then exits
// with 128 + the signal's number (SIGQUIT writing no core file: nothing went wrong that one would
// show), or as it sees fit.
namespace StopSignals {

// Installs the handlers. Returns a descriptor that becomes readable when a signal came (for an
// event loop to watch), or -1 where no pipe could be made. Call once, early in main().
int handle();
// The signal that came first; 0 while none came.
int received() noexcept;

// Set once a stop signal came or request() was called; never cleared.
const std::atomic<bool> *flag() noexcept;
// Sets the flag as a stop signal does, without one. Async-signal-safe.
void request() noexcept;

} // namespace StopSignals
