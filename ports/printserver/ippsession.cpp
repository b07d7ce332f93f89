// SPDX-FileCopyrightText: 2026 The VR2710 Demo Developers
// SPDX-License-Identifier: MIT
#include "ippsession.h"

#include "ports/jobstop.h"
#include "ports/networkhost.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <netdb.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

using namespace std::chrono;

// The document goes out in parts of this size, each one progress that keeps the exchange going.
constexpr qsizetype DocumentPart = 16 * 1024;

// libcups's own copy of the looked-up addresses, which it frees with httpAddrFreeList().
http_addrlist_t *toAddressList(const addrinfo *addresses)
{
    http_addrlist_t *first = nullptr;
    http_addrlist_t **next = &first;
    for (const addrinfo *address = addresses; address; address = address->ai_next) {
        if (address->ai_addrlen > sizeof(http_addr_t))
            continue;
        auto *entry = static_cast<http_addrlist_t *>(std::calloc(1, sizeof(http_addrlist_t)));
        if (!entry)
            break;
        std::memcpy(&entry->addr, address->ai_addr, address->ai_addrlen);
        *next = entry;
        next = &entry->next;
    }
    return first;
}

constexpr double LibcupsWaitSeconds = 3600;

milliseconds left(steady_clock::time_point deadline)
{
    return std::max(duration_cast<milliseconds>(deadline - steady_clock::now()), milliseconds(1));
}

} // namespace

IppSession::IppSession(const QueueAddress &address)
    : m_address(address)
{
}

IppSession::~IppSession()
{
    m_watchdog.disarm();
    if (m_http)
        httpClose(m_http);
    httpAddrFreeList(m_addresses);
}

int IppSession::keepWaiting(http_t *, void *session)
{
    return static_cast<IppSession *>(session)->m_watchdog.fired() == ExchangeWatchdog::Fired::No;
}

ipp_t *IppSession::newRequest(ipp_op_t operation, int jobId) const
{
    ipp_t *request = ippNewRequest(operation);
    ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_URI, "printer-uri", nullptr,
                 m_address.uri.constData());
    if (jobId > 0)
        ippAddInteger(request, IPP_TAG_OPERATION, IPP_TAG_INTEGER, "job-id", jobId);
    ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_NAME, "requesting-user-name", nullptr,
                 cupsUser());
    return request;
}

ExchangeOutcome IppSession::failed(ExchangeTrouble trouble, int errnum, QByteArray detail)
{
    ExchangeOutcome outcome;
    // The watchdog's reason comes first: what libcups says after it shut the socket down is
    // only the consequence.
    switch (m_watchdog.fired()) {
    case ExchangeWatchdog::Fired::Stopped:
        trouble = ExchangeTrouble::Stopped;
        break;
    case ExchangeWatchdog::Fired::TimeUp:
        trouble = ExchangeTrouble::TimeUp;
        break;
    case ExchangeWatchdog::Fired::No:
        break;
    }
    outcome.trouble = trouble;
    outcome.phase = m_phase;
    outcome.errnum = errnum;
    outcome.detail = std::move(detail);
    outcome.receipt = m_watchdog.receipt();
    m_broken = true;
    return outcome;
}

ExchangeOutcome IppSession::connect(milliseconds bound)
{
    const SteadyClock::time_point deadline = SteadyClock::now() + bound;
    m_phase = ExchangePhase::LookingUp;
    if (m_address.isLocalSocket()) {
        m_addresses = httpAddrGetList(m_address.host.constData(), AF_LOCAL, "0");
    } else {
        const NetworkPeer peer{m_address.host, m_address.port, NetworkPeer::Kind::PrintServer, {}};
        const std::optional<HostLookup> lookup = lookUpHost(peer, bound);
        if (!lookup)
            return failed(JobStop::requested() ? ExchangeTrouble::Stopped
                                               : ExchangeTrouble::TimeUp);
        if (lookup->status != 0)
            return failed(ExchangeTrouble::HostNotFound, lookup->status);
        m_addresses = toAddressList(lookup->addresses.get());
    }
    if (!m_addresses)
        return failed(ExchangeTrouble::HostNotFound, EAI_NONAME);
    m_watchdog.arm(nullptr, deadline, true);
    ExchangeOutcome outcome = reconnect(deadline);
    m_watchdog.disarm();
    return outcome;
}

