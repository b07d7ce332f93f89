// SPDX-FileCopyrightText: 2026 The VR2710 Demo Developers
// SPDX-License-Identifier: MIT
#include "readymessage.h"

#include <QDir>
#include <QFile>

#include <cstring>
#include <langinfo.h>

namespace {

QByteArray line(const QString &text)
{
    return text.toLocal8Bit() + '\n';
}

QString offline(const OfferedInput &input)
{
    return input.offline ? QStringLiteral(" (offline: nobody reads)") : QString();
}

} // namespace

QByteArray readyMessage(const VirtualPrinter &printer, const VirtualPrinterOptions &options,
                        bool wired)
{
    QByteArray message =
        line(QStringLiteral("VR2710 virtual printer ready (%1).")
                 .arg(options.baud > 0 ? QStringLiteral("reading at %1 baud").arg(options.baud)
                                       : QStringLiteral("unpaced")));
    if (wired) {
        // Nothing left to do for whoever reads it: where each port leads, where receipts go.
        const bool utf8 = std::strcmp(::nl_langinfo(CODESET), "UTF-8") == 0;
        QStringList ports;
        for (const OfferedInput &input : printer.offered())
            ports << input.portName + (utf8 ? QStringLiteral(" \u2192 ") : QStringLiteral(" -> ")) +
                         QFile::decodeName(input.device) + offline(input);
        return message + line(ports.join(QStringLiteral(", ")) +
                              QStringLiteral("; receipts are saved in %1/.")
                                  .arg(QDir::cleanPath(QDir(options.outputFolder).absolutePath())));
    }
    for (const OfferedInput &input : printer.offered())
        message += line(QStringLiteral("  %1: %2%3")
                            .arg(input.portName, QFile::decodeName(input.device), offline(input)));
    return message + line(QStringLiteral("Use it with:")) + printer.exportLine() + '\n' +
           line(QStringLiteral("Receipts go to %1/. Press Ctrl+C to stop.")
                    .arg(options.outputFolder));
}
