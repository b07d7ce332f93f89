// SPDX-FileCopyrightText: 2026 The VR2710 Demo Developers
// SPDX-License-Identifier: MIT
#pragma once

#include "printerport.h"

// The printer port a job prints the printer-device stream on: opened by its port name ("LPT1"),
// written one print operation per chunk, each optionally followed by CR LF; see printerdevice.h
// for the device itself.
class ParallelPort : public PrinterPort
{
public:
    explicit ParallelPort(PrintSettings settings, PortSystem system = PortSystem());

    LastError open(const QString &portName);
    // Writes the text and, with lineEnd, CR LF after it.
    LastError print(const QByteArray &text, bool lineEnd);
};
