// SPDX-FileCopyrightText: 2026 The VR2710 Demo Developers
// SPDX-License-Identifier: MIT
#include "devicewriter.h"

#include "jobstop.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <ctime>
#include <poll.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <thread>
#include <unistd.h>

#include <linux/lp.h>

namespace {

// A FIFO whose reader has gone raises SIGPIPE on write, which would end the program. Block
// it for the duration of a write and swallow the one the write raised; EPIPE reports it.
class SigpipeBlocker
{
public:
    SigpipeBlocker()
    {
        sigset_t pipeOnly;
        sigemptyset(&pipeOnly);
        sigaddset(&pipeOnly, SIGPIPE);
        sigset_t pending;
        sigpending(&pending);
        m_wasPending = sigismember(&pending, SIGPIPE) == 1;
        pthread_sigmask(SIG_BLOCK, &pipeOnly, &m_previous);
    }
    ~SigpipeBlocker()
    {
        if (!m_wasPending) {
            sigset_t pipeOnly;
            sigemptyset(&pipeOnly);
            sigaddset(&pipeOnly, SIGPIPE);
            const timespec noWait{0, 0};
            while (sigtimedwait(&pipeOnly, nullptr, &noWait) == SIGPIPE) {
            }
        }
        pthread_sigmask(SIG_SETMASK, &m_previous, nullptr);
    }
    SigpipeBlocker(const SigpipeBlocker &) = delete;
    SigpipeBlocker &operator=(const SigpipeBlocker &) = delete;

private:
    sigset_t m_previous;
    bool m_wasPending = false;
};

} // namespace

int pollFor(int fd, short events, std::chrono::milliseconds wait)
{
    pollfd entry{fd, events, 0};
    int ready;
    do {
        ready = ::poll(&entry, 1, int(wait.count()));
    } while (ready < 0 && errno == EINTR);
    return ready;
}

ssize_t DeviceCalls::write(int fd, const char *data, size_t size)
{
    return ::write(fd, data, size);
}

int DeviceCalls::poll(int fd, short events, int timeoutMs)
{
    pollfd entry{fd, events, 0};
    return ::poll(&entry, 1, timeoutMs);
}

int DeviceCalls::printerStatus(int fd, int *status)
{
    return ::ioctl(fd, LPGETSTATUS, status);
}

int DeviceCalls::lineSettings(int fd, termios *settings)
{
    return ::tcgetattr(fd, settings);
}

int DeviceCalls::setLineSettings(int fd, const termios &settings)
{
    return ::tcsetattr(fd, TCSANOW, &settings);
}

int DeviceCalls::queuedOutput(int fd, int *queued)
{
    return ::ioctl(fd, TIOCOUTQ, queued);
}

DeviceCalls &DeviceCalls::system()
{
    static DeviceCalls calls;
    return calls;
}

DeviceWriter::DeviceWriter(DeviceCalls &calls, StallBound &stall)
    : m_calls(calls)
    , m_stall(stall)
{
}

int DeviceWriter::writeAll(int fd, const QByteArray &bytes,
                           const std::function<void(qint64)> &handed)
{
    SigpipeBlocker sigpipeBlocker;
    qsizetype done = 0;
    bool pollSaidWritable = false;
    int backoffMs = 1;
    while (done < bytes.size()) {
        if (JobStop::requested())
            return Stopped;
        const ssize_t written = m_calls.write(fd, bytes.constData() + done, bytes.size() - done);
        if (written > 0) {
            done += written;
            m_stall.progressed();
            handed(written);
            pollSaidWritable = false;
            backoffMs = 1;
            continue;
        }
        if (written < 0 && errno == EINTR)
            continue;
        if (written < 0 && errno != EAGAIN && errno != EWOULDBLOCK)
            return errno;

        // The device takes nothing just now.
        if (m_stall.expired())
            return TimedOut;
        if (pollSaidWritable) {
            // poll said writable and yet the write took nothing: poll cannot tell for this
            // device, so pause before the next try, longer each time, within the bound.
            const int pause = std::min<int>(backoffMs, int(m_stall.remaining().count()));
            std::this_thread::sleep_for(std::chrono::milliseconds(pause));
            backoffMs = std::min(backoffMs * 2, MaximumBackoffMs);
        }
        const int waited = waitWritable(fd);
        if (waited != 0)
            return waited;
        pollSaidWritable = true;
    }
    return 0;
}

int DeviceWriter::waitWritable(int fd)
{
    for (;;) {
        if (JobStop::requested())
            return Stopped;
        if (m_stall.expired())
            return TimedOut;
        const int wait = std::min<int>(int(m_stall.remaining().count()), JobStop::CheckIntervalMs);
        const int ready = m_calls.poll(fd, POLLOUT, wait);
        if (ready > 0)
            return 0; // writable, or an error the next write will report
        if (ready < 0 && errno != EINTR)
            return errno;
    }
}
