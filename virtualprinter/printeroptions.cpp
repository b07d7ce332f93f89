// SPDX-FileCopyrightText: 2026 The VR2710 Demo Developers
// SPDX-License-Identifier: MIT
#include "printeroptions.h"

#include "protocol/linerate.h"
#include "settings/portnames.h"

#include <QCommandLineParser>

#include <limits>

namespace {

constexpr qint32 MinBaud = 50;
constexpr qint32 MaxBaud = 4000000;
constexpr qint64 MaxTcpIdleSeconds = 86400;

// The printer's own defaults, as the help states them.
const VirtualPrinterOptions defaults;
const QString defaultPorts = defaults.ports.join(QLatin1Char(','));
const QString defaultPaperWidth = QString::number(defaults.paper.rollWidthMm);

struct Options
{
    const QCommandLineOption ports{
        QStringLiteral("ports"),
        QStringLiteral("Ports to offer, comma-separated (default %1).").arg(defaultPorts),
        QStringLiteral("list"), defaultPorts};
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
                       "1 to %1 (default %2).")
            .arg(MaxTcpIdleSeconds)
            .arg(defaults.tcpIdleSeconds),
        QStringLiteral("seconds"), QString::number(defaults.tcpIdleSeconds)};
    const QCommandLineOption output{
        QStringLiteral("output"),
        QStringLiteral("Folder for the receipt images (default %1).").arg(defaults.outputFolder),
        QStringLiteral("folder"), defaults.outputFolder};
    const QCommandLineOption paper{
        QStringLiteral("paper-width"),
        QStringLiteral("Width of the paper roll in mm, %1 to %2 (default %3).")
            .arg(PaperSpec::MinRollWidthMm)
            .arg(PaperSpec::MaxRollWidthMm)
            .arg(defaultPaperWidth),
        QStringLiteral("mm"), defaultPaperWidth};
    const QCommandLineOption baud{
        QStringLiteral("baud"),
        QStringLiteral("Line rate to read at, %1 bits a byte, %2 to %3 (default %4).")
            .arg(LineRate::BitsPerByte)
            .arg(MinBaud)
            .arg(MaxBaud)
            .arg(defaults.baud),
        QStringLiteral("rate"), QString::number(defaults.baud)};
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

// Reads the parsed command line; the first thing wrong with it ends the reading.
class Reader
{
public:
    Reader(const QCommandLineParser &parser, const Options &given)
        : m_parser(parser)
        , m_given(given)
    {
    }

    PrinterOptions::Outcome read()
    {
        PrinterProgramOptions options;
        if (readInto(&options))
            return {options, {}};
        return {std::nullopt, m_error};
    }

private:
    bool readInto(PrinterProgramOptions *program)
    {
        if (!m_parser.positionalArguments().isEmpty())
            return fail(
                QStringLiteral("unexpected argument \"%1\": it takes only options (see --help)")
                    .arg(m_parser.positionalArguments().constFirst()));
        VirtualPrinterOptions &options = program->printer;
        program->window = m_parser.isSet(m_given.window);
        program->quiet = m_parser.isSet(m_given.quiet);
        program->wired = m_parser.isSet(m_given.wired);
        if (m_parser.isSet(m_given.envFile))
            program->envFile = m_parser.value(m_given.envFile);
        options.printerOffline = m_parser.isSet(m_given.offline);
        options.outputFolder = m_parser.value(m_given.output);
        options.keepRawBytes = m_parser.isSet(m_given.raw);

        bool ok = false;
        const double width = m_parser.value(m_given.paper).toDouble(&ok);
        if (!ok || !(width >= PaperSpec::MinRollWidthMm && width <= PaperSpec::MaxRollWidthMm))
            return fail(
                QStringLiteral("--paper-width needs a width in mm from %1 to %2, not \"%3\"")
                    .arg(PaperSpec::MinRollWidthMm)
                    .arg(PaperSpec::MaxRollWidthMm)
                    .arg(m_parser.value(m_given.paper)));
        options.paper.rollWidthMm = width;

        options.baud = 0;
        if (!m_parser.isSet(m_given.noPacing)) {
            const auto baud = count(m_given.baud, MinBaud, MaxBaud,
                                    QStringLiteral("a rate from %1 to %2 (or use --no-pacing)")
                                        .arg(MinBaud)
                                        .arg(MaxBaud));
            if (!baud)
                return false;
            options.baud = qint32(*baud);
        }
        constexpr qint64 anyCount = std::numeric_limits<qint64>::max() / 2;
        for (const auto &[option, target] :
             {std::pair{&m_given.stall, &options.faults.stallAfter},
              std::pair{&m_given.hangup, &options.faults.hangupAfter}}) {
            if (!m_parser.isSet(*option))
                continue;
            const auto value =
                count(*option, 0, anyCount, QStringLiteral("a byte count of 0 or more"));
            if (!value)
                return false;
            *target = *value;
        }
        const auto idle =
            count(m_given.tcpIdle, 1, MaxTcpIdleSeconds,
                  QStringLiteral("a number of seconds from 1 to %1").arg(MaxTcpIdleSeconds));
        if (!idle)
            return false;
        options.tcpIdleSeconds = int(*idle);
        if (m_parser.isSet(m_given.tcp)) {
            options.tcp = ListenAddress::parse(m_parser.value(m_given.tcp), &m_error);
            if (!options.tcp)
                return false;
            if (options.printerOffline)
                return fail(QStringLiteral("--printer-offline is for the LPT FIFO; a network "
                                           "printer that is off is one that is not running"));
        }
        options.ports =
            m_parser.value(m_given.ports).toUpper().split(QLatin1Char(','), Qt::SkipEmptyParts);
        return checkPorts(options.ports);
    }

    // A whole number option within [min, max]; nullopt (after saying why) otherwise. `wanted`
    // says what it needs: "a rate from 50 to 4000000".
    std::optional<qint64> count(const QCommandLineOption &option, qint64 min, qint64 max,
                                const QString &wanted)
    {
        bool ok = false;
        const qint64 value = m_parser.value(option).toLongLong(&ok);
        if (ok && value >= min && value <= max)
            return value;
        fail(QStringLiteral("--%1 needs %2, not \"%3\"")
                 .arg(option.names().constFirst(), wanted, m_parser.value(option)));
        return std::nullopt;
    }

    bool checkPorts(const QStringList &ports)
    {
        if (ports.isEmpty())
            return fail(QStringLiteral("--ports names no port: use COM1, COM2 or LPT1"));
        QStringList seen;
        for (const QString &port : ports) {
            if (!PortNames::all().contains(port))
                return fail(QStringLiteral("unknown port \"%1\" in --ports: use COM1, COM2 or LPT1")
                                .arg(port));
            if (seen.contains(port))
                return fail(QStringLiteral("the port %1 is named twice in --ports").arg(port));
            seen << port;
        }
        return true;
    }

    bool fail(const QString &error)
    {
        m_error = error;
        return false;
    }

    const QCommandLineParser &m_parser;
    const Options &m_given;
    QString m_error;
};

} // namespace

PrinterOptions::Outcome PrinterOptions::read(const QStringList &arguments)
{
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
    // Not process() at once: it exits with 1 on a wrong option, and every start-up failure is
    // StartFailure here.
    if (!parser.parse(arguments))
        return {std::nullopt, parser.errorText() + QStringLiteral(" See --help for the options.")};
    if (parser.isSet(QStringLiteral("help")) || parser.isSet(QStringLiteral("help-all")))
        parser.process(arguments); // shows the help and exits with 0
    return Reader(parser, given).read();
}