ExchangeOutcome IppSession::reconnect(SteadyClock::time_point deadline)
{
    m_phase = ExchangePhase::Connecting;
    // A fresh connection object: libcups reconnects on its own, without a bound, when it finds
    // the last status of the one it has an error.
    m_watchdog.attach(nullptr);
    if (m_http)
        httpClose(m_http);
    m_http = httpConnect2(m_address.host.constData(), m_address.port, m_addresses, AF_UNSPEC,
                          m_address.secure ? HTTP_ENCRYPTION_ALWAYS : HTTP_ENCRYPTION_IF_REQUESTED,
                          1, 0, nullptr);
    if (!m_http)
        return failed(ExchangeTrouble::ConnectFailed, ENOMEM);
    m_watchdog.attach(m_http);
    // The watchdog bounds every wait: libcups's own period must never end one first, or a slow
    // part of an answer would pass for the end of it.
    httpSetTimeout(m_http, LibcupsWaitSeconds, keepWaiting, this);
    if (httpReconnect2(m_http, int(left(deadline).count()), m_watchdog.cancelFlag()) != 0) {
        const int errnum = httpError(m_http);
        // The connection stood and the handshake failed: libcups says EIO then.
        if (m_address.secure && (errnum == EIO || errnum == 0))
            return failed(ExchangeTrouble::Tls, 0, cupsLastErrorString());
        return failed(ExchangeTrouble::ConnectFailed, whyConnectFails(deadline));
    }
    m_broken = false;
    return {};
}

// libcups reports every address that failed as "host is down"; one more try says why.
int IppSession::whyConnectFails(SteadyClock::time_point deadline) const
{
    if (m_address.isLocalSocket()) {
        struct stat status;
        return ::stat(m_address.host.constData(), &status) == 0 ? ECONNREFUSED : ENOENT;
    }
    const NetworkPeer peer{m_address.host, m_address.port, NetworkPeer::Kind::PrintServer, {}};
    const std::optional<HostLookup> lookup = lookUpHost(peer, left(deadline));
    if (!lookup || lookup->status != 0)
        return EHOSTDOWN;
    StallBound bound(left(deadline));
    const HostConnection connection = connectToHost(lookup->addresses.get(), bound);
    if (connection.fd >= 0) {
        ::close(connection.fd);
        return EHOSTDOWN;
    }
    return connection.error;
}

// Nothing should come from the server between two exchanges: anything readable is its hang-up.
bool IppSession::needsReconnect() const
{
    if (m_broken || !m_http || httpGetFd(m_http) < 0)
        return true;
    pollfd entry{httpGetFd(m_http), POLLIN, 0};
    return ::poll(&entry, 1, 0) != 0;
}

ExchangeOutcome IppSession::exchange(ipp_t *request, const QByteArray &document, milliseconds bound,
                                     bool stoppable)
{
    IppMessage owned(request, ippDelete);
    const SteadyClock::time_point deadline = SteadyClock::now() + bound;
    m_watchdog.arm(m_http, deadline, stoppable);
    ExchangeOutcome outcome;
    if (needsReconnect())
        outcome = reconnect(deadline);
    if (outcome.ok())
        outcome = send(owned.get(), document, bound);
    if (outcome.ok())
        outcome = receive();
    m_watchdog.disarm();
    return outcome;
}

