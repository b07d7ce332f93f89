// vr2710-virtual-printer: stands in for a VR2710 receipt printer on this machine.
#include "liveview.h"
#include "terminalview.h"
#include "virtualprinter.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QSaveFile>
#include <QSocketNotifier>

#include <csignal>
#include <cstdio>
#include <unistd.h>

namespace {

int signalPipe[2] = {-1, -1};

void onSignal(int)
{
    const char byte = 1;
    [[maybe_unused]] const ssize_t ignored = ::write(signalPipe[1], &byte, 1);
}

void say(const QString &text)
{
    std::fputs(qPrintable(text + QLatin1Char('\n')), stdout);
    std::fflush(stdout);
}

[[noreturn]] void fail(const QString &text)
{
    std::fputs(qPrintable(QStringLiteral("vr2710-virtual-printer: ") + text + QLatin1Char('\n')),
               stderr);
    std::exit(2);
}

qint64 count(const QCommandLineParser &parser, const QCommandLineOption &option, qint64 none)
{
    if (!parser.isSet(option))
        return none;
    bool ok = false;
    const qint64 value = parser.value(option).toLongLong(&ok);
    if (!ok || value < 0)
        fail(QStringLiteral("--%1 needs a whole number of 0 or more").arg(option.names().first()));
    return value;
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
        "pseudo-terminals and LPT1 as a FIFO, and shows each receipt it receives as an image, "
        "in the terminal and, with --window, live in a window. Runs until interrupted."));
    parser.addHelpOption();
    const QCommandLineOption portsOption(
        QStringLiteral("ports"),
        QStringLiteral("Ports to offer, comma-separated (default COM1,LPT1)."),
        QStringLiteral("list"), QStringLiteral("COM1,LPT1"));
    const QCommandLineOption offlineOption(
        QStringLiteral("printer-offline"),
        QStringLiteral("Offer the LPT FIFO with no reader, like a printer that is off."));
    const QCommandLineOption outputOption(
        QStringLiteral("output"),
        QStringLiteral("Folder for the receipt images (default receipts)."),
        QStringLiteral("folder"), QStringLiteral("receipts"));
    const QCommandLineOption paperOption(
        QStringLiteral("paper-width"),
        QStringLiteral("Width of the paper roll in mm (default 76)."), QStringLiteral("mm"),
        QStringLiteral("76"));
    const QCommandLineOption baudOption(
        QStringLiteral("baud"),
        QStringLiteral("Line rate to read at, 10 bits a byte (default 9600)."),
        QStringLiteral("rate"), QStringLiteral("9600"));
    const QCommandLineOption noPacingOption(QStringLiteral("no-pacing"),
                                            QStringLiteral("Read as fast as data comes."));
    const QCommandLineOption stallOption(QStringLiteral("stall"),
                                         QStringLiteral("Stop reading after N bytes."),
                                         QStringLiteral("N"));
    const QCommandLineOption hangupOption(QStringLiteral("hangup-after"),
                                          QStringLiteral("Close the line after N bytes."),
                                          QStringLiteral("N"));
    const QCommandLineOption windowOption(
        QStringLiteral("window"), QStringLiteral("Show the latest receipt live in a window."));
    const QCommandLineOption rawOption(
        QStringLiteral("raw"),
        QStringLiteral("Also keep the bytes of each receipt (.bin beside the image)."));
    const QCommandLineOption quietOption(QStringLiteral("quiet"),
                                         QStringLiteral("Do not show receipts in the terminal."));
    const QCommandLineOption envFileOption(
        QStringLiteral("env-file"),
        QStringLiteral("Once ready, write the VR2710_* assignments to this file."),
        QStringLiteral("file"));
    parser.addOptions({portsOption, offlineOption, outputOption, paperOption, baudOption,
                       noPacingOption, stallOption, hangupOption, windowOption, rawOption,
                       quietOption, envFileOption});
    parser.process(app);

    VirtualPrinterOptions options;
    options.ports = parser.value(portsOption).toUpper().split(QLatin1Char(','), Qt::SkipEmptyParts);
    options.printerOffline = parser.isSet(offlineOption);
    options.outputFolder = parser.value(outputOption);
    options.keepRawBytes = parser.isSet(rawOption);
    bool ok = false;
    options.paper.rollWidthMm = parser.value(paperOption).toDouble(&ok);
    if (!ok || options.paper.rollWidthMm < 20 || options.paper.rollWidthMm > 300)
        fail(QStringLiteral("--paper-width needs a width in mm from 20 to 300"));
    options.baud = parser.isSet(noPacingOption) ? 0 : qint32(count(parser, baudOption, 9600));
    if (!parser.isSet(noPacingOption) && options.baud == 0)
        fail(QStringLiteral("--baud needs a rate above 0 (or use --no-pacing)"));
    options.faults.stallAfter = count(parser, stallOption, -1);
    options.faults.hangupAfter = count(parser, hangupOption, -1);

    const CodePageChoice codePage = CodePage::fromEnvironment();
    if (!codePage.page)
        fail(codePage.error);

    VirtualPrinter printer(options, *codePage.page);
    QString error;
    if (!printer.start(&error))
        fail(error);

    const bool showInTerminal = !parser.isSet(quietOption);
    const bool ansi =
        ::isatty(STDOUT_FILENO) && qEnvironmentVariable("TERM") != QLatin1String("dumb");
    std::unique_ptr<LiveView> view;
    if (parser.isSet(windowOption)) {
        view = std::make_unique<LiveView>(options.paper);
        view->QWidget::show();
        QObject::connect(&printer, &VirtualPrinter::progress, view.get(), &LiveView::show);
    }
    QObject::connect(&printer, &VirtualPrinter::notice, &app,
                     [](const QString &text) { say(text); });
    QObject::connect(&printer, &VirtualPrinter::printed, &app,
                     [&](const QString &port, const PrintedReceipt &receipt, const QString &path) {
                         if (view)
                             view->show(port, receipt);
                         if (showInTerminal)
                             say(terminalView(receipt, options.paper, ansi));
                         if (!path.isEmpty())
                             say(QStringLiteral("%1: receipt of %2 bytes saved as %3")
                                     .arg(port)
                                     .arg(receipt.bytes.size())
                                     .arg(path));
                     });

    // Ctrl+C and kill end the run cleanly: pending output is printed, the FIFO removed.
    if (::pipe(signalPipe) != 0)
        fail(QStringLiteral("cannot create a pipe"));
    QSocketNotifier onStop(signalPipe[0], QSocketNotifier::Read);
    QObject::connect(&onStop, &QSocketNotifier::activated, &app, &QCoreApplication::quit);
    struct sigaction action
    {
    };
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    for (const int signal : {SIGINT, SIGTERM, SIGHUP})
        ::sigaction(signal, &action, nullptr);

    say(QStringLiteral("VR2710 virtual printer ready (%1).")
            .arg(options.baud > 0 ? QStringLiteral("reading at %1 baud").arg(options.baud)
                                  : QStringLiteral("unpaced")));
    for (const OfferedInput &input : printer.offered())
        say(QStringLiteral("  %1: %2%3")
                .arg(input.portName, input.path,
                     input.readFd < 0 ? QStringLiteral(" (offline: nobody reads)") : QString()));
    say(QStringLiteral("Use it with:"));
    say(printer.exportLine());
    say(QStringLiteral("Receipts go to %1/. Press Ctrl+C to stop.").arg(options.outputFolder));
    if (parser.isSet(envFileOption)) {
        QSaveFile envFile(parser.value(envFileOption));
        const QByteArray lines =
            (printer.assignments().join(QLatin1Char('\n')) + QLatin1Char('\n')).toLocal8Bit();
        if (!envFile.open(QIODevice::WriteOnly) || envFile.write(lines) != lines.size() ||
            !envFile.commit())
            fail(QStringLiteral("cannot write %1").arg(envFile.fileName()));
    }

    const int status = app.exec();
    printer.finishPending();
    return status;
}
