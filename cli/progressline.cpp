// SPDX-FileCopyrightText: 2026 The VR2710 Demo Developers
// SPDX-License-Identifier: MIT
#include "progressline.h"

#include "protocol/linerate.h"

#include <QLocale>

ProgressLine::ProgressLine(QTextStream &stream, bool terminal)
    : m_stream(stream)
    , m_terminal(terminal)
{
    m_started.start();
}

QString ProgressLine::text(qint64 sent, qint64 total)
{
    const QLocale english(QLocale::English);
    const qint64 secondsLeft =
        qint64((total - sent) * LineRate::MillisecondsPerByte / 1000.0 + 0.5);
    const QString left = secondsLeft >= 120 ? QStringLiteral("%1 min").arg((secondsLeft + 30) / 60)
                                            : QStringLiteral("%1 s").arg(secondsLeft);
    return sent >= total ? QStringLiteral("all %1 bytes sent, waiting for the printer to finish")
                               .arg(english.toString(total))
                         : QStringLiteral("%1 of %2 bytes sent, about %3 left")
                               .arg(english.toString(sent), english.toString(total), left);
}

void ProgressLine::update(const JobStatus &status)
{
    if (status.caption != m_caption) {
        m_caption = status.caption;
        m_stream << m_caption << Qt::endl;
    }
    if (!m_terminal || m_started.elapsed() < ShowAfterMs || status.bytesTotal <= 0)
        return;
    // Back to the start of the line and clear it: the line is rewritten in place.
    m_stream << "\r\x1b[K" << text(status.bytesSent, status.bytesTotal) << Qt::flush;
    m_shown = true;
}

void ProgressLine::finish()
{
    if (m_shown)
        m_stream << Qt::endl;
    m_shown = false;
}
