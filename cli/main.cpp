// SPDX-FileCopyrightText: 2026 The VR2710 Demo Developers
// SPDX-License-Identifier: MIT
#include "printcommand.h"
#include "terminalwindow.h"

#include "ports/parallelport.h"
#include "ports/serialport.h"

#include <QCoreApplication>
#include <QTextStream>

#include <cstdio>

int main(int argc, char *argv[])
{
    // The arguments stay bytes: a body file's name is used exactly as given.
    QByteArrayList arguments;
    for (int i = 1; i < argc; ++i)
        arguments << QByteArray(argv[i]);

    QTextStream out(stdout);
    QTextStream err(stderr);
    const ParsedCommandLine parsed = parseCommandLine(arguments);
    out << parsed.output;
    err << parsed.error;
    if (!parsed.request)
        return parsed.exitCode;

    const PrintRequest &request = *parsed.request;
    QString body = ReceiptStream::defaultBody();
    if (!request.bodySource.isEmpty()) {
        const BodyText read = readBody(request.bodySource);
        if (!read.text) {
            err << "vr2710-print: " << read.error << Qt::endl;
            return ExitCode::UsageError;
        }
        body = *read.text;
    }

    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("vr2710-print"));
    TerminalWindow window(request.port, body, err);
    SerialPort serialPort;
    ParallelPort parallelPort;
    PrintJob job(window, serialPort, parallelPort);
    job.PrintReceipt(request.pitch);
    return window.jobFailed() ? ExitCode::JobFailed : ExitCode::Printed;
}
