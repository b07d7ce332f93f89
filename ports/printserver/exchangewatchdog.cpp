// SPDX-FileCopyrightText: 2026 The VR2710 Demo Developers
// SPDX-License-Identifier: MIT
#include "exchangewatchdog.h"

#include "ports/jobstop.h"
#include "socketreceipt.h"

#include <sys/socket.h>

namespace {

using namespace std::chrono;

// How often the watchdog looks at the stop request: well inside JobStop's promise.
constexpr milliseconds LookInterval(25);

} // namespace

ExchangeWatchdog::ExchangeWatchdog()
    : m_thread([this] { watch(); })
{
}

ExchangeWatchdog::~ExchangeWatchdog()
{
    {
        std::lock_guard lock(m_mutex);
        m_quit = true;
    }
    m_changed.notify_all();
    m_thread.join();
}

void ExchangeWatchdog::arm(http_t *http, SteadyClock::time_point deadline, bool stoppable)
{
    {
        std::lock_guard lock(m_mutex);
        m_http = http;
        m_deadline = deadline;
        m_stoppable = stoppable;
        m_armed = true;
        m_fired = Fired::No;
        m_cancel = 0;
        m_bytesAtStart = -1;
        m_receipt = {};
    }
    m_changed.notify_all();
}

void ExchangeWatchdog::attach(http_t *http)
{
    std::lock_guard lock(m_mutex);
    m_http = http;
}

void ExchangeWatchdog::extend(SteadyClock::time_point deadline)
{
    std::lock_guard lock(m_mutex);
    if (m_fired == Fired::No)
        m_deadline = std::max(m_deadline, deadline);
}

void ExchangeWatchdog::startCounting()
{
    std::lock_guard lock(m_mutex);
    qint64 bytes = -1, since = -1;
    m_bytesAtStart = socketReceipt(httpGetFd(m_http), bytes, since) ? bytes : -1;
}

ExchangeWatchdog::Fired ExchangeWatchdog::disarm()
{
    std::lock_guard lock(m_mutex);
    m_armed = false;
    m_http = nullptr;
    return m_fired;
}

void ExchangeWatchdog::watch()
{
    std::unique_lock lock(m_mutex);
    while (!m_quit) {
        if (!m_armed || m_fired != Fired::No) {
            m_changed.wait(lock);
            continue;
        }
        if (m_stoppable && JobStop::requested())
            fire(Fired::Stopped);
        else if (SteadyClock::now() >= m_deadline)
            fire(Fired::TimeUp);
        else
            m_changed.wait_until(lock, std::min(m_deadline, SteadyClock::now() + LookInterval));
    }
}

// Called with the mutex held, so that the connection is not closed meanwhile: disarm() comes
// before anything closes it.
void ExchangeWatchdog::fire(Fired why)
{
    m_fired = why;
    m_cancel = 1;
    // libcups sets the descriptor as soon as the connection stands, before any TLS handshake.
    const int fd = httpGetFd(m_http);
    qint64 bytes = -1, since = -1;
    if (m_bytesAtStart >= 0 && socketReceipt(fd, bytes, since))
        m_receipt = {bytes - m_bytesAtStart, since};
    if (fd >= 0)
        ::shutdown(fd, SHUT_RDWR);
}
