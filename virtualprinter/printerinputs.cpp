// SPDX-FileCopyrightText: 2026 The VR2710 Demo Developers
// SPDX-License-Identifier: MIT
#include "printerinputs.h"

#include "protocol/linerate.h"
#include "renderer/filesupport.h"

#include <QFile>

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <pty.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

namespace {

QString systemError(const QString &what)
{
    return what + QStringLiteral(": ") + systemErrorText(errno);
}

} // namespace

FifoFolder::~FifoFolder()
{
    for (const QByteArray &path : std::as_const(m_made))
        ::unlink(path.constData());
    if (!m_path.isEmpty())
        ::rmdir(m_path.constData());
}

QByteArray FifoFolder::filePath(const QByteArray &name, QString *error)
{
    if (m_path.isEmpty()) {
        // The bytes of TMPDIR as they are: any path must work, whatever its encoding.
        QByteArray base = qgetenv("TMPDIR");
        if (base.isEmpty())
            base = "/tmp";
        while (base.size() > 1 && base.endsWith('/'))
            base.chop(1);
        QByteArray pattern = base + "/vr2710-printer-XXXXXX";
        if (!::mkdtemp(pattern.data())) {
            *error = systemError(QStringLiteral("cannot create a folder for the printer FIFO in ") +
                                 QFile::decodeName(base));
            return {};
        }
        m_path = pattern;
    }
    return m_path + '/' + name;
}

std::optional<OfferedInput> offerPseudoTerminal(const QString &portName, QString *error)
{
    int master = -1;
    int slave = -1;
    char name[256] = {};
    termios raw{};
    cfmakeraw(&raw);
    cfsetispeed(&raw, LineRate::TermiosSpeed);
    cfsetospeed(&raw, LineRate::TermiosSpeed);
    if (::openpty(&master, &slave, name, &raw, nullptr) != 0) {
        *error = systemError(QStringLiteral("cannot open a pseudo-terminal for ") + portName);
        return std::nullopt;
    }
    ::fcntl(master, F_SETFL, ::fcntl(master, F_GETFL) | O_NONBLOCK);
    ::fcntl(master, F_SETFD, FD_CLOEXEC);
    ::fcntl(slave, F_SETFD, FD_CLOEXEC);
    // Holding the slave keeps the master readable while senders open and close the line.
    return OfferedInput{portName, QByteArray(name), master, slave};
}

std::optional<OfferedInput> offerPrinterFifo(const QString &portName, FifoFolder &folder,
                                             bool offline, QString *error)
{
    const QByteArray path = folder.filePath(portName.toLower().toLatin1(), error);
    if (path.isEmpty())
        return std::nullopt;
    if (::mkfifo(path.constData(), 0600) != 0) {
        *error = systemError(QStringLiteral("cannot create the FIFO ") + QFile::decodeName(path));
        return std::nullopt;
    }
    folder.made(path);
    if (offline)
        return OfferedInput{portName, path, -1, -1, true};
    const int reader = ::open(path.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    // Our own writer keeps the FIFO from reporting end-of-file between two senders.
    const int writer =
        reader < 0 ? -1 : ::open(path.constData(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
    if (reader < 0 || writer < 0) {
        *error = systemError(QStringLiteral("cannot open the FIFO ") + QFile::decodeName(path));
        if (reader >= 0)
            ::close(reader);
        return std::nullopt;
    }
    return OfferedInput{portName, path, reader, writer};
}
