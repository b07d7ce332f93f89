// SPDX-FileCopyrightText: 2026 The VR2710 Demo Developers
// SPDX-License-Identifier: MIT
#include "printcommand.h"
#include "progressline.h"

#include "failure/errorbox.h"
#include "job/printjob.h"
#include "ports/jobstop.h"

#include <QCoreApplication>
#include <QTextStream>

#include <unistd.h>

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

    const PrintOptions &options = *parsed.request;
    QString body = ReceiptStream::defaultBody();
    if (!options.bodySource.isEmpty()) {
        const BodyText read = readBody(options.bodySource);
        if (!read.text) {
            err << "vr2710-print: " << read.error << Qt::endl;
            return ExitCode::UsageError;
        }
        body = *read.text;
    }

    // Ctrl+C, kill or a hang-up stop the job at once, and it releases the port and its lock.
    JobStop::handleStopSignals();
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("vr2710-print"));
    PrintRequest request;
    request.portSelection = options.port;
    request.pitch = options.pitch;
    request.body = body;
    request.settings = PrintSettings::load();
    ProgressLine progress(err, ::isatty(STDERR_FILENO) == 1);
    const PrintResult result =
        PrintJob::run(request, [&](const JobStatus &status) { progress.update(status); });
    progress.finish();
    if (result.failed())
        err << errorBoxText(result.lastError).replace(QLatin1Char('\r'), QLatin1Char('\n'))
            << Qt::endl;
    if (const int signal = JobStop::signalReceived())
        return 128 + signal;
    return result.failed() ? ExitCode::JobFailed : ExitCode::Printed;
}
