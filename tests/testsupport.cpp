// SPDX-FileCopyrightText: 2026 The VR2710 Demo Developers
// SPDX-License-Identifier: MIT
#include "testsupport.h"

#include <QDir>
#include <QElapsedTimer>

#include <cerrno>
#include <fcntl.h>
#include <grp.h>
#include <poll.h>
#include <pty.h>
#include <sys/wait.h>
#include <unistd.h>

PseudoTerminal::PseudoTerminal()
{
    char name[256] = {};
    if (::openpty(&m_master, &m_slave, name, nullptr, nullptr) != 0)
        qFatal("openpty failed: %s", strerror(errno));
    ::fcntl(m_master, F_SETFL, ::fcntl(m_master, F_GETFL) | O_NONBLOCK);
    ::fcntl(m_master, F_SETFD, FD_CLOEXEC);
    ::fcntl(m_slave, F_SETFD, FD_CLOEXEC);
    m_slavePath = QString::fromLocal8Bit(name);
}

PseudoTerminal::~PseudoTerminal()
{
    closeMaster();
    ::close(m_slave);
}

QByteArray PseudoTerminal::read(int quietMs, int maxMs)
{
    QByteArray data;
    QElapsedTimer total;
    total.start();
    while (m_master >= 0 && total.elapsed() < maxMs) {
        pollfd entry{m_master, POLLIN, 0};
        if (::poll(&entry, 1, quietMs) <= 0)
            break;
        char buffer[4096];
        const ssize_t got = ::read(m_master, buffer, sizeof buffer);
        if (got <= 0)
            break;
        data.append(buffer, got);
    }
    return data;
}

void PseudoTerminal::closeMaster()
{
    if (m_master >= 0)
        ::close(m_master);
    m_master = -1;
}

FifoReader::FifoReader(const QString &path, bool stalled)
    : m_fd(::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC))
{
    if (m_fd < 0)
        qFatal("cannot open FIFO for reading: %s", strerror(errno));
    if (stalled)
        return;
    m_thread = std::thread([this] {
        QElapsedTimer total;
        total.start();
        while (total.elapsed() < 20000) {
            pollfd entry{m_fd, POLLIN, 0};
            if (::poll(&entry, 1, 100) <= 0)
                continue;
            char buffer[65536];
            const ssize_t got = ::read(m_fd, buffer, sizeof buffer);
            if (got > 0)
                m_data.append(buffer, got);
            else if (got == 0 || (errno != EAGAIN && errno != EINTR))
                break; // POLLHUP with nothing left: the writer has closed
        }
    });
}

FifoReader::~FifoReader()
{
    if (m_thread.joinable())
        m_thread.join();
    ::close(m_fd);
}

QByteArray FifoReader::result()
{
    if (m_thread.joinable())
        m_thread.join();
    return m_data;
}

int openDescriptorCount()
{
    return int(QDir(QStringLiteral("/proc/self/fd"))
                   .entryList(QDir::NoDotAndDotDot | QDir::AllEntries)
                   .size());
}

LastError runWithoutPrivileges(const std::function<LastError()> &operation)
{
    if (::geteuid() != 0)
        return operation();

    int channel[2];
    if (::pipe(channel) != 0)
        qFatal("pipe failed");
    const pid_t child = ::fork();
    if (child == 0) {
        ::close(channel[0]);
        const gid_t nobody = 65534;
        if (::setgroups(0, nullptr) != 0 || ::setgid(nobody) != 0 || ::setuid(nobody) != 0)
            ::_exit(3);
        const LastError error = operation();
        const QByteArray report =
            QByteArray::number(error.number) + '\n' + error.description.toUtf8();
        if (::write(channel[1], report.constData(), report.size()) != report.size())
            ::_exit(4);
        ::_exit(0);
    }
    ::close(channel[1]);
    QByteArray report;
    char buffer[4096];
    ssize_t got;
    while ((got = ::read(channel[0], buffer, sizeof buffer)) > 0)
        report.append(buffer, got);
    ::close(channel[0]);
    int status = 0;
    ::waitpid(child, &status, 0);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
        qFatal("unprivileged child failed (status %d)", status);
    LastError error;
    const qsizetype newline = report.indexOf('\n');
    error.number = report.left(newline).toInt();
    error.description = QString::fromUtf8(report.mid(newline + 1));
    return error;
}

QByteArray expectedSerialReceipt(const QByteArray &received, const PitchCode &pitch,
                                 const QString &body)
{
    const ReceiptStream stream(pitch, body, dateTimeOfReceipt(received),
                               *CodePage::fromName(QStringLiteral("437")));
    return ReceiptStream::join(stream.serialChunks());
}

QDateTime dateTimeOfReceipt(const QByteArray &stream)
{
    const qsizetype date = stream.indexOf("DATE : ");
    const qsizetype time = stream.indexOf("TIME : ");
    if (date < 0 || time < 0)
        return {};
    return QDateTime(QDate::fromString(QString::fromLatin1(stream.mid(date + 7, 10)),
                                       QStringLiteral("MM-dd-yyyy")),
                     QTime::fromString(QString::fromLatin1(stream.mid(time + 7, 8)),
                                       QStringLiteral("HH:mm:ss")));
}
