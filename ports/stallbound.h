// SPDX-FileCopyrightText: 2026 The VR2710 Demo Developers
// SPDX-License-Identifier: MIT
#pragma once

#include <algorithm>
#include <chrono>

// How long a device may take no data before the job gives up on it. It counts from the last
// byte the device took, not from each write: a slow device that keeps taking bytes is never cut
// off, and a stalled one costs a job one bound, not one per remaining chunk.
class StallBound
{
public:
    using SteadyClock = std::chrono::steady_clock;
    static constexpr std::chrono::milliseconds DefaultLimit{10000};

    void setLimit(std::chrono::milliseconds limit) { m_limit = limit; }
    std::chrono::milliseconds limit() const { return m_limit; }

    // The device took data (or was just opened): the full bound starts again.
    void progressed() { m_lastProgress = SteadyClock::now(); }

    std::chrono::milliseconds remaining() const
    {
        using namespace std::chrono;
        const auto left =
            duration_cast<milliseconds>(m_limit - (SteadyClock::now() - m_lastProgress));
        return std::max(left, milliseconds(0));
    }
    bool expired() const { return remaining().count() == 0; }

private:
    std::chrono::milliseconds m_limit = DefaultLimit;
    SteadyClock::time_point m_lastProgress = SteadyClock::now();
};
