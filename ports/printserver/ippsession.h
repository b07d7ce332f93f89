// SPDX-FileCopyrightText: 2026 The VR2710 Demo Developers
// SPDX-License-Identifier: MIT
#pragma once

#include "exchangewatchdog.h"
#include "queueaddress.h"

#include <cups/cups.h>

#include <chrono>
#include <memory>

// How far an exchange got, for saying what the server did.
enum class ExchangePhase { LookingUp, Connecting, Sending, AwaitingAnswer, ReadingAnswer };

// What went wrong in an exchange, if anything.
enum class ExchangeTrouble {
    None,
    Stopped,       // a stop request ended it
    TimeUp,        // its bound ran out (the phase and the watchdog's receipt say how)
    HostNotFound,  // errnum: getaddrinfo()'s status
    ConnectFailed, // errnum: why
    Tls,           // detail: the TLS library's words
    Closed,        // the server closed the connection; errnum: how
    Redirect,      // detail: where the server points to
    HttpError,     // httpStatus: what the server answered instead of 200
    NotHttp,       // the answer is not HTTP at all
    NotIpp,        // detail: what the answer is instead
    CutShort,      // the IPP answer ended before it was whole
};

using IppMessage = std::unique_ptr<ipp_t, void (*)(ipp_t *)>;

struct ExchangeOutcome
{
    IppMessage response{nullptr, ippDelete};
    ExchangeTrouble trouble = ExchangeTrouble::None;
    ExchangePhase phase = ExchangePhase::Connecting;
    int errnum = 0;
    int httpStatus = 0;
    QByteArray detail;
    ExchangeWatchdog::Receipt receipt;

    bool ok() const { return trouble == ExchangeTrouble::None; }
};

// One connection to a print server, driven so that libcups never retries, reconnects or asks for
// a password on its own: each exchange is one IPP request (and, for Send-Document, the
// document) and its whole answer, ended by the watchdog at its bound or on a stop. The session
// reconnects itself, within the exchange's bound, where the last exchange failed, the server
// said "Connection: close" or the socket shows the server hung up. libcups encodes and decodes
// the IPP messages.
class IppSession
{
public:
    explicit IppSession(const QueueAddress &address);
    ~IppSession();
    IppSession(const IppSession &) = delete;
    IppSession &operator=(const IppSession &) = delete;

    // Looks the server up and connects, within `bound`.
    ExchangeOutcome connect(std::chrono::milliseconds bound);

    // A request about the queue (jobId > 0: about that job), with who asks.
    ipp_t *newRequest(ipp_op_t operation, int jobId = 0) const;

    // Sends the request (taking it over) and the document after it, and reads the whole answer,
    // within `bound` from now; sending the document goes on while the server takes it, each part
    // within `bound`. A stoppable exchange ends at once on a stop request.
    ExchangeOutcome exchange(ipp_t *request, const QByteArray &document,
                             std::chrono::milliseconds bound, bool stoppable = true);

private:
    using SteadyClock = ExchangeWatchdog::SteadyClock;

    ExchangeOutcome reconnect(SteadyClock::time_point deadline);
    bool needsReconnect() const;
    ExchangeOutcome send(ipp_t *request, const QByteArray &document,
                         std::chrono::milliseconds bound);
    ExchangeOutcome receive();
    ExchangeOutcome failed(ExchangeTrouble trouble, int errnum = 0, QByteArray detail = {});
    int whyConnectFails(SteadyClock::time_point deadline) const;
    static int keepWaiting(http_t *, void *session);

    QueueAddress m_address;
    http_addrlist_t *m_addresses = nullptr;
    http_t *m_http = nullptr;
    bool m_broken = true; // connect before the next exchange
    ExchangePhase m_phase = ExchangePhase::LookingUp;
    ExchangeWatchdog m_watchdog;
};
