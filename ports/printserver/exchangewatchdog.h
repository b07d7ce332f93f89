// SPDX-FileCopyrightText: 2026 The VR2710 Demo Developers
// SPDX-License-Identifier: MIT
#pragma once

#include <cups/http.h>

#include <QtGlobal>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

// Ends the exchange with the print server that is under way once its time is up, or at once
// when a stop is requested: libcups's own timeout never fires while each byte of an answer comes
// within its period, and it reconnects on its own without a bound. The watchdog sets the cancel
// flag that a connect looks at, and shuts the socket down, so that whatever libcups waits for
// ends at once. It looks at the job's stop request every few tens of milliseconds.
class ExchangeWatchdog
{
public:
    using SteadyClock = std::chrono::steady_clock;
    enum class Fired { No, TimeUp, Stopped };

    // What the socket had seen when the watchdog fired: for telling a silent server from one
    // that stalled part-way or drips its answer.
    struct Receipt
    {
        qint64 bytesReceived = -1; // in this exchange; -1 where the socket does not tell
        qint64 sinceLastByteMs = -1;
    };

    ExchangeWatchdog();
    ~ExchangeWatchdog();
    ExchangeWatchdog(const ExchangeWatchdog &) = delete;
    ExchangeWatchdog &operator=(const ExchangeWatchdog &) = delete;

    // Watches one exchange on this connection until disarm(). A cancel (stoppable false) runs
    // to its own short deadline even after a stop.
    void arm(http_t *http, SteadyClock::time_point deadline, bool stoppable);
    // The connection the exchange now runs on (nullptr before one is closed).
    void attach(http_t *http);
    // The socket took more of what is sent: the exchange may go on for another `bound`.
    void extend(SteadyClock::time_point deadline);
    // Counts what the socket receives from now on (after a connect).
    void startCounting();
    Fired disarm();

    Fired fired() const { return m_fired; }
    Receipt receipt() const
    {
        std::lock_guard lock(m_mutex);
        return m_receipt;
    }
    // The flag httpReconnect2() looks at while it connects.
    int *cancelFlag() { return &m_cancel; }

private:
    void watch();
    void fire(Fired why);

    mutable std::mutex m_mutex;
    std::condition_variable m_changed;
    http_t *m_http = nullptr;
    SteadyClock::time_point m_deadline;
    bool m_stoppable = true;
    bool m_armed = false;
    bool m_quit = false;
    qint64 m_bytesAtStart = -1;
    std::atomic<Fired> m_fired{Fired::No};
    Receipt m_receipt;
    int m_cancel = 0;
    std::thread m_thread;
};
