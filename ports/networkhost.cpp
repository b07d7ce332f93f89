// SPDX-FileCopyrightText: 2026 The VR2710 Demo Developers
// SPDX-License-Identifier: MIT
#include "networkhost.h"

#include "boundedcall.h"
#include "devicewriter.h"
#include "jobstop.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <netdb.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

using std::chrono::milliseconds;

namespace {

QString hostAndPort(const NetworkPeer &peer)
{
    return QStringLiteral("%1 port %2").arg(QString::fromUtf8(peer.host)).arg(peer.port);
}

QString systemText(int errnum)
{
    return QString::fromLocal8Bit(std::strerror(errnum));
}

} // namespace

std::optional<HostLookup> lookUpHost(const NetworkPeer &peer, milliseconds wait)
{
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = AI_NUMERICSERV | AI_NUMERICHOST;
    const QByteArray port = QByteArray::number(peer.port);
    const auto resolve = [host = peer.host, port](addrinfo hints) {
        HostLookup lookup;
        addrinfo *found = nullptr;
        lookup.status = ::getaddrinfo(host.constData(), port.constData(), &hints, &found);
        lookup.addresses = {lookup.status == 0 ? found : nullptr, ::freeaddrinfo};
        return lookup;
    };
    // An address written as numbers needs no lookup, and no thread.
    HostLookup numeric = resolve(hints);
    if (numeric.status == 0)
        return numeric;
    hints.ai_flags = AI_NUMERICSERV | AI_ADDRCONFIG;
    return callWithin<HostLookup>(wait, [resolve, hints] { return resolve(hints); });
}

HostConnection connectToHost(const addrinfo *addresses, StallBound &stall)
{
    int lastError = ECONNREFUSED;
    for (const addrinfo *candidate = addresses; candidate; candidate = candidate->ai_next) {
        const int fd = ::socket(candidate->ai_family, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC,
                                candidate->ai_protocol);
        if (fd < 0) {
            lastError = errno;
            continue;
        }
        if (::connect(fd, candidate->ai_addr, candidate->ai_addrlen) != 0 && errno != EINPROGRESS) {
            lastError = errno;
            ::close(fd);
            continue;
        }
        // Short waits, so that a stop request is seen within one.
        int ready = 0;
        while (ready == 0 && !stall.expired() && !JobStop::requested())
            ready = pollFor(fd, POLLOUT,
                            std::min(stall.remaining(), milliseconds(JobStop::CheckIntervalMs)));
        int error = 0;
        socklen_t size = sizeof error;
        if (ready > 0 && ::getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &size) == 0 && error == 0) {
            stall.progressed();
            return {fd, 0};
        }
        ::close(fd);
        if (ready == 0)
            return {-1, JobStop::requested() ? ECANCELED : ETIMEDOUT};
        lastError = ready < 0 ? errno : error;
    }
    return {-1, lastError};
}

LastError hostNotFoundFailure(const PortLocation &where, const NetworkPeer &peer, int status)
{
    return portFailure(ErrorNumber::HostNotFound,
                       QStringLiteral("host not found: %1 (%2). Check the %3's name in %4, or "
                                      "give its IP address.")
                           .arg(QString::fromUtf8(peer.host),
                                QString::fromLocal8Bit(::gai_strerror(status)), peer.kind,
                                whereToSetTarget(where)),
                       where);
}

LastError lookupFailure(const PortLocation &where, const NetworkPeer &peer, milliseconds limit)
{
    if (JobStop::requested())
        return stoppedFailure(where);
    return lookupTimeoutFailure(where, peer.host, peer.kind, limit.count());
}

LastError connectFailure(const PortLocation &where, const NetworkPeer &peer, int errnum,
                         milliseconds limit)
{
    switch (errnum) {
    case ECANCELED:
        return stoppedFailure(where);
    case ETIMEDOUT:
        return timeoutFailure(where, limit.count(),
                              QStringLiteral("Nothing answered at %1: check that the %2 is "
                                             "switched on and connected to the network.")
                                  .arg(hostAndPort(peer), peer.kind));
    case ECONNREFUSED:
        return portFailure(errnum,
                           QStringLiteral("connection refused: nothing takes print jobs at %1. "
                                          "Check that the %2 is switched on and running there, "
                                          "and its address and port in %3.")
                               .arg(hostAndPort(peer), peer.kind, whereToSetTarget(where)),
                           where);
    case EHOSTUNREACH:
    case ENETUNREACH:
        return portFailure(
            errnum,
            QStringLiteral("no route: this computer cannot reach %1 (%2). Check "
                           "the %3's address in %4 and the network connection.")
                .arg(hostAndPort(peer), systemText(errnum), peer.kind, whereToSetTarget(where)),
            where);
    default:
        return systemFailure(errnum, where);
    }
}
