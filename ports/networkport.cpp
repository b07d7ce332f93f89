// SPDX-FileCopyrightText: 2026 The VR2710 Demo Developers
// SPDX-License-Identifier: MIT
#include "networkport.h"

#include "devicewriter.h"
#include "jobstop.h"
#include "networkhost.h"
#include "portfailure.h"

#include <cerrno>
#include <cstring>
#include <linux/sockios.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

using std::chrono::milliseconds;

class NetworkConnection : public Connection
{
public:
    NetworkConnection(const PortLocation &where, StallBound &stall)
        : m_location(where)
        , m_stall(stall)
    {
    }
    ~NetworkConnection() override { drop(); }

    LastError connectTo(const NetworkPeer &peer);
    LastError write(const QByteArray &bytes) override;
    LastError close() override;

private:
    LastError sendFailure(int errnum) const;
    LastError timeout() const;
    // Reads and drops what the printer sent; false once it has hung up.
    bool discardAnswer();
    void drop();

    PortLocation m_location;
    NetworkPeer m_peer;
    StallBound &m_stall;
    int m_fd = -1;
    LastError m_dead; // the failure that ended the connection, for every later send
};

} // namespace

std::optional<NetworkAddress> NetworkAddress::parse(const QByteArray &device)
{
    if (!device.startsWith("socket://"))
        return std::nullopt;
    NetworkAddress address;
    QByteArray rest = device.mid(int(std::strlen("socket://")));
    if (rest.endsWith('/'))
        rest.chop(1);
    QByteArray portText;
    if (rest.startsWith('[')) {
        const qsizetype close = rest.indexOf(']');
        if (close < 0)
            return std::nullopt;
        address.host = rest.mid(1, close - 1);
        rest = rest.mid(close + 1);
        if (!rest.isEmpty() && !rest.startsWith(':'))
            return std::nullopt;
        portText = rest.mid(1);
    } else {
        const qsizetype colon = rest.indexOf(':');
        address.host = colon < 0 ? rest : rest.left(colon);
        portText = colon < 0 ? QByteArray() : rest.mid(colon + 1);
    }
    if (address.host.isEmpty() || address.host.contains('/') || address.host.contains(' '))
        return std::nullopt;
    if (!portText.isEmpty() || rest.contains(':')) {
        bool ok = false;
        const uint port = portText.toUInt(&ok);
        if (!ok || port == 0 || port > 65535)
            return std::nullopt;
        address.port = quint16(port);
    }
    return address;
}

void NetworkConnection::drop()
{
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = -1;
}

OpenedConnection openNetworkPrinter(const PortLocation &where, StallBound &stall)
{
    const std::optional<NetworkAddress> address = NetworkAddress::parse(where.devicePath);
    if (!address)
        return {nullptr, failureAt(where, FailureKind::BadAddress)};
    stall.progressed();
    auto connection = std::make_unique<NetworkConnection>(where, stall);
    const LastError connected =
        connection->connectTo({address->host, address->port, NetworkPeer::Kind::Printer, {}});
    if (connected.isFailure())
        return {nullptr, connected};
    return {std::move(connection), {}};
}

LastError NetworkConnection::connectTo(const NetworkPeer &peer)
{
    m_peer = peer;
    const std::optional<HostLookup> lookup = lookUpHost(peer, m_stall.remaining());
    if (!lookup)
        return lookupFailure(m_location, peer, m_stall.limit());
    if (lookup->status != 0)
        return hostNotFoundFailure(m_location, peer, lookup->status);
    const HostConnection connected = connectToHost(lookup->addresses.get(), m_stall);
    if (connected.fd < 0)
        return connectFailure(m_location, peer, connected.error, m_stall.limit());
    m_fd = connected.fd;
    return {};
}

LastError NetworkConnection::write(const QByteArray &bytes)
{
    if (m_dead.isFailure())
        return m_dead;
    qsizetype done = 0;
    while (done < bytes.size()) {
        if (JobStop::requested())
            return m_dead = failureAt(m_location, FailureKind::Stopped);
        // MSG_NOSIGNAL: a printer that hangs up is an error to report, not a signal to die of.
        const ssize_t sent = ::send(m_fd, bytes.constData() + done, size_t(bytes.size() - done),
                                    MSG_NOSIGNAL | MSG_DONTWAIT);
        if (sent > 0) {
            done += sent;
            m_stall.progressed(sent);
            continue;
        }
        if (sent < 0 && errno == EINTR)
            continue;
        if (sent < 0 && errno != EAGAIN && errno != EWOULDBLOCK)
            return m_dead = sendFailure(errno);
        if (m_stall.expired())
            return m_dead = timeout();
        const int ready = pollFor(
            m_fd, POLLOUT, std::min(m_stall.remaining(), milliseconds(JobStop::CheckIntervalMs)));
        if (ready < 0)
            return m_dead = sendFailure(errno);
    }
    return {};
}

LastError NetworkConnection::sendFailure(int errnum) const
{
    // The printer's side ended the connection: say so, rather than blame a cable.
    if (errnum == ECONNRESET || errnum == EPIPE) {
        Failure closed(FailureKind::ConnectionClosed);
        closed.errnum = errnum;
        return failureAt(m_location, closed);
    }
    return systemFailure(errnum, m_location);
}

LastError NetworkConnection::close()
{
    if (m_fd < 0)
        return {};
    if (m_dead.isFailure()) {
        drop();
        return {};
    }
    // Wait until the printer has acknowledged every byte, so that a job reported as sent
    // really reached it; then end the job.
    LastError result;
    int unsent = 0;
    int before = -1;
    while (::ioctl(m_fd, SIOCOUTQ, &unsent) == 0 && unsent > 0) {
        if (before >= 0 && unsent < before)
            m_stall.progressed();
        before = unsent;
        if (m_stall.expired() || JobStop::requested()) {
            result = JobStop::requested() ? failureAt(m_location, FailureKind::Stopped) : timeout();
            break;
        }
        if (pollFor(m_fd, POLLIN, std::min(m_stall.remaining(), milliseconds(20))) > 0 &&
            !discardAnswer()) {
            result = sendFailure(EPIPE); // it hung up before it took everything
            break;
        }
    }
    ::shutdown(m_fd, SHUT_WR);
    discardAnswer(); // unread input would turn the close into a reset
    drop();
    return result;
}

bool NetworkConnection::discardAnswer()
{
    char answer[512];
    for (;;) {
        const ssize_t got = ::recv(m_fd, answer, sizeof answer, MSG_DONTWAIT);
        if (got > 0)
            continue;
        return got < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR);
    }
}

LastError NetworkConnection::timeout() const
{
    Failure timedOut(FailureKind::TimedOut);
    timedOut.bound = m_stall.limit();
    timedOut.peer = m_peer;
    return failureAt(m_location, timedOut);
}
