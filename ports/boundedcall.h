// SPDX-FileCopyrightText: 2026 The VR2710 Demo Developers
// SPDX-License-Identifier: MIT
#pragma once

#include "jobstop.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>

// Runs a call that cannot be bounded itself (a host name lookup) on a thread of its own and waits
// for it at most `wait`: its result, or nullopt when it took longer or a stop was requested
// meanwhile (looked at every JobStop::CheckIntervalMs). A call that outlasts the wait is left to
// finish there; its result is then destroyed with the state the thread shares, so Result should
// free what it holds (a unique_ptr with its deleter).
template <typename Result>
std::optional<Result> callWithin(std::chrono::milliseconds wait, std::function<Result()> call)
{
    struct State
    {
        std::mutex mutex;
        std::condition_variable finished;
        std::optional<Result> result;
    };
    auto state = std::make_shared<State>();
    std::thread([state, call = std::move(call)] {
        Result result = call();
        std::lock_guard lock(state->mutex);
        state->result.emplace(std::move(result));
        state->finished.notify_all();
    }).detach();
    const auto deadline = std::chrono::steady_clock::now() + wait;
    std::unique_lock lock(state->mutex);
    while (!state->result.has_value()) {
        const auto now = std::chrono::steady_clock::now();
        if (now >= deadline || JobStop::requested())
            return std::nullopt;
        state->finished.wait_for(
            lock, std::min<std::chrono::steady_clock::duration>(
                      deadline - now, std::chrono::milliseconds(JobStop::CheckIntervalMs)));
    }
    return std::move(state->result);
}
