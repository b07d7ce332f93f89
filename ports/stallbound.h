// SPDX-FileCopyrightText: 2026 The VR2710 Demo Developers
// SPDX-License-Identifier: MIT
#pragma once

#include <QtGlobal>

#include <algorithm>
#include <chrono>
#include <functional>

// How long a device may take no data before the job gives up on it. It counts from the last
// byte the device took, not from each write: a slow device that keeps taking bytes is never cut
// off, and a stalled one costs a job one bound, not one per remaining chunk.
class StallBound
{
public:
    using SteadyClock = std::chrono::steady_clock;
    static constexpr std::chrono::milliseconds DefaultLimit{10000};

    explicit StallBound(std::chrono::milliseconds limit = DefaultLimit)
        : m_limit(limit)
    {
    }

    std::chrono::milliseconds limit() const { return m_limit; }

    // The device took data (or was just opened): the full bound starts again. `bytes` is how
    // many it took, for whoever follows the job's progress.
    void progressed(qint64 bytes = 0)
    {
        m_lastProgress = SteadyClock::now();
        if (bytes > 0 && m_onBytes)
            m_onBytes(bytes);
    }
    // Called with each count of bytes the device took.
    void onBytes(std::function<void(qint64)> observer) { m_onBytes = std::move(observer); }

    std::chrono::milliseconds remaining() const
    {
        using namespace std::chrono;
        const auto left =
            duration_cast<milliseconds>(m_limit - (SteadyClock::now() - m_lastProgress));
        return std::max(left, milliseconds(0));
    }
    bool expired() const { return remaining().count() == 0; }

private:
    std::chrono::milliseconds m_limit;
    SteadyClock::time_point m_lastProgress = SteadyClock::now();
    std::function<void(qint64)> m_onBytes;
};
