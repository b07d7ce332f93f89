// SPDX-FileCopyrightText: 2026 The VR2710 Demo Developers
// SPDX-License-Identifier: MIT
#include "networkhost.h"

#include "boundedcall.h"
#include "devicewriter.h"
#include "jobstop.h"
#include "portfailure.h"

#include <algorithm>
#include <cerrno>
#include <netdb.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

using std::chrono::milliseconds;

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
    Failure notFound(FailureKind::HostNotFound);
    notFound.errnum = status;
    notFound.peer = peer;
    return failureAt(where, notFound);
}

LastError lookupFailure(const PortLocation &where, const NetworkPeer &peer, milliseconds limit)
{
    if (JobStop::requested())
        return failureAt(where, FailureKind::Stopped);
    Failure timedOut(FailureKind::LookupTimedOut);
    timedOut.bound = limit;
    timedOut.peer = peer;
    return failureAt(where, timedOut);
}

LastError connectFailure(const PortLocation &where, const NetworkPeer &peer, int errnum,
                         milliseconds limit)
{
    Failure failed(FailureKind::ConnectFailed);
    failed.errnum = errnum;
    failed.bound = limit;
    failed.peer = peer;
    return failureAt(where, failed);
}
