// SPDX-FileCopyrightText: 2026 The VR2710 Demo Developers
// SPDX-License-Identifier: MIT
#include "serialline.h"

#include "deviceconnection.h"
#include "deviceholders.h"
#include "jobstop.h"
#include "portfailure.h"
#include "protocol/linerate.h"
#include "transports.h"

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <thread>
#include <unistd.h>

namespace {

// Raw 8-bit bytes at 9600 baud, 8N1, no flow control of either kind, modem lines ignored,
// starting from the line's present settings.
int setLineSettings(DeviceCalls &calls, int fd, termios settings)
{
    ::cfmakeraw(&settings);
    settings.c_cflag &= ~(CSIZE | PARENB | CSTOPB | CRTSCTS);
    settings.c_cflag |= CS8 | CLOCAL | CREAD;
    settings.c_iflag &= ~(IXON | IXOFF | IXANY);
    ::cfsetispeed(&settings, LineRate::TermiosSpeed);
    ::cfsetospeed(&settings, LineRate::TermiosSpeed);
    return calls.setLineSettings(fd, settings) == 0 ? 0 : errno;
}

class SerialLineConnection : public DeviceConnection
{
public:
    SerialLineConnection(int fd, std::unique_ptr<UucpLock> lock, const PortLocation &where,
                         DeviceCalls &calls, StallBound &stall)
        : DeviceConnection(fd, where, calls, stall)
        , m_lock(std::move(lock))
    {
    }
    ~SerialLineConnection() override { release(); }

    LastError close() override
    {
        const LastError drained = isDead() ? LastError() : drainOutput();
        release();
        return drained;
    }

private:
    // What cannot leave is dropped, so it cannot turn up later, after the next chunk.
    void writeFailed() override { ::tcflush(m_fd, TCOFLUSH); }

    qint64 queuedOutput() const override
    {
        int queued = 0;
        return m_calls.queuedOutput(m_fd, &queued) == 0 ? queued : 0;
    }

    LastError drainOutput()
    {
        // tcdrain() could wait forever on a stalled line; watch the output queue instead. Each
        // byte that leaves is progress; what is still queued once the bound is over fails.
        for (;;) {
            const qint64 queued = queuedOutput();
            reportSent(queued);
            if (queued == 0)
                return {};
            if (m_stall.expired() || JobStop::requested()) {
                // Drop what cannot leave, or the kernel's own close would wait up to 30 s.
                ::tcflush(m_fd, TCOFLUSH);
                return failureFor(JobStop::requested() ? DeviceWriter::Stopped
                                                       : DeviceWriter::TimedOut);
            }
            const auto pause =
                std::clamp(qint64(queued * LineRate::MillisecondsPerByte), qint64(1), qint64(20));
            std::this_thread::sleep_for(std::chrono::milliseconds(pause));
        }
    }

    void release()
    {
        if (m_fd >= 0) {
            if (isDead())
                ::tcflush(m_fd, TCOFLUSH);
            ::ioctl(m_fd, TIOCNXCL); // the next user of the line may open it again
        }
        closeDescriptor();
        m_lock.reset(); // the lock file goes only once the line is closed
    }

    std::unique_ptr<UucpLock> m_lock;
};

} // namespace

OpenedConnection openSerialLine(const PortLocation &given, const PortSystem &system,
                                StallBound &stall)
{
    PortLocation where = given;
    const auto fail = [&](const LastError &failure) { return OpenedConnection{nullptr, failure}; };
    if (const LastError unresolved = resolveTarget(where); unresolved.isFailure())
        return fail(unresolved);

    // Refused before it is locked or opened: that needs no access to the device.
    struct stat status
    {
    };
    if (::stat(where.resolvedPath.constData(), &status) == 0 && system.console.isConsole(status))
        return fail(failureAt(where, FailureKind::Console));

    auto lock = std::make_unique<UucpLock>(system.lockFolder);
    if (!lock->acquire(where.resolvedPath))
        return fail(busyFailure(where, lock->holder()));

    int fd;
    do {
        fd = ::open(where.resolvedPath.constData(), O_WRONLY | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0)
        return fail(DeviceHolders::openFailure(errno, where));
    const auto failOpen = [&](const LastError &failure) {
        ::close(fd);
        return fail(failure);
    };
    if (::fstat(fd, &status) != 0)
        return failOpen(systemFailure(errno, where));
    termios present{};
    if (system.calls->lineSettings(fd, &present) != 0)
        return failOpen(systemFailure(errno, where));
    // picocom and other flock users hold the line this way; the kernel tells who does.
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        if (errno != EWOULDBLOCK)
            return failOpen(systemFailure(errno, where));
        return failOpen(busyFailure(where, DeviceHolders::holderOf(status)));
    }
    if (const int error = setLineSettings(*system.calls, fd, present))
        return failOpen(systemFailure(error, where));
    // Exclusive use from here on: another open of the line fails with EBUSY (root excepted).
    ::ioctl(fd, TIOCEXCL);
    stall.progressed();
    return {
        std::make_unique<SerialLineConnection>(fd, std::move(lock), where, *system.calls, stall),
        {}};
}
