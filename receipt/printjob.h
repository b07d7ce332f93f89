// SPDX-FileCopyrightText: 2026 The VR2710 Demo Developers
// SPDX-License-Identifier: MIT
#pragma once

#include "failure/errorbox.h"
#include "failure/lasterror.h"
#include "receiptstream.h"

#include <QString>

#include <functional>

class AbstractSerialPort;
class AbstractParallelPort;

// The names the port selection is compared with; set once when the window loads.
struct PortNameSettings
{
    QString ParallelPortName;
    QString SerialPortName1;
    QString SerialPortName2;
};

// What a print job shows and reads: the caption, the port selection, the body, the error box.
class PrintJobWindow
{
public:
    virtual ~PrintJobWindow() = default;

    virtual QString caption() const = 0;
    virtual void setCaption(const QString &caption) = 0;
    virtual QString portSelection() const = 0;
    // The body as it is to be printed, lines separated by CR LF.
    virtual QString bodyText() const = 0;
    virtual void showErrorBox(const ErrorBox &box) = 0;
    virtual PortNameSettings portNameSettings() const = 0;

    // Runs the job's port operations and returns when they are done. The work touches only the
    // ports, never the window, so a window may run it elsewhere and keep serving its display.
    virtual void runPortWork(const std::function<void()> &work) { work(); }
};

// Prints one demonstration receipt on the port the window's selection names. Every step runs
// even when an earlier one failed; the last failure is shown once, after the caption is back.
class PrintJob
{
public:
    static inline const QString SerialCaption = QStringLiteral("VR2710 Printing ...");
    static inline const QString ParallelCaption = QStringLiteral("VR2710 Printing...LPT1");

    PrintJob(PrintJobWindow &window, AbstractSerialPort &serialPort,
             AbstractParallelPort &parallelPort, DateTimeSource now = systemDateTime);

    void PrintReceipt(const PitchCode &pitchCode);

private:
    // The stream for this job, or the failure that prevents building it.
    std::optional<ReceiptStream> buildStream(const PitchCode &pitchCode, ContinueOnError &job);
    void finish(const QString &savedCaption, const ContinueOnError &job);

    PrintJobWindow &m_window;
    AbstractSerialPort &m_serialPort;
    AbstractParallelPort &m_parallelPort;
    DateTimeSource m_now;
};
