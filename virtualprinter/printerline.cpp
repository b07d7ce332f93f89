// SPDX-FileCopyrightText: 2026 The VR2710 Demo Developers
// SPDX-License-Identifier: MIT
#include "printerline.h"

#include "protocol/linerate.h"

#include <cerrno>
#include <sys/ioctl.h>
#include <unistd.h>

namespace {
// An idle line may take a small burst at once, as a UART's buffer does: 16 bytes, or 20 ms
// of line time on fast lines, where the timer could not keep up with single bytes.
constexpr double BurstBytes = 16;
constexpr double BurstMs = 20;
constexpr qint64 UnpacedChunk = 65536;
} // namespace

PrinterLine::PrinterLine(const QString &name, int fd, int keepOpen, qint32 baud, LineFaults faults,
                         AtEnd atEnd, QObject *parent)
    : QObject(parent)
    , m_name(name)
    , m_fd(fd)
    , m_keepOpen(keepOpen)
    , m_bytesPerMs(baud > 0 ? baud / double(LineRate::BitsPerByte) / 1000.0 : 0)
    , m_faults(faults)
    , m_atEnd(atEnd)
    , m_notifier(fd, QSocketNotifier::Read)
{
    m_clock.start();
    m_paceTimer.setSingleShot(true);
    m_paceTimer.setTimerType(Qt::PreciseTimer);
    connect(&m_notifier, &QSocketNotifier::activated, this, &PrinterLine::readAvailable);
    connect(&m_paceTimer, &QTimer::timeout, this, [this] { m_notifier.setEnabled(true); });
    m_idleTimer.setSingleShot(true);
    connect(&m_idleTimer, &QTimer::timeout, this, &PrinterLine::checkIdle);
    m_quietTimer.setSingleShot(true);
    connect(&m_quietTimer, &QTimer::timeout, this, &PrinterLine::stopDraining);
}

PrinterLine::~PrinterLine()
{
    closeLine();
}

void PrinterLine::setIdleLimit(int ms)
{
    m_idleLimitMs = ms;
    m_lastArrival = m_clock.elapsed();
    if (m_fd >= 0)
        m_idleTimer.start(ms);
}

void PrinterLine::checkIdle()
{
    // Arrivals only note the time; the timer catches up here rather than restart on each read.
    const qint64 quiet = m_clock.elapsed() - m_lastArrival;
    if (quiet < m_idleLimitMs) {
        m_idleTimer.start(int(m_idleLimitMs - quiet));
        return;
    }
    closeLine();
    emit idled();
}

qint64 PrinterLine::pendingBytes() const
{
    int pending = 0;
    if (m_fd < 0 || ::ioctl(m_fd, FIONREAD, &pending) != 0)
        return 0;
    return pending;
}

void PrinterLine::drain(int quietMs)
{
    if (m_draining || m_drained)
        return;
    m_draining = true;
    m_bytesPerMs = 0; // what was sent is read at once
    m_paceTimer.stop();
    m_idleTimer.stop(); // the job now ends when nothing more comes, not after the idle limit
    if (m_fd < 0 || stalledForGood()) {
        m_notifier.setEnabled(false);
        m_draining = false;
        m_drained = true;
        return;
    }
    m_notifier.setEnabled(true);
    m_quietTimer.start(quietMs);
}

void PrinterLine::stopDraining()
{
    m_notifier.setEnabled(false);
    m_paceTimer.stop();
    m_quietTimer.stop();
    if (!m_draining)
        return;
    m_draining = false;
    m_drained = true;
    emit drained();
}

qint64 PrinterLine::allowance()
{
    qint64 limit = UnpacedChunk;
    if (m_bytesPerMs > 0) {
        const qint64 now = m_clock.elapsed();
        const double burst = qMax(BurstBytes, BurstMs * m_bytesPerMs);
        m_credit = qMin(burst, m_credit + (now - m_lastRefill) * m_bytesPerMs);
        m_lastRefill = now;
        limit = qint64(m_credit);
    }
    for (const qint64 fault : {m_faults.stallAfter, m_faults.hangupAfter})
        if (fault >= 0)
            limit = qMin(limit, fault - m_bytesRead);
    return limit;
}

void PrinterLine::readAvailable()
{
    if (m_fd < 0 || m_drained || applyFaults())
        return;
    const qint64 allowed = allowance();
    if (allowed < 1) {
        // Wait until the line has carried the next byte.
        m_notifier.setEnabled(false);
        m_paceTimer.start(qMax(1, qCeil((1.0 - m_credit) / m_bytesPerMs)));
        return;
    }
    QByteArray buffer(allowed, Qt::Uninitialized);
    const ssize_t got = ::read(m_fd, buffer.data(), buffer.size());
    if (got <= 0) {
        if (got < 0 && (errno == EAGAIN || errno == EINTR))
            return;
        if (m_atEnd == AtEnd::EndJob) {
            closeLine();
            emit ended();
            return;
        }
        if (m_draining) { // nothing is left, and the next sender is not waited for
            stopDraining();
            return;
        }
        // Nobody holds the other end any more and nothing is left; wait for the next sender.
        m_notifier.setEnabled(false);
        m_paceTimer.start(50);
        return;
    }
    buffer.truncate(got);
    m_bytesRead += got;
    m_lastArrival = m_clock.elapsed();
    if (m_bytesPerMs > 0)
        m_credit -= got;
    if (m_draining)
        m_quietTimer.start(); // the same quiet time again, from this read on
    emit received(buffer);
    applyFaults();
}

bool PrinterLine::stalledForGood() const
{
    return m_faults.stallAfter >= 0 && m_bytesRead >= m_faults.stallAfter;
}

bool PrinterLine::applyFaults()
{
    if (m_faults.hangupAfter >= 0 && m_bytesRead >= m_faults.hangupAfter) {
        closeLine();
        emit hungUp();
        return true;
    }
    if (stalledForGood()) {
        m_notifier.setEnabled(false); // never reads again: the sender's buffers fill up
        m_idleTimer.stop();           // nor ends the job: the sender is not the one idle
        emit stalled();
        return true;
    }
    return false;
}

void PrinterLine::closeLine()
{
    m_notifier.setEnabled(false);
    m_paceTimer.stop();
    m_idleTimer.stop();
    m_quietTimer.stop();
    if (m_draining) { // nothing more can come: the owner, told why the line closed, sees it
        m_draining = false;
        m_drained = true;
    }
    if (m_fd >= 0)
        ::close(m_fd);
    if (m_keepOpen >= 0)
        ::close(m_keepOpen);
    m_fd = m_keepOpen = -1;
}
