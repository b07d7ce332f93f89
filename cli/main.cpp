// SPDX-FileCopyrightText: 2026 The VR2710 Demo Developers
// SPDX-License-Identifier: MIT
#include "printcommand.h"

#include "stopsignals/stopsignals.h"

#include <QCoreApplication>

#include <optional>
#include <unistd.h>

int main(int argc, char *argv[])
{
    // The arguments stay bytes: a body file's name is used exactly as given.
    QByteArrayList arguments;
    for (int i = 1; i < argc; ++i)
        arguments << QByteArray(argv[i]);

    QTextStream out(stdout);
    QTextStream err(stderr);
    std::optional<QCoreApplication> app;
    const PrintCommand command({
        .out = out,
        .err = err,
        .standardInput = STDIN_FILENO,
        .errorIsTerminal = ::isatty(STDERR_FILENO) == 1,
        // Once the body is read (Ctrl+C while it comes from a terminal ends the program as
        // usual), Ctrl+C, kill or a hang-up stop the job at once, and it releases the port and
        // its lock.
        .beforeJob =
            [&] {
                StopSignals::handle();
                app.emplace(argc, argv);
                QCoreApplication::setApplicationName(QStringLiteral("vr2710-print"));
            },
    });
    return command.run(arguments);
}
