#include "parallelport.h"

#include "portdevices.h"

#include <QFile>

#include <cerrno>
#include <csignal>
#include <ctime>
#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

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

ParallelPort::~ParallelPort()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

LastError ParallelPort::open(const QString &deviceName)
{
    if (isOpen())
        return portFailure(ErrorNumber::PortAlreadyOpen,
                           QStringLiteral("The printer port is already open."), m_location);

    m_location = {deviceName, devicePathForPort(deviceName), DeviceKind::PrinterDevice};
    m_openFailure.clear();
    if (m_location.devicePath.isEmpty()) {
        const LastError failure = systemFailure(ENOENT, m_location);
        m_openFailure = failure.description;
        return failure;
    }

    // Non-blocking, so that neither a FIFO without a reader nor an offline printer can hang
    // the open. A path outside /dev is "print to file"; nothing is ever created under /dev.
    int flags = O_WRONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC;
    if (!m_location.devicePath.startsWith(QLatin1String("/dev/")))
        flags |= O_CREAT | O_TRUNC;
    const QByteArray path = QFile::encodeName(m_location.devicePath);
    int fd;
    do {
        fd = ::open(path.constData(), flags, 0666);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0) {
        const LastError failure = systemFailure(errno, m_location);
        m_openFailure = failure.description;
        return failure;
    }
    m_fd = fd;
    m_stall.progressed();
    return {};
}

LastError ParallelPort::print(const QByteArray &text, bool lineEnd)
{
    if (!isOpen())
        return notOpenFailure(QStringLiteral("printer port"), m_openFailure, m_location);
    return writeAll(lineEnd ? text + "\r\n" : text);
}

LastError ParallelPort::close()
{
    if (!isOpen())
        return {};
    // A USB printer drops data still in flight when it is closed; it reports writable once
    // the last write has been taken. Files and pipes keep what was written.
    LastError result;
    struct stat status
    {
    };
    if (::fstat(m_fd, &status) == 0 && S_ISCHR(status.st_mode) && waitWritable() == -1)
        result = timeoutFailure();
    ::close(m_fd); // not retried on EINTR: Linux releases the descriptor either way
    m_fd = -1;
    return result;
}

LastError ParallelPort::writeAll(const QByteArray &bytes)
{
    SigpipeBlocker sigpipeBlocker;
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t written = ::write(m_fd, bytes.constData() + done, bytes.size() - done);
        if (written > 0) {
            done += written;
            m_stall.progressed();
            continue;
        }
        if (written < 0 && errno == EINTR)
            continue;
        if (written < 0 && errno != EAGAIN && errno != EWOULDBLOCK)
            return systemFailure(errno, m_location);
        const int waited = waitWritable();
        if (waited == -1)
            return timeoutFailure();
        if (waited != 0)
            return systemFailure(waited, m_location);
    }
    return {};
}

int ParallelPort::waitWritable()
{
    for (;;) {
        pollfd entry{m_fd, POLLOUT, 0};
        const int ready = ::poll(&entry, 1, static_cast<int>(m_stall.remaining().count()));
        if (ready > 0)
            return 0; // writable, or an error the next write will report
        if (ready == 0)
            return -1;
        if (errno != EINTR)
            return errno;
    }
}

LastError ParallelPort::timeoutFailure() const
{
    return portFailure(ErrorNumber::Timeout,
                       timeoutDescription(m_location, m_stall.limit().count()), m_location);
}
