// SPDX-FileCopyrightText: 2026 The VR2710 Demo Developers
// SPDX-License-Identifier: MIT
#pragma once

#include "failure/lasterror.h"
#include "ports/transports.h"
#include "protocol/receiptstream.h"
#include "settings/printsettings.h"

#include <QString>

#include <functional>

// What to print: the port as chosen (compared exactly with the port names), the pitch, the
// body (lines separated by CR LF), the settings in force, and where the date line's clock and
// the ports' system calls come from. The settings have no default: a request is made with them,
// `PrintRequest request{.settings = PrintSettings::load()}`.
struct PrintRequest
{
    QString portSelection;
    PitchCode pitch = Pitch::Cpi15;
    QString body = ReceiptStream::defaultBody();
    PrintSettings settings;
    DateTimeSource now = systemDateTime;
    PortSystem ports = {};
};

// How a job ended: whether the selection named a port at all, and its last failure (number 0
// when every step succeeded).
struct PrintResult
{
    bool printed = false; // false: the selection names no port; nothing happened
    LastError lastError;

    bool failed() const { return lastError.isFailure(); }
};

// What a job tells while it runs: the status caption, once it is known, and how many of the
// receipt's bytes the printer has taken (reported now and then, and once at the end).
struct JobStatus
{
    QString caption;
    qint64 bytesSent = 0;
    qint64 bytesTotal = 0;
};
using StatusCallback = std::function<void(const JobStatus &)>;

// Prints one demonstration receipt on the port the selection names: the serial port for
// "COM1" and "COM2", the printer port for "LPT1", nothing otherwise. Every step runs even when
// an earlier one failed; the result carries the last failure. It blocks until the job is over,
// within the ports' bounds, and touches no window: the caller shows the status and the error.
class PrintJob
{
public:
    static inline const QString SerialCaption = QStringLiteral("VR2710 Printing ...");
    static inline const QString ParallelCaption = QStringLiteral("VR2710 Printing...LPT1");

    // The callback is called on the job's thread.
    static PrintResult run(const PrintRequest &request, const StatusCallback &status = {});
};
