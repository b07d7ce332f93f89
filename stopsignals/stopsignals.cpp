// SPDX-FileCopyrightText: 2026 The VR2710 Demo Developers
// SPDX-License-Identifier: MIT
#include "stopsignals.h"

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace {

std::atomic<bool> stopRequested{false};
std::atomic<int> stopSignal{0};
int notifyPipe[2] = {-1, -1};

void onStopSignal(int signal)
{
    const int savedErrno = errno;
    int none = 0;
    stopSignal.compare_exchange_strong(none, signal);
    stopRequested = true;
    if (notifyPipe[1] >= 0) {
        const char byte = 1;
        [[maybe_unused]] const ssize_t ignored = ::write(notifyPipe[1], &byte, 1);
    }
    errno = savedErrno;
}

} // namespace

namespace StopSignals {

int handle()
{
    if (notifyPipe[0] < 0 && ::pipe2(notifyPipe, O_CLOEXEC | O_NONBLOCK) != 0)
        notifyPipe[0] = notifyPipe[1] = -1;
    struct sigaction action
    {
    };
    action.sa_handler = onStopSignal;
    sigemptyset(&action.sa_mask);
    // No SA_RESTART: a wait in progress returns at once and sees the request.
    for (const int signal : {SIGINT, SIGQUIT, SIGTERM, SIGHUP})
        ::sigaction(signal, &action, nullptr);
    return notifyPipe[0];
}

int received() noexcept
{
    return stopSignal;
}

const std::atomic<bool> *flag() noexcept
{
    return &stopRequested;
}

void request() noexcept
{
    stopRequested = true;
}

} // namespace StopSignals
