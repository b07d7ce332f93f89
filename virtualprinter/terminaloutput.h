// SPDX-FileCopyrightText: 2026 The VR2710 Demo Developers
// SPDX-License-Identifier: MIT
#pragma once

#include <QByteArray>

#include <memory>

// Standard output that can never hold the printer up. Text is handed to a thread of its own
// that writes it; while nobody reads (a full pipe, a stopped terminal) text that does not fit
// the bounded queue is dropped and counted, never waited for. Once the output is closed (a
// pipe whose reader has gone) or fails, the view ends with one message on standard error and
// everything later is discarded: the printer itself goes on.
class TerminalOutput
{
public:
    explicit TerminalOutput(int fd, qsizetype capacity = 1 << 20);
    // Gives the thread a moment to write what is queued, then leaves it behind.
    ~TerminalOutput();
    TerminalOutput(const TerminalOutput &) = delete;
    TerminalOutput &operator=(const TerminalOutput &) = delete;

    void write(const QByteArray &text);

private:
    struct Shared;
    std::shared_ptr<Shared> m_shared;
};
