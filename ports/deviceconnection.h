// SPDX-FileCopyrightText: 2026 The VR2710 Demo Developers
// SPDX-License-Identifier: MIT
#pragma once

#include "connection.h"
#include "devicewriter.h"

// What a serial line and a printer device share: the open descriptor, written without blocking
// within the job's stall bound. Once the device has timed out, or a stop signal came, it is
// dead for the rest of the job: later writes fail at once with that failure, so a dead device
// costs the job one bound. The job hears of the bytes that have left for the printer: those
// handed to the system less those it still holds.
class DeviceConnection : public Connection
{
public:
    DeviceConnection(int fd, const PortLocation &where, DeviceCalls &calls, StallBound &stall);
    ~DeviceConnection() override;
    DeviceConnection(const DeviceConnection &) = delete;
    DeviceConnection &operator=(const DeviceConnection &) = delete;

    LastError write(const QByteArray &bytes) override;

protected:
    // The failure for a DeviceWriter result: an errno, TimedOut or Stopped.
    virtual LastError failureFor(int result) const;
    // A write failed: what it left queued may be dropped here.
    virtual void writeFailed() {}
    // Bytes handed to the system that it has not sent yet; 0 where the device cannot tell.
    virtual qint64 queuedOutput() const { return 0; }
    // Tells the job of the bytes that have left since the last report, all but `queued` of
    // those handed over: progress within the bound.
    void reportSent(qint64 queued);
    bool isDead() const { return m_dead.isFailure(); }
    void closeDescriptor();

    int m_fd;
    PortLocation m_location;
    DeviceCalls &m_calls;
    StallBound &m_stall;

private:
    LastError m_dead; // the failure that ended the device, for every later write
    qint64 m_handed = 0;
    qint64 m_reported = 0;
};

// The target resolved as the system will follow it (where.resolvedPath), or the failure.
LastError resolveTarget(PortLocation &where);
