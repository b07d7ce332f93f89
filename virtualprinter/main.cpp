// SPDX-FileCopyrightText: 2026 The VR2710 Demo Developers
// SPDX-License-Identifier: MIT
// vr2710-virtual-printer: stands in for a VR2710 receipt printer on this machine.
#include "liveview.h"
#include "renderer/filesupport.h"
#include "renderer/terminalview.h"
#include "settings/printsettings.h"
#include "stopsignals/stopsignals.h"
#include "terminaloutput.h"
#include "virtualprinter.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QDir>
#include <QFile>
#include <QSocketNotifier>

#include <csignal>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <langinfo.h>
#include <limits>
#include <unistd.h>

namespace {

constexpr int UsageOrStartFailure = 2;
constexpr qint32 MinBaud = 50;
constexpr qint32 MaxBaud = 4000000;
constexpr qint64 MaxTcpIdleSeconds = 86400;
// Once the printer has read what was sent to it before Ctrl+C or kill (see
// VirtualPrinter::stop()), a receipt image still being drawn is given up after this long, so
// that the program then ends within a second whatever it was doing.
constexpr qint64 StopBudgetNs = 500'000'000;

qint64 stoppedReadingAt = 0; // CLOCK_MONOTONIC nanoseconds, 0: still reading

qint64 monotonicNs()
{
    timespec now{};
    ::clock_gettime(CLOCK_MONOTONIC, &now);
    return qint64(now.tv_sec) * 1'000'000'000 + now.tv_nsec;
}

bool outOfTimeAfterStop()
{
    return stoppedReadingAt != 0 && monotonicNs() - stoppedReadingAt > StopBudgetNs;
}

void complain(const QString &text)
{
    std::fputs(qPrintable(QStringLiteral("vr2710-virtual-printer: ") + text + QLatin1Char('\n')),
               stderr);
}

// A whole number option within [min, max]; nullopt (after saying why) otherwise. `wanted`
// says what it needs: "a rate from 50 to 4000000".
std::optional<qint64> count(const QCommandLineParser &parser, const QCommandLineOption &option,
                            qint64 min, qint64 max, const QString &wanted)
{
    bool ok = false;
    const qint64 value = parser.value(option).toLongLong(&ok);
    if (ok && value >= min && value <= max)
        return value;
    complain(QStringLiteral("--%1 needs %2, not \"%3\"")
                 .arg(option.names().constFirst(), wanted, parser.value(option)));
    return std::nullopt;
}

struct Options
{
    const QCommandLineOption ports{
        QStringLiteral("ports"),
        QStringLiteral("Ports to offer, comma-separated (default COM1,LPT1)."),
        QStringLiteral("list"), QStringLiteral("COM1,LPT1")};
    const QCommandLineOption offline{
        QStringLiteral("printer-offline"),
        QStringLiteral("Offer the LPT FIFO with no reader, like a printer that is off.")};
    const QCommandLineOption tcp{
        QStringLiteral("tcp"),
        QStringLiteral("Offer LPT1 as a network printer on [HOST:]PORT instead of a FIFO: each "
                       "connection is a print job (HOST 127.0.0.1 unless given; PORT 0: any "
                       "free port)."),
        QStringLiteral("address")};
    const QCommandLineOption tcpIdle{
        QStringLiteral("tcp-idle"),
        QStringLiteral("With --tcp, a connection that sends nothing for this long ends its job, "
                       "which is printed as if it had closed; the next connection is served. "
                       "1 to 86400 (default 60)."),
        QStringLiteral("seconds"), QStringLiteral("60")};
    const QCommandLineOption output{
        QStringLiteral("output"),
        QStringLiteral("Folder for the receipt images (default receipts)."),
        QStringLiteral("folder"), QStringLiteral("receipts")};
    const QCommandLineOption paper{
        QStringLiteral("paper-width"),
        QStringLiteral("Width of the paper roll in mm, 20 to 300 (default 76)."),
        QStringLiteral("mm"), QStringLiteral("76")};
    const QCommandLineOption baud{
        QStringLiteral("baud"),
        QStringLiteral("Line rate to read at, 10 bits a byte, 50 to 4000000 (default 9600)."),
        QStringLiteral("rate"), QStringLiteral("9600")};
    const QCommandLineOption noPacing{QStringLiteral("no-pacing"),
                                      QStringLiteral("Read as fast as data comes.")};
    const QCommandLineOption stall{QStringLiteral("stall"),
                                   QStringLiteral("Stop reading after N bytes."),
                                   QStringLiteral("N")};
    const QCommandLineOption hangup{QStringLiteral("hangup-after"),
                                    QStringLiteral("Close the line after N bytes."),
                                    QStringLiteral("N")};
    const QCommandLineOption window{QStringLiteral("window"),
                                    QStringLiteral("Show the latest receipt live in a window.")};
    const QCommandLineOption raw{
        QStringLiteral("raw"),
        QStringLiteral("Also keep the bytes of each receipt (.bin beside the image).")};
    const QCommandLineOption quiet{QStringLiteral("quiet"),
                                   QStringLiteral("Do not show receipts in the terminal.")};
    const QCommandLineOption envFile{
        QStringLiteral("env-file"),
        QStringLiteral("Once ready, write the VR2710_* assignments to this file, quoted for a "
                       "shell."),
        QStringLiteral("file")};
    const QCommandLineOption wired{
        QStringLiteral("wired"),
        QStringLiteral("The program that prints here already has its VR2710_* variables (as "
                       "./run.sh does): once ready, say where each port leads and where "
                       "receipts are saved, with no export line to paste.")};
};

// Reads the command line into `options`; false (after saying why) on a bad value.
bool readOptions(const QCommandLineParser &parser, const Options &given,
                 VirtualPrinterOptions *options)
{
    if (!parser.positionalArguments().isEmpty()) {
        complain(QStringLiteral("unexpected argument \"%1\": it takes only options (see --help)")
                     .arg(parser.positionalArguments().constFirst()));
        return false;
    }
    options->ports =
        parser.value(given.ports).toUpper().split(QLatin1Char(','), Qt::SkipEmptyParts);
    options->printerOffline = parser.isSet(given.offline);
    options->outputFolder = parser.value(given.output);
    options->keepRawBytes = parser.isSet(given.raw);

    bool ok = false;
    const double width = parser.value(given.paper).toDouble(&ok);
    if (!ok || !(width >= PaperSpec::MinRollWidthMm && width <= PaperSpec::MaxRollWidthMm)) {
        complain(QStringLiteral("--paper-width needs a width in mm from 20 to 300, not \"%1\"")
                     .arg(parser.value(given.paper)));
        return false;
    }
    options->paper.rollWidthMm = width;

    options->baud = 0;
    if (!parser.isSet(given.noPacing)) {
        const auto baud = count(
            parser, given.baud, MinBaud, MaxBaud,
            QStringLiteral("a rate from %1 to %2 (or use --no-pacing)").arg(MinBaud).arg(MaxBaud));
        if (!baud)
            return false;
        options->baud = qint32(*baud);
    }
    constexpr qint64 anyCount = std::numeric_limits<qint64>::max() / 2;
    for (const auto &[option, target] : {std::pair{&given.stall, &options->faults.stallAfter},
                                         std::pair{&given.hangup, &options->faults.hangupAfter}}) {
        if (!parser.isSet(*option))
            continue;
        const auto value =
            count(parser, *option, 0, anyCount, QStringLiteral("a byte count of 0 or more"));
        if (!value)
            return false;
        *target = *value;
    }
    const auto idle =
        count(parser, given.tcpIdle, 1, MaxTcpIdleSeconds,
              QStringLiteral("a number of seconds from 1 to %1").arg(MaxTcpIdleSeconds));
    if (!idle)
        return false;
    options->tcpIdleSeconds = int(*idle);
    if (parser.isSet(given.tcp)) {
        QString error;
        options->tcp = ListenAddress::parse(parser.value(given.tcp), &error);
        if (!options->tcp) {
            complain(error);
            return false;
        }
        if (options->printerOffline) {
            complain(QStringLiteral("--printer-offline is for the LPT FIFO; a network printer "
                                    "that is off is one that is not running"));
            return false;
        }
    }
    return true;
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

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Stands in for a KORiVANT VR2710 receipt printer: offers serial ports as "
        "pseudo-terminals, LPT1 as a FIFO or a network printer, and shows each receipt it "
        "receives as an image, in the terminal and, with --window, live in a window. Runs "
        "until interrupted."));
    parser.addHelpOption();
    const Options given;
    parser.addOptions({given.ports, given.offline, given.tcp, given.tcpIdle, given.output,
                       given.paper, given.baud, given.noPacing, given.stall, given.hangup,
                       given.window, given.raw, given.quiet, given.envFile, given.wired});
    // Not process(): it exits with 1 on a wrong option, and every start-up failure is 2 here.
    if (!parser.parse(QCoreApplication::arguments())) {
        complain(parser.errorText() + QStringLiteral(" See --help for the options."));
        return UsageOrStartFailure;
    }
    if (parser.isSet(QStringLiteral("help")) || parser.isSet(QStringLiteral("help-all")))
        parser.process(app); // shows the help and exits with 0

    VirtualPrinterOptions options;
    if (!readOptions(parser, given, &options))
        return UsageOrStartFailure;
    // The same code page as the demo: VR2710_CODEPAGE, else the settings file's.
    const PrintSettings settings = PrintSettings::load();
    if (!settings.codePage()) {
        complain(settings.failure().description);
        return UsageOrStartFailure;
    }

    // The demo's stop signals (Ctrl+C, Ctrl+\, kill) end the run cleanly: what was already sent
    // is read and saved, what was made removed. A reader of standard output that goes away must
    // not end the printer.
    const int stopSignals = StopSignals::handle();
    if (stopSignals < 0) {
        complain(QStringLiteral("cannot create a pipe: ") + systemErrorText(errno));
        return UsageOrStartFailure;
    }
    std::signal(SIGPIPE, SIG_IGN);

    // From here on every way out returns from main, so that what was made is removed.
    VirtualPrinter printer(options, *settings.codePage());
    printer.archive().setGiveUp(outOfTimeAfterStop);
    QString error;
    if (!printer.start(&error)) {
        complain(error);
        return UsageOrStartFailure;
    }
    if (parser.isSet(given.envFile)) {
        const QString path = parser.value(given.envFile);
        const int failure =
            replaceFile(QFile::encodeName(path), printer.assignments().join('\n') + '\n');
        if (failure) {
            complain(QStringLiteral("cannot write %1: %2").arg(path, systemErrorText(failure)));
            return UsageOrStartFailure;
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
    QObject::connect(&printer, &VirtualPrinter::stopped, &app, [] {
        stoppedReadingAt = monotonicNs();
        QCoreApplication::quit();
    });
    QApplication::setQuitOnLastWindowClosed(false);
    QObject::connect(&app, &QGuiApplication::lastWindowClosed, &printer, &VirtualPrinter::stop);

    TerminalOutput out(STDOUT_FILENO);
    const auto say = [&out](const QString &text) { out.write(text.toLocal8Bit() + '\n'); };
    const bool showInTerminal = !parser.isSet(given.quiet);
    const bool ansi =
        ::isatty(STDOUT_FILENO) && qEnvironmentVariable("TERM") != QLatin1String("dumb");
    std::unique_ptr<LiveView> view;
    if (parser.isSet(given.window)) {
        view = std::make_unique<LiveView>(options.paper);
        view->QWidget::show();
        QObject::connect(&printer, &VirtualPrinter::paperFed, view.get(), &LiveView::follow);
    }
    QObject::connect(&printer, &VirtualPrinter::notice, &app, say);
    QObject::connect(&printer, &VirtualPrinter::printed, &app,
                     [&](const QString &port, const PrintedReceipt &receipt, const QString &path) {
                         if (showInTerminal)
                             say(terminalView(receipt, options.paper, ansi));
                         if (!path.isEmpty())
                             say(QStringLiteral("%1: receipt of %2 bytes saved as %3")
                                     .arg(port)
                                     .arg(receipt.byteCount)
                                     .arg(path));
                     });

    say(QStringLiteral("VR2710 virtual printer ready (%1).")
            .arg(options.baud > 0 ? QStringLiteral("reading at %1 baud").arg(options.baud)
                                  : QStringLiteral("unpaced")));
    const auto offline = [](const OfferedInput &input) {
        return input.offline ? QStringLiteral(" (offline: nobody reads)") : QString();
    };
    if (parser.isSet(given.wired)) {
        // Nothing left to do for whoever reads it: where each port leads, where receipts go.
        const bool utf8 = std::strcmp(::nl_langinfo(CODESET), "UTF-8") == 0;
        QStringList ports;
        for (const OfferedInput &input : printer.offered())
            ports << input.portName + (utf8 ? QStringLiteral(" \u2192 ") : QStringLiteral(" -> ")) +
                         QFile::decodeName(input.device) + offline(input);
        say(ports.join(QStringLiteral(", ")) +
            QStringLiteral("; receipts are saved in %1/.")
                .arg(QDir::cleanPath(QDir(options.outputFolder).absolutePath())));
    } else {
        for (const OfferedInput &input : printer.offered())
            say(QStringLiteral("  %1: %2%3")
                    .arg(input.portName, QFile::decodeName(input.device), offline(input)));
        say(QStringLiteral("Use it with:"));
        out.write(printer.exportLine() + '\n');
        say(QStringLiteral("Receipts go to %1/. Press Ctrl+C to stop.").arg(options.outputFolder));
    }

    const int status = app.exec();
    printer.finishPending();
    return status;
}
