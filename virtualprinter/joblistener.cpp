// SPDX-FileCopyrightText: 2026 The VR2710 Demo Developers
// SPDX-License-Identifier: MIT
#include "joblistener.h"

#include "renderer/filesupport.h"

#include <cerrno>
#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

std::optional<ListenAddress> ListenAddress::parse(const QString &text, QString *error)
{
    ListenAddress address;
    QString portText = text;
    const qsizetype colon = text.lastIndexOf(QLatin1Char(':'));
    if (colon >= 0) {
        address.host = text.left(colon);
        portText = text.mid(colon + 1);
        if (address.host.startsWith(QLatin1Char('[')) && address.host.endsWith(QLatin1Char(']')))
            address.host = address.host.mid(1, address.host.size() - 2);
    }
    bool ok = false;
    const uint port = portText.toUInt(&ok);
    if (address.host.isEmpty() || !ok || port > 65535) {
        *error = QStringLiteral("--tcp needs [HOST:]PORT with a port from 0 to 65535 "
                                "(0: any free port), e.g. 9100 or 0.0.0.0:9100");
        return std::nullopt;
    }
    address.port = quint16(port);
    return address;
}

std::unique_ptr<JobListener> JobListener::listen(const ListenAddress &address, QString *error)
{
    const QString shown = QStringLiteral("%1:%2").arg(address.host).arg(address.port);
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = AI_PASSIVE | AI_NUMERICSERV;
    addrinfo *found = nullptr;
    const int lookup = ::getaddrinfo(address.host.toUtf8().constData(),
                                     QByteArray::number(address.port).constData(), &hints, &found);
    if (lookup != 0) {
        *error = QStringLiteral("cannot listen on %1: %2")
                     .arg(shown, QString::fromLocal8Bit(::gai_strerror(lookup)));
        return nullptr;
    }
    const int fd = ::socket(found->ai_family, found->ai_socktype | SOCK_NONBLOCK | SOCK_CLOEXEC,
                            found->ai_protocol);
    const int reuse = 1;
    // As many jobs may wait while one prints as the system allows (the kernel caps the backlog
    // at net.core.somaxconn): a burst of jobs queues up instead of being dropped.
    const bool listening =
        fd >= 0 && ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &reuse, sizeof reuse) == 0 &&
        ::bind(fd, found->ai_addr, found->ai_addrlen) == 0 && ::listen(fd, SOMAXCONN) == 0;
    const int failure = errno;
    ::freeaddrinfo(found);
    if (!listening) {
        if (fd >= 0)
            ::close(fd);
        *error = QStringLiteral("cannot listen on %1: %2").arg(shown, systemErrorText(failure));
        return nullptr;
    }

    sockaddr_storage bound{};
    socklen_t size = sizeof bound;
    ::getsockname(fd, reinterpret_cast<sockaddr *>(&bound), &size);
    const quint16 port =
        ntohs(bound.ss_family == AF_INET6 ? reinterpret_cast<sockaddr_in6 *>(&bound)->sin6_port
                                          : reinterpret_cast<sockaddr_in *>(&bound)->sin_port);
    const QString host = address.host.contains(QLatin1Char(':'))
                             ? QLatin1Char('[') + address.host + QLatin1Char(']')
                             : address.host;
    return std::unique_ptr<JobListener>(
        new JobListener(fd, QStringLiteral("socket://%1:%2").arg(host).arg(port).toUtf8()));
}

JobListener::JobListener(int fd, QByteArray url)
    : m_fd(fd)
    , m_url(std::move(url))
    , m_notifier(fd, QSocketNotifier::Read)
{
    connect(&m_notifier, &QSocketNotifier::activated, this, &JobListener::acceptOne);
}

JobListener::~JobListener()
{
    ::close(m_fd);
}

void JobListener::acceptOne()
{
    if (m_paused)
        return;
    const int job = ::accept4(m_fd, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
    if (job < 0)
        return; // gone before we took it, or out of descriptors: the next one may do
    m_notifier.setEnabled(false);
    emit jobArrived(job);
}
