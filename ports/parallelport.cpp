// SPDX-FileCopyrightText: 2026 The VR2710 Demo Developers
// SPDX-License-Identifier: MIT
#include "parallelport.h"

#include "deviceholders.h"
#include "pathresolution.h"
#include "portdevices.h"
#include "printerstatus.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

ParallelPort::~ParallelPort()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

LastError ParallelPort::openFailure(const LastError &failure)
{
    m_openFailure = failure.description;
    return failure;
}

LastError ParallelPort::open(const QString &deviceName)
{
    if (isOpen())
        return portFailure(ErrorNumber::PortAlreadyOpen,
                           QStringLiteral("The printer port is already open."), m_location);

    const PortTarget target = portTarget(deviceName);
    m_location = {deviceName, target.path, DeviceKind::PrinterDevice, target.resolved};
    m_openFailure.clear();
    if (target.path.isEmpty())
        return openFailure(systemFailure(ENOENT, m_location));
    if (NetworkAddress::isNetworkDevice(target.path)) {
        const LastError connected = m_network.open(m_location);
        return connected.isFailure() ? openFailure(connected) : connected;
    }
    if (target.error != 0)
        return openFailure(systemFailure(target.error, m_location));

    // Non-blocking, so that neither a FIFO without a reader nor an offline printer can hang
    // the open. Outside /dev a missing target is "print to file" and is created; under /dev it
    // is a missing device. The resolved path has no symlinks left, and none may appear.
    int flags = O_WRONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC | O_NOFOLLOW;
    if (!isUnderDev(target.resolved))
        flags |= O_CREAT;
    int fd;
    do {
        fd = ::open(target.resolved.constData(), flags, 0666);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0)
        return openFailure(DeviceHolders::openFailure(errno, m_location));

    struct stat status
    {
    };
    const auto fail = [&](const LastError &failure) {
        ::close(fd);
        return openFailure(failure);
    };
    if (::fstat(fd, &status) != 0)
        return fail(systemFailure(errno, m_location));
    if (m_console.isConsole(status))
        return fail(consoleFailure(m_location));
    // One job at a time: a second one, in this program or another, finds it busy.
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        if (errno != EWOULDBLOCK)
            return fail(systemFailure(errno, m_location));
        return fail(busyFailure(m_location, DeviceHolders::holderOf(status)));
    }
    // A file is emptied only now that this job holds it, never under another job's feet.
    if (S_ISREG(status.st_mode) && ::ftruncate(fd, 0) != 0)
        return fail(systemFailure(errno, m_location));

    m_fd = fd;
    m_stall.progressed();
    return {};
}

LastError ParallelPort::print(const QByteArray &text, bool lineEnd)
{
    if (!isOpen())
        return notOpenFailure(QStringLiteral("printer port"), m_openFailure, m_location);
    if (m_network.isOpen())
        return m_network.send(lineEnd ? text + "\r\n" : text);
    const int result =
        DeviceWriter(*m_calls, m_stall).writeAll(m_fd, lineEnd ? text + "\r\n" : text);
    return result == 0 ? LastError() : writeFailure(result);
}

LastError ParallelPort::close()
{
    if (!isOpen())
        return {};
    if (m_network.isOpen())
        return m_network.close();
    // A USB printer drops data still in flight when it is closed; it reports writable once
    // the last write has been taken. Files and pipes keep what was written.
    LastError result;
    struct stat status
    {
    };
    if (::fstat(m_fd, &status) == 0 && S_ISCHR(status.st_mode)) {
        const int waited = DeviceWriter(*m_calls, m_stall).waitWritable(m_fd);
        if (waited != 0)
            result = writeFailure(waited);
    }
    ::close(m_fd); // releases the flock; not retried on EINTR: Linux releases it either way
    m_fd = -1;
    return result;
}

QString ParallelPort::printerSays() const
{
    int status = 0;
    if (m_calls->printerStatus(m_fd, &status) != 0)
        return {};
    return printerStatusText(status);
}

LastError ParallelPort::writeFailure(int result) const
{
    const QString said = printerSays();
    if (result == DeviceWriter::TimedOut)
        return portFailure(ErrorNumber::Timeout,
                           timeoutDescription(m_location, m_stall.limit().count(), said),
                           m_location);
    if (!said.isEmpty() && (result == EIO || result == ENOSPC))
        return portFailure(result, said, m_location);
    return systemFailure(result, m_location);
}
