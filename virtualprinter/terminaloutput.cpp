// SPDX-FileCopyrightText: 2026 The VR2710 Demo Developers
// SPDX-License-Identifier: MIT
#include "terminaloutput.h"

#include "renderer/filesupport.h"

#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <unistd.h>

using namespace std::chrono_literals;

namespace {
// How long the end of the program waits for queued text to go out.
constexpr auto DrainTime = 200ms;
} // namespace

struct TerminalOutput::Shared
{
    int fd;
    qsizetype capacity;
    std::mutex mutex;
    std::condition_variable changed;
    QByteArray queue;
    qint64 dropped = 0;
    bool closed = false;   // the output failed: nothing more is written
    bool stopping = false; // the program ends
    bool writing = false;

    void run();
};

void TerminalOutput::Shared::run()
{
    std::unique_lock lock(mutex);
    for (;;) {
        changed.wait(lock, [this] { return stopping || !queue.isEmpty(); });
        if (queue.isEmpty() || closed)
            return;
        QByteArray text = std::move(queue);
        queue.clear();
        writing = true;
        lock.unlock();
        // Blocking here is the point of the thread: the printer does not wait for it.
        const int error = writeAll(fd, text.constData(), text.size());
        if (error) {
            const QByteArray message = "vr2710-virtual-printer: standard output failed (" +
                                       systemErrorText(error).toLocal8Bit() +
                                       "): receipts are no longer shown there; the printer "
                                       "goes on.\n";
            writeAll(STDERR_FILENO, message.constData(), message.size());
        }
        lock.lock();
        writing = false;
        closed = error != 0;
        changed.notify_all();
        if (closed)
            return;
    }
}

TerminalOutput::TerminalOutput(int fd, qsizetype capacity)
    : m_shared(std::make_shared<Shared>())
{
    m_shared->fd = fd;
    m_shared->capacity = capacity;
    // The thread holds its own reference: left behind blocked in write() at the end, it never
    // touches freed memory.
    std::thread([shared = m_shared] { shared->run(); }).detach();
}

TerminalOutput::~TerminalOutput()
{
    std::unique_lock lock(m_shared->mutex);
    m_shared->stopping = true;
    m_shared->changed.notify_all();
    m_shared->changed.wait_for(lock, DrainTime, [this] {
        return m_shared->closed || (m_shared->queue.isEmpty() && !m_shared->writing);
    });
}

void TerminalOutput::write(const QByteArray &text)
{
    std::lock_guard lock(m_shared->mutex);
    Shared &shared = *m_shared;
    if (shared.closed)
        return;
    if (shared.dropped > 0 && shared.queue.size() < shared.capacity / 2) {
        shared.queue += "[" + QByteArray::number(shared.dropped) +
                        " bytes of output dropped: nobody was reading it]\n";
        shared.dropped = 0;
    }
    if (shared.queue.size() + text.size() > shared.capacity) {
        shared.dropped += text.size();
        return;
    }
    shared.queue += text;
    shared.changed.notify_all();
}