ExchangeOutcome IppSession::send(ipp_t *request, const QByteArray &document, milliseconds bound)
{
    m_phase = ExchangePhase::Sending;
    m_watchdog.startCounting();
    httpClearFields(m_http);
    httpSetField(m_http, HTTP_FIELD_CONTENT_TYPE, "application/ipp");
    httpSetLength(m_http, ippLength(request) + size_t(document.size()));
    if (httpPost(m_http, m_address.resource.constData()) != 0)
        return failed(ExchangeTrouble::Closed, httpError(m_http));
    ippSetState(request, IPP_STATE_IDLE);
    for (ipp_state_t state = IPP_STATE_IDLE; state != IPP_STATE_DATA;) {
        state = ippWrite(m_http, request);
        if (state == IPP_STATE_ERROR)
            return failed(ExchangeTrouble::Closed, httpError(m_http));
    }
    for (qsizetype done = 0; done < document.size(); done += DocumentPart) {
        const qsizetype part = std::min(DocumentPart, document.size() - done);
        if (httpWrite2(m_http, document.constData() + done, size_t(part)) < 0)
            return failed(ExchangeTrouble::Closed, httpError(m_http));
        m_watchdog.extend(SteadyClock::now() + bound);
    }
    return {};
}

ExchangeOutcome IppSession::receive()
{
    m_phase = ExchangePhase::AwaitingAnswer;
    http_status_t status = HTTP_STATUS_CONTINUE;
    // "100 Continue" comes before the real answer; the watchdog bounds the loop.
    while (status == HTTP_STATUS_CONTINUE && httpGetState(m_http) != HTTP_STATE_WAITING)
        status = httpUpdate(m_http);
    if (status == HTTP_STATUS_ERROR || status == HTTP_STATUS_CONTINUE) {
        const int errnum = httpError(m_http);
        if (errnum == EINVAL)
            return failed(ExchangeTrouble::NotHttp);
        // libcups 2.4's TLS layer reports a TLS 1.3 message it could not take as EAGAIN.
        if (m_address.secure && (errnum == EAGAIN || errnum == EWOULDBLOCK))
            return failed(ExchangeTrouble::Tls, errnum, cupsLastErrorString());
        return failed(ExchangeTrouble::Closed, errnum ? errnum : EPIPE);
    }
    if (status >= HTTP_STATUS_MULTIPLE_CHOICES && status < HTTP_STATUS_BAD_REQUEST)
        return failed(ExchangeTrouble::Redirect, 0, httpGetField(m_http, HTTP_FIELD_LOCATION));
    if (status != HTTP_STATUS_OK) {
        ExchangeOutcome outcome = failed(ExchangeTrouble::HttpError);
        outcome.httpStatus = status;
        return outcome;
    }
    const QByteArray type = httpGetField(m_http, HTTP_FIELD_CONTENT_TYPE);
    if (!type.startsWith("application/ipp"))
        return failed(ExchangeTrouble::NotIpp, 0, type);

    m_phase = ExchangePhase::ReadingAnswer;
    IppMessage response(ippNew(), ippDelete);
    for (ipp_state_t state = IPP_STATE_IDLE; state != IPP_STATE_DATA;) {
        state = ippRead(m_http, response.get());
        if (state == IPP_STATE_ERROR) {
            const int errnum = httpError(m_http);
            if (errnum == EPIPE || errnum == ECONNRESET)
                return failed(ExchangeTrouble::CutShort, errnum);
            return failed(ExchangeTrouble::NotIpp, 0, type);
        }
        if (m_watchdog.fired() != ExchangeWatchdog::Fired::No)
            return failed(ExchangeTrouble::TimeUp);
    }
    // What is left of the answer, or a server that closes after it: the next exchange
    // connects afresh.
    if (httpGetState(m_http) != HTTP_STATE_WAITING ||
        QByteArray(httpGetField(m_http, HTTP_FIELD_CONNECTION)).toLower() == "close")
        m_broken = true;
    ExchangeOutcome outcome;
    outcome.response = std::move(response);
    return outcome;
}
