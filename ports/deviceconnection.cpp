// SPDX-FileCopyrightText: 2026 The VR2710 Demo Developers
// SPDX-License-Identifier: MIT
#include "deviceconnection.h"

#include "pathresolution.h"
#include "portfailure.h"

#include <unistd.h>

DeviceConnection::DeviceConnection(int fd, const PortLocation &where, DeviceCalls &calls,
                                   StallBound &stall)
    : m_fd(fd)
    , m_location(where)
    , m_calls(calls)
    , m_stall(stall)
{
}

DeviceConnection::~DeviceConnection()
{
    closeDescriptor();
}

void DeviceConnection::closeDescriptor()
{
    if (m_fd >= 0)
        ::close(m_fd); // not retried on EINTR: Linux closes it (and drops its flock) either way
    m_fd = -1;
}

LastError DeviceConnection::write(const QByteArray &bytes)
{
    if (isDead())
        return m_dead;
    const int result = DeviceWriter(m_calls, m_stall).writeAll(m_fd, bytes, [this](qint64 taken) {
        m_handed += taken;
        reportSent(queuedOutput());
    });
    if (result == 0)
        return {};
    writeFailed();
    const LastError failure = failureFor(result);
    if (result == DeviceWriter::TimedOut || result == DeviceWriter::Stopped)
        m_dead = failure;
    return failure;
}

void DeviceConnection::reportSent(qint64 queued)
{
    const qint64 sent = m_handed - queued;
    if (sent > m_reported) {
        m_stall.progressed(sent - m_reported);
        m_reported = sent;
    }
}

LastError DeviceConnection::failureFor(int result) const
{
    if (result == DeviceWriter::TimedOut) {
        Failure timedOut(FailureKind::TimedOut);
        timedOut.bound = m_stall.limit();
        return failureAt(m_location, timedOut);
    }
    if (result == DeviceWriter::Stopped)
        return failureAt(m_location, FailureKind::Stopped);
    return systemFailure(result, m_location);
}

LastError resolveTarget(PortLocation &where)
{
    const ResolvedPath resolved = resolvePath(where.devicePath);
    if (resolved.error != 0)
        return systemFailure(resolved.error, where);
    where.resolvedPath = resolved.path;
    return {};
}
