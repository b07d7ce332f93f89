// SPDX-FileCopyrightText: 2026 The VR2710 Demo Developers
// SPDX-License-Identifier: MIT
// Start-up benchmark: for each program, starts it repeatedly on the current X display and
// measures the time from process start until its first top-level window is mapped, and its
// resident memory one second later, when it is idle. Prints medians side by side.
//
// Usage: startup_bench RUNS PROGRAM [PROGRAM...]   (run under an X server, e.g.
// tests/run-in-xvfb.sh)
#include <X11/Xlib.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

long residentKiB(pid_t pid)
{
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("VmRSS:", 0) == 0)
            return std::strtol(line.c_str() + 6, nullptr, 10);
    return -1;
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    const size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

struct Sample
{
    double startMs;
    double rssMiB;
};

bool measure(Display *display, const char *program, Sample &sample)
{
    XSelectInput(display, DefaultRootWindow(display), SubstructureNotifyMask);
    XSync(display, True); // drop older events

    const auto started = Clock::now();
    const pid_t child = fork();
    if (child == 0) {
        execl(program, program, static_cast<char *>(nullptr));
        _exit(127);
    }
    if (child < 0) { // kill(-1, ...) below would signal every process we may signal
        std::perror("fork");
        return false;
    }
    bool mapped = false;
    while (!mapped && Clock::now() - started < std::chrono::seconds(20)) {
        while (XPending(display)) {
            XEvent event;
            XNextEvent(display, &event);
            if (event.type == MapNotify)
                mapped = true;
        }
        if (!mapped)
            std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
    sample.startMs = std::chrono::duration<double, std::milli>(Clock::now() - started).count();
    std::this_thread::sleep_for(std::chrono::seconds(1));
    sample.rssMiB = residentKiB(child) / 1024.0;
    // Our own child, not yet waited for: even if it has ended, it stays a zombie until the
    // waitpid() below, so the PID is still its own.
    kill(child, SIGTERM);
    waitpid(child, nullptr, 0);
    return mapped;
}

} // namespace

int main(int argc, char **argv)
{
    if (argc < 3) {
        std::fprintf(stderr, "usage: %s RUNS PROGRAM [PROGRAM...]\n", argv[0]);
        return 2;
    }
    Display *display = XOpenDisplay(nullptr);
    if (!display) {
        std::fprintf(stderr, "no X display; run under tests/run-in-xvfb.sh\n");
        return 2;
    }
    const int runs = std::max(1, std::atoi(argv[1]));
    const int programs = argc - 2;
    // Run after run, each program in turn: a machine that gets busier or quieter meanwhile
    // weighs on every program alike.
    std::vector<std::vector<double>> starts(programs), memories(programs);
    for (int run = 0; run < runs; ++run) {
        for (int p = 0; p < programs; ++p) {
            Sample sample{};
            if (!measure(display, argv[p + 2], sample)) {
                std::fprintf(stderr, "%s: no window was mapped\n", argv[p + 2]);
                return 1;
            }
            starts[p].push_back(sample.startMs);
            memories[p].push_back(sample.rssMiB);
        }
    }
    std::printf("%-28s %12s %16s\n", "program", "start (ms)", "idle RSS (MiB)");
    for (int p = 0; p < programs; ++p) {
        const std::string path = argv[p + 2];
        const std::string name = path.substr(path.find_last_of('/') + 1);
        std::printf("%-28s %12.1f %16.1f\n", name.c_str(), median(starts[p]), median(memories[p]));
    }
    XCloseDisplay(display);
    return 0;
}
