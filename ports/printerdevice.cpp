// SPDX-FileCopyrightText: 2026 The VR2710 Demo Developers
// SPDX-License-Identifier: MIT
#include "printerdevice.h"

#include "deviceconnection.h"
#include "deviceholders.h"
#include "pathresolution.h"
#include "portfailure.h"
#include "printerstatus.h"
#include "transports.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

class PrinterDeviceConnection : public DeviceConnection
{
public:
    using DeviceConnection::DeviceConnection;

    LastError close() override
    {
        // A USB printer drops data still in flight when it is closed; it reports writable once
        // the last write has been taken. Files and pipes keep what was written.
        LastError result;
        struct stat status
        {
        };
        if (!isDead() && ::fstat(m_fd, &status) == 0 && S_ISCHR(status.st_mode)) {
            const int waited = DeviceWriter(m_calls, m_stall).waitWritable(m_fd);
            if (waited != 0)
                result = failureFor(waited);
        }
        closeDescriptor(); // releases the flock
        return result;
    }

private:
    // A failed write, in the printer's words where it answers LPGETSTATUS.
    LastError failureFor(int result) const override
    {
        if (result == DeviceWriter::Stopped)
            return failureAt(m_location, FailureKind::Stopped);
        Failure failure(FailureKind::TimedOut);
        failure.bound = m_stall.limit();
        failure.printer = printerSays();
        const bool saysWhy = failure.printer != PrinterCondition::Unknown &&
                             failure.printer != PrinterCondition::Fine;
        if (result != DeviceWriter::TimedOut) {
            if (!saysWhy || (result != EIO && result != ENOSPC))
                return systemFailure(result, m_location);
            failure.kind = FailureKind::PrinterReports;
            failure.errnum = result;
        }
        return failureAt(m_location, failure);
    }

    PrinterCondition printerSays() const
    {
        int status = 0;
        if (m_calls.printerStatus(m_fd, &status) != 0)
            return PrinterCondition::Unknown;
        return printerCondition(status);
    }
};

} // namespace

OpenedConnection openPrinterDevice(const PortLocation &given, const PortSystem &system,
                                   StallBound &stall)
{
    PortLocation where = given;
    const auto fail = [&](const LastError &failure) { return OpenedConnection{nullptr, failure}; };
    if (const LastError unresolved = resolveTarget(where); unresolved.isFailure())
        return fail(unresolved);

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
        return failOpen(failureAt(where, FailureKind::Console));
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
