// SPDX-FileCopyrightText: 2026 The VR2710 Demo Developers
// SPDX-License-Identifier: MIT
#pragma once

#include "job/printjob.h"

#include <QElapsedTimer>
#include <QTextStream>

// vr2710-print's report of a job on standard error: the status caption once, and, on a
// terminal, for a job that lasts longer than two seconds, one line updated in place with the
// bytes sent of the total and the time left at the line's rate (9600 baud, 10 bits a byte).
// Nothing but the caption when the stream is no terminal.
class ProgressLine
{
public:
    static constexpr qint64 ShowAfterMs = 2000;

    ProgressLine(QTextStream &stream, bool terminal);

    void update(const JobStatus &status);
    // Ends the progress line, if one was shown, so that what follows starts on a line of its own.
    void finish();

    // "1,024 of 10,240 bytes sent, about 8 s left"
    static QString text(qint64 sent, qint64 total);

private:
    QTextStream &m_stream;
    bool m_terminal;
    QString m_caption;
    QElapsedTimer m_started;
    bool m_shown = false;
};
