#include "printerinputs.h"

#include <QFile>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <pty.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

namespace {

QString systemError(const QString &what)
{
    return what + QStringLiteral(": ") + QString::fromLocal8Bit(std::strerror(errno));
}

} // namespace

std::optional<OfferedInput> offerPseudoTerminal(const QString &portName, QString *error)
{
    int master = -1;
    int slave = -1;
    char name[256] = {};
    termios raw{};
    cfmakeraw(&raw);
    cfsetispeed(&raw, B9600);
    cfsetospeed(&raw, B9600);
    if (::openpty(&master, &slave, name, &raw, nullptr) != 0) {
        *error = systemError(QStringLiteral("cannot open a pseudo-terminal for ") + portName);
        return std::nullopt;
    }
    ::fcntl(master, F_SETFL, ::fcntl(master, F_GETFL) | O_NONBLOCK);
    ::fcntl(master, F_SETFD, FD_CLOEXEC);
    ::fcntl(slave, F_SETFD, FD_CLOEXEC);
    // Holding the slave keeps the master readable while senders open and close the line.
    return OfferedInput{portName, QString::fromLocal8Bit(name), master, slave};
}

std::optional<OfferedInput> offerPrinterFifo(const QString &portName, const QString &path,
                                             bool offline, QString *error)
{
    const QByteArray native = QFile::encodeName(path);
    if (::mkfifo(native.constData(), 0600) != 0) {
        *error = systemError(QStringLiteral("cannot create the FIFO ") + path);
        return std::nullopt;
    }
    if (offline)
        return OfferedInput{portName, path, -1, -1};
    const int reader = ::open(native.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    // Our own writer keeps the FIFO from reporting end-of-file between two senders.
    const int writer =
        reader < 0 ? -1 : ::open(native.constData(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
    if (reader < 0 || writer < 0) {
        *error = systemError(QStringLiteral("cannot open the FIFO ") + path);
        if (reader >= 0)
            ::close(reader);
        return std::nullopt;
    }
    return OfferedInput{portName, path, reader, writer};
}
