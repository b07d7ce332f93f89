// SPDX-FileCopyrightText: 2026 The VR2710 Demo Developers
// SPDX-License-Identifier: MIT
#include "printjob.h"

#include "ports/parallelport.h"
#include "ports/serialport.h"
#include "settings/portnames.h"

#include <QElapsedTimer>

namespace {

// The number a serial port name ends in: 1 for "COM1".
qint16 portNumberOf(const QString &selection)
{
    return static_cast<qint16>(qMax(selection.back().digitValue(), 0));
}

// Passes the status on, and the bytes the printer took at most every 100 ms and at the end.
class StatusReport
{
public:
    StatusReport(const StatusCallback &callback, const QString &caption, qint64 total)
        : m_callback(callback)
        , m_status{caption, 0, total}
    {
        m_sinceReport.start();
        if (m_callback)
            m_callback(m_status);
    }
    void sent(qint64 bytes)
    {
        m_status.bytesSent += bytes;
        if (m_callback && m_sinceReport.elapsed() >= 100) {
            m_sinceReport.restart();
            m_callback(m_status);
        }
    }
    void finished()
    {
        if (m_callback)
            m_callback(m_status);
    }

private:
    const StatusCallback &m_callback;
    JobStatus m_status;
    QElapsedTimer m_sinceReport;
};

template <typename Chunks> qint64 totalBytes(const Chunks &chunks)
{
    return ReceiptStream::join(chunks).size();
}

} // namespace

PrintResult PrintJob::run(const PrintRequest &request, const StatusCallback &status)
{
    const QString &selection = request.portSelection;
    // Exact, case-sensitive comparison: " COM1", "com1" or "COM3" select nothing.
    const bool serial = PortNames::isSerial(selection);
    if (!serial && selection != PortNames::Lpt1)
        return {};

    PrintResult result;
    result.printed = true;
    ContinueOnError job;
    // A settings file that cannot be read might name other devices, and an unknown code page
    // would garble the body: the job sends nothing at all.
    if (request.settings.failure().isFailure()) {
        StatusReport report(status, serial ? SerialCaption : ParallelCaption, 0);
        job.step(request.settings.failure());
        result.lastError = job.lastError();
        return result;
    }
    const ReceiptStream stream(request.pitch, request.body, request.now(),
                               *request.settings.codePage());

    if (serial) {
        const QList<QByteArray> chunks = stream.serialChunks();
        StatusReport report(status, SerialCaption, totalBytes(chunks));
        SerialPort port(request.settings, request.ports);
        port.onBytesSent([&](qint64 bytes) { report.sent(bytes); });
        job.step(port.setPortNumber(portNumberOf(selection)));
        job.step(port.open());
        for (const QByteArray &chunk : chunks)
            job.step(port.write(chunk));
        job.step(port.close());
        report.finished();
    } else {
        const QList<Chunk> chunks = stream.parallelChunks();
        StatusReport report(status, ParallelCaption, totalBytes(chunks));
        ParallelPort port(request.settings, request.ports);
        port.onBytesSent([&](qint64 bytes) { report.sent(bytes); });
        job.step(port.open(PortNames::Lpt1));
        for (const Chunk &chunk : chunks)
            job.step(port.print(chunk.text, chunk.lineEnd));
        job.step(port.close());
        report.finished();
    }
    result.lastError = job.lastError();
    return result;
}
