// SPDX-FileCopyrightText: 2026 The VR2710 Demo Developers
// SPDX-License-Identifier: MIT
// vr2710-virtual-printer: stands in for a VR2710 receipt printer on this machine.
#include "liveview.h"
#include "printeroptions.h"
#include "readymessage.h"
#include "renderer/filesupport.h"
#include "renderer/terminalview.h"
#include "settings/printsettings.h"
#include "stopsignals/stopsignals.h"
#include "terminaloutput.h"
#include "virtualprinter.h"

#include <QApplication>
#include <QFile>
#include <QSocketNotifier>

#include <csignal>
#include <cstdio>
#include <unistd.h>

namespace {

void complain(const QString &text)
{
    std::fputs(qPrintable(QStringLiteral("vr2710-virtual-printer: ") + text + QLatin1Char('\n')),
               stderr);
}

} // namespace

int main(int argc, char *argv[])
{
    // Without --window nothing is shown: render off screen, no display needed.
    bool wantsWindow = false;
    for (int i = 1; i < argc; ++i)
        wantsWindow |= qstrcmp(argv[i], "--window") == 0;
    if (!wantsWindow && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");

    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("vr2710-virtual-printer"));

    const PrinterOptions::Outcome read = PrinterOptions::read(QCoreApplication::arguments());
    if (!read.options) {
        complain(read.error);
        return PrinterOptions::StartFailure;
    }
    const PrinterProgramOptions &given = *read.options;
    const VirtualPrinterOptions &options = given.printer;
    // The same code page as the demo: VR2710_CODEPAGE, else the settings file's.
    const PrintSettings settings = PrintSettings::load();
    if (!settings.codePage()) {
        complain(settings.failure().description);
        return PrinterOptions::StartFailure;
    }

    // The demo's stop signals (Ctrl+C, Ctrl+\, kill) end the run cleanly: what was already sent
    // is read and saved, what was made removed. A reader of standard output that goes away must
    // not end the printer.
    const int stopSignals = StopSignals::handle();
    if (stopSignals < 0) {
        complain(QStringLiteral("cannot create a pipe: ") + systemErrorText(errno));
        return PrinterOptions::StartFailure;
    }
    std::signal(SIGPIPE, SIG_IGN);

    // From here on every way out returns from main, so that what was made is removed.
    VirtualPrinter printer(options, *settings.codePage());
    QString error;
    if (!printer.start(&error)) {
        complain(error);
        return PrinterOptions::StartFailure;
    }
    if (given.envFile) {
        const QString &path = *given.envFile;
        const int failure =
            replaceFile(QFile::encodeName(path), printer.assignments().join('\n') + '\n');
        if (failure) {
            complain(QStringLiteral("cannot write %1: %2").arg(path, systemErrorText(failure)));
            return PrinterOptions::StartFailure;
        }
    }
    printer.setReady();

    // A signal, or closing the window, stops the printer once it has read what was sent.
    QSocketNotifier signalled(stopSignals, QSocketNotifier::Read);
    QObject::connect(&signalled, &QSocketNotifier::activated, &printer, [&printer, stopSignals] {
        char bytes[64];
        while (::read(stopSignals, bytes, sizeof bytes) > 0) {
        }
        printer.stop();
    });
    QObject::connect(&printer, &VirtualPrinter::stopped, &app, &QCoreApplication::quit);
    QApplication::setQuitOnLastWindowClosed(false);
    QObject::connect(&app, &QGuiApplication::lastWindowClosed, &printer, &VirtualPrinter::stop);

    TerminalOutput out(STDOUT_FILENO);
    const auto say = [&out](const QString &text) { out.write(text.toLocal8Bit() + '\n'); };
    const bool ansi =
        ::isatty(STDOUT_FILENO) && qEnvironmentVariable("TERM") != QLatin1String("dumb");
    std::unique_ptr<LiveView> view;
    if (given.window) {
        view = std::make_unique<LiveView>(options.paper);
        view->QWidget::show();
        QObject::connect(&printer, &VirtualPrinter::paperFed, view.get(), &LiveView::follow);
    }
    QObject::connect(&printer, &VirtualPrinter::notice, &app, say);
    QObject::connect(&printer, &VirtualPrinter::printed, &app,
                     [&](const QString &port, const PrintedReceipt &receipt, const QString &path) {
                         if (!given.quiet)
                             say(terminalView(receipt, options.paper, ansi));
                         if (!path.isEmpty())
                             say(QStringLiteral("%1: receipt of %2 bytes saved as %3")
                                     .arg(port)
                                     .arg(receipt.byteCount)
                                     .arg(path));
                     });
    out.write(readyMessage(printer, options, given.wired));

    const int status = app.exec();
    printer.finishPending();
    return status;
}
