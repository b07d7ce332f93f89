// SPDX-FileCopyrightText: 2026 The VR2710 Demo Developers
// SPDX-License-Identifier: MIT
#pragma once

#include "stallbound.h"

#include <QByteArray>

#include <chrono>
#include <functional>

#include <sys/types.h>

struct termios;

// The system calls a port makes on its open device; a test puts a fake device in their place.
class DeviceCalls
{
public:
    virtual ~DeviceCalls() = default;
    virtual ssize_t write(int fd, const char *data, size_t size);
    // One descriptor, as ::poll.
    virtual int poll(int fd, short events, int timeoutMs);
    // LPGETSTATUS: 0 with the status, or -1 with errno (ENOTTY where it is no printer driver).
    virtual int printerStatus(int fd, int *status);
    // A terminal's settings, read and set at once (tcgetattr, tcsetattr): 0, or -1 with errno.
    virtual int lineSettings(int fd, termios *settings);
    virtual int setLineSettings(int fd, const termios &settings);
    // TIOCOUTQ: 0 with the bytes still queued on a serial line, not yet sent; or -1 with errno.
    virtual int queuedOutput(int fd, int *queued);

    static DeviceCalls &system();
};

// Polls one descriptor for the events, waiting at most `wait` (retried after a signal): what
// poll() returns.
int pollFor(int fd, short events, std::chrono::milliseconds wait);

// Writes to a device opened without blocking, within the port's stall bound. Some drivers
// (the parallel-port driver lp) have no poll operation, so poll always says writable while
// write answers EAGAIN: then it waits with a short back-off instead of spinning.
class DeviceWriter
{
public:
    static constexpr int TimedOut = -1;
    static constexpr int Stopped = -2; // JobStop was requested
    // Longest pause between tries on a device whose poll cannot be trusted.
    static constexpr int MaximumBackoffMs = 50;

    DeviceWriter(DeviceCalls &calls, StallBound &stall);

    // Writes all the bytes, telling `handed` each count the system took; 0, the errno of the
    // call that failed, TimedOut once the device has taken nothing for the bound, or Stopped.
    int writeAll(int fd, const QByteArray &bytes, const std::function<void(qint64)> &handed);
    // Waits until the device can take more: 0, an errno, TimedOut or Stopped.
    int waitWritable(int fd);

private:
    DeviceCalls &m_calls;
    StallBound &m_stall;
};
