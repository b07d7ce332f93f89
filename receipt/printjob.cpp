// SPDX-FileCopyrightText: 2026 The VR2710 Demo Developers
// SPDX-License-Identifier: MIT
#include "printjob.h"

#include "ports/abstractports.h"
#include "ports/portsettings.h"

namespace {

// The number a serial port name ends in: 1 for "COM1", 0 where it ends in no digit.
qint16 portNumberOf(const QString &selection)
{
    const int digit = selection.isEmpty() ? -1 : selection.back().digitValue();
    return static_cast<qint16>(qMax(digit, 0));
}

} // namespace

PrintJob::PrintJob(PrintJobWindow &window, AbstractSerialPort &serialPort,
                   AbstractParallelPort &parallelPort, DateTimeSource now)
    : m_window(window)
    , m_serialPort(serialPort)
    , m_parallelPort(parallelPort)
    , m_now(std::move(now))
{
}

void PrintJob::PrintReceipt(const PitchCode &pitchCode)
{
    const QString SavedCaption = m_window.caption();
    const QString selection = m_window.portSelection();
    const PortNameSettings names = m_window.portNameSettings();

    // Exact, case-sensitive comparison: " COM1", "com1" or "COM3" select nothing.
    if (selection == names.SerialPortName1 || selection == names.SerialPortName2) {
        m_window.setCaption(SerialCaption);
        ContinueOnError job;
        if (const auto stream = buildStream(pitchCode, job)) {
            m_window.runPortWork([&] {
                AbstractSerialPort &port = m_serialPort;
                job.step(port.setPortNumber(portNumberOf(selection)));
                job.step(port.open());
                for (const QByteArray &chunk : stream->serialChunks())
                    job.step(port.write(chunk));
                job.step(port.close());
            });
        }
        finish(SavedCaption, job);
    } else if (selection == names.ParallelPortName) {
        m_window.setCaption(ParallelCaption);
        ContinueOnError job;
        if (const auto stream = buildStream(pitchCode, job)) {
            m_window.runPortWork([&] {
                AbstractParallelPort &port = m_parallelPort;
                job.step(port.open(names.ParallelPortName));
                for (const Chunk &chunk : stream->parallelChunks())
                    job.step(port.print(chunk.text, chunk.lineEnd));
                job.step(port.close());
            });
        }
        finish(SavedCaption, job);
    }
}

std::optional<ReceiptStream> PrintJob::buildStream(const PitchCode &pitchCode, ContinueOnError &job)
{
    // An unknown code page would garble the body, and a settings file that cannot be read
    // might name other devices: the job sends nothing at all.
    const CodePageSetting codePage = chosenCodePage();
    if (!codePage.page) {
        job.step(codePage.failure);
        return std::nullopt;
    }
    return ReceiptStream(pitchCode, m_window.bodyText(), m_now(), *codePage.page);
}

void PrintJob::finish(const QString &savedCaption, const ContinueOnError &job)
{
    m_window.setCaption(savedCaption);
    if (job.lastError().isFailure())
        m_window.showErrorBox(errorBoxFor(job.lastError()));
}
