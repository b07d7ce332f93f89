// SPDX-FileCopyrightText: 2026 The VR2710 Demo Developers
// SPDX-License-Identifier: MIT
#include "printerdevice.h"

#include "deviceholders.h"
#include "devicewriter.h"
#include "pathresolution.h"
#include "printerstatus.h"
#include "transports.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

class PrinterDeviceConnection : public Connection
{
public:
    PrinterDeviceConnection(int fd, const PortLocation &where, DeviceCalls &calls,
                            StallBound &stall)
        : m_fd(fd)
        , m_location(where)
        , m_calls(calls)
        , m_stall(stall)
    {
    }
    ~PrinterDeviceConnection() override
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }

    LastError write(const QByteArray &bytes) override
    {
        if (m_dead.isFailure())
            return m_dead;
        const int result = DeviceWriter(m_calls, m_stall).writeAll(m_fd, bytes);
        if (result == 0)
            return {};
        const LastError failure = failureFor(result);
        if (result == DeviceWriter::TimedOut || result == DeviceWriter::Stopped)
            m_dead = failure;
        return failure;
    }

    LastError close() override
    {
        // A USB printer drops data still in flight when it is closed; it reports writable once
        // the last write has been taken. Files and pipes keep what was written.
        LastError result;
        struct stat status
        {
        };
        if (!m_dead.isFailure() && ::fstat(m_fd, &status) == 0 && S_ISCHR(status.st_mode)) {
            const int waited = DeviceWriter(m_calls, m_stall).waitWritable(m_fd);
            if (waited != 0)
                result = failureFor(waited);
        }
        ::close(m_fd); // releases the flock; not retried on EINTR: Linux releases it either way
        m_fd = -1;
        return result;
    }

private:
    // A failed write, in the printer's words where it answers LPGETSTATUS.
    LastError failureFor(int result) const
    {
        if (result == DeviceWriter::Stopped)
            return stoppedFailure(m_location);
        const QString said = printerSays();
        if (result == DeviceWriter::TimedOut)
            return timeoutFailure(m_location, m_stall.limit().count(), said);
        if (!said.isEmpty() && (result == EIO || result == ENOSPC))
            return portFailure(result, said, m_location);
        return systemFailure(result, m_location);
    }

    QString printerSays() const
    {
        int status = 0;
        if (m_calls.printerStatus(m_fd, &status) != 0)
            return {};
        return printerStatusText(status);
    }

    int m_fd;
    PortLocation m_location;
    DeviceCalls &m_calls;
    StallBound &m_stall;
    LastError m_dead; // the failure that ended the device, for every later write
};

} // namespace

OpenedConnection openPrinterDevice(const PortLocation &given, const PortSystem &system,
                                   StallBound &stall)
{
    PortLocation where = given;
    const auto fail = [&](const LastError &failure) { return OpenedConnection{nullptr, failure}; };
    const ResolvedPath resolved = resolvePath(where.devicePath);
    if (resolved.error != 0)
        return fail(systemFailure(resolved.error, where));
    where.resolvedPath = resolved.path;

    // Non-blocking, so that neither a FIFO without a reader nor an offline printer can hang
    // the open. Outside /dev a missing target is "print to file" and is created; under /dev it
    // is a missing device. The resolved path has no symlinks left, and none may appear.
    int flags = O_WRONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC | O_NOFOLLOW;
    if (!isUnderDev(where.resolvedPath))
        flags |= O_CREAT;
    int fd;
    do {
        fd = ::open(where.resolvedPath.constData(), flags, 0666);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0)
        return fail(DeviceHolders::openFailure(errno, where));

    struct stat status
    {
    };
    const auto failOpen = [&](const LastError &failure) {
        ::close(fd);
        return fail(failure);
    };
    if (::fstat(fd, &status) != 0)
        return failOpen(systemFailure(errno, where));
    if (system.console.isConsole(status))
        return failOpen(consoleFailure(where));
    // One job at a time: a second one, in this program or another, finds it busy.
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        if (errno != EWOULDBLOCK)
            return failOpen(systemFailure(errno, where));
        return failOpen(busyFailure(where, DeviceHolders::holderOf(status)));
    }
    // A file is emptied only now that this job holds it, never under another job's feet.
    if (S_ISREG(status.st_mode) && ::ftruncate(fd, 0) != 0)
        return failOpen(systemFailure(errno, where));

    stall.progressed();
    return {std::make_unique<PrinterDeviceConnection>(fd, where, *system.calls, stall), {}};
}
