// SPDX-FileCopyrightText: 2026 The VR2710 Demo Developers
// SPDX-License-Identifier: MIT
#include "jobstop.h"

#include "stopsignals/stopsignals.h"

namespace {

// The flag a module follows; none: this program's own.
std::atomic<const std::atomic<bool> *> followed{nullptr};

} // namespace

namespace JobStop {

bool requested() noexcept
{
    const std::atomic<bool> *flag = followed.load();
    return (flag ? flag : StopSignals::flag())->load();
}

const std::atomic<bool> *flag() noexcept
{
    return StopSignals::flag();
}

void follow(const std::atomic<bool> *programFlag) noexcept
{
    followed = programFlag;
}

} // namespace JobStop
