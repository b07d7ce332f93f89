// SPDX-FileCopyrightText: 2026 The VR2710 Demo Developers
// SPDX-License-Identifier: MIT
#include "printcommand.h"

#include "progressline.h"

#include "failure/displaypath.h"
#include "failure/errorbox.h"
#include "job/printjob.h"
#include "stopsignals/stopsignals.h"

#include <QCommandLineParser>
#include <QStringDecoder>

#include <algorithm>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace {

ParsedCommandLine usageError(const QString &problem)
{
    ParsedCommandLine parsed;
    parsed.exitCode = ExitCode::UsageError;
    parsed.error = QStringLiteral("vr2710-print: %1\nTry \"vr2710-print --help\".\n").arg(problem);
    return parsed;
}

std::optional<PitchCode> pitchFor(const QByteArray &value)
{
    if (value == "15")
        return Pitch::Cpi15;
    if (value == "12")
        return Pitch::Cpi12;
    if (value == "8")
        return Pitch::Cpi8;
    return std::nullopt;
}

// The options vr2710-print takes; usageText() describes them.
struct CommandLineOptions
{
    const QCommandLineOption help{{QStringLiteral("h"), QStringLiteral("help")}};
    const QCommandLineOption version{QStringLiteral("version")};
    const QCommandLineOption port{QStringLiteral("port"), {}, QStringLiteral("NAME")};
    const QCommandLineOption pitch{QStringLiteral("pitch"), {}, QStringLiteral("N")};
    const QCommandLineOption body{QStringLiteral("body"), {}, QStringLiteral("FILE")};
};

// What was wrong with a command line the parser refused, naming the argument as it was given.
QString parseFailure(const QCommandLineParser &parser, const QStringList &arguments)
{
    const auto unknownOption = [](const QString &argument) {
        return QStringLiteral("unknown option \"%1\".").arg(displayPath(argument.toLatin1()));
    };
    if (!parser.unknownOptionNames().isEmpty()) {
        // The parser names an option without its dashes, and a letter of "-xyz" alone.
        const QString name = parser.unknownOptionNames().constFirst();
        const auto given = std::find_if(
            arguments.cbegin() + 1, arguments.cend(), [&name](const QString &argument) {
                return argument.startsWith(u"--") ? argument.mid(2).section(u'=', 0, 0) == name
                                                  : argument.startsWith(u'-') && name.size() == 1 &&
                                                        argument.contains(name);
            });
        return unknownOption(given != arguments.cend() ? *given : name);
    }
    if (const QString last = arguments.constLast();
        last == u"--port" || last == u"--pitch" || last == u"--body")
        return QStringLiteral("%1 needs a value.").arg(last);
    // The only refusal left: "--help=x" or "--version=x", a value for an option that takes none.
    const auto given = std::find_if(arguments.cbegin() + 1, arguments.cend(), [](const QString &a) {
        return QStringList{"-h", "--help", "--version"}.contains(a.section(u'=', 0, 0)) &&
               a.contains(u'=');
    });
    return given != arguments.cend() ? unknownOption(*given) : parser.errorText();
}

// The offset of the first byte that is not UTF-8, or -1 where the text is only cut short.
qsizetype firstUtf8Fault(const QByteArray &bytes, const QString &decoded)
{
    const QByteArray replacement = QString(QChar::ReplacementCharacter).toUtf8();
    const qsizetype bom = bytes.startsWith("\xef\xbb\xbf") ? 3 : 0;
    for (qsizetype i = decoded.indexOf(QChar::ReplacementCharacter); i >= 0;
         i = decoded.indexOf(QChar::ReplacementCharacter, i + 1)) {
        // Everything before the first fault decoded exactly, so its length in bytes is known.
        const qsizetype offset = bom + decoded.left(i).toUtf8().size();
        if (bytes.mid(offset, replacement.size()) != replacement)
            return offset < bytes.size() ? offset : -1;
    }
    return -1;
}

} // namespace

QString usageText()
{
    return QStringLiteral(
        "Usage: vr2710-print [--port NAME] [--pitch 15|12|8] [--body FILE]\n"
        "Prints the VR2710 demonstration receipt without a window, through the same print\n"
        "job, ports and settings as vr2710-demo.\n"
        "\n"
        "  --port NAME    LPT1 (the default), COM1 or COM2, written exactly so\n"
        "  --pitch N      15 (the default), 12 or 8 characters per inch\n"
        "  --body FILE    the receipt body from a UTF-8 text file, \"-\" for standard input\n"
        "                 (at most 1 MiB); without it, the demo's sample body\n"
        "  -h, --help     show this help\n"
        "  --version      show the version\n"
        "\n"
        "Ports and their devices: COM1 /dev/ttyS0, COM2 /dev/ttyS1, LPT1 /dev/lp0 (or\n"
        "/dev/usb/lp0 where only that exists). VR2710_COM1, VR2710_COM2 and VR2710_LPT1\n"
        "name another device or file, a network printer (socket://HOST[:PORT], port 9100\n"
        "by default) or a print-server queue (ipp://HOST[:PORT]/printers/QUEUE,\n"
        "ipps://..., cups:QUEUE). VR2710_CODEPAGE chooses the body's code page (437,\n"
        "850, 858 or 1252; 437 by default). Without those variables, the settings file\n"
        "$XDG_CONFIG_HOME/vr2710/ports.conf (~/.config/vr2710/ports.conf) chooses, e.g.:\n"
        "  [ports]\n"
        "  COM1=/dev/ttyUSB0\n"
        "\n"
        "\"Permission denied\" on a serial line means joining the dialout group, on a\n"
        "printer device the lp group: sudo usermod -aG dialout $USER (or lp), then log in\n"
        "again.\n"
        "\n"
        "While printing, the status goes to standard error (on a terminal with the\n"
        "progress of a job that lasts longer than two seconds), and so does the error if\n"
        "the job fails. Ctrl+C stops the job at once and releases the port.\n"
        "\n"
        "Exit status: 0 printed, 1 the job failed, 2 the command line or the body was not\n"
        "usable (nothing was sent), 128 + the signal's number when a signal stopped it.\n");
}

ParsedCommandLine parseCommandLine(const QByteArrayList &arguments)
{
    // Latin-1 maps each byte to one character and back: a file name that is not UTF-8 comes
    // out of the parser as the same bytes.
    QStringList latin1{QStringLiteral("vr2710-print")};
    for (const QByteArray &argument : arguments)
        latin1 << QString::fromLatin1(argument);
    const CommandLineOptions given;
    QCommandLineParser parser;
    parser.addOptions({given.help, given.version, given.port, given.pitch, given.body});
    if (!parser.parse(latin1))
        return usageError(parseFailure(parser, latin1));
    if (parser.isSet(given.help)) {
        ParsedCommandLine parsed;
        parsed.output = usageText();
        return parsed;
    }
    if (parser.isSet(given.version)) {
        ParsedCommandLine parsed;
        parsed.output = QStringLiteral("vr2710-print %1\n").arg(QLatin1String(VR2710_VERSION));
        return parsed;
    }
    if (!parser.positionalArguments().isEmpty())
        return usageError(
            QStringLiteral("unexpected argument \"%1\".")
                .arg(displayPath(parser.positionalArguments().constFirst().toLatin1())));

    // Each value given is checked, the last one counts.
    PrintOptions request;
    for (const QString &value : parser.values(given.port)) {
        const QString port = QString::fromUtf8(value.toLatin1());
        if (!PortNames::all().contains(port))
            return usageError(
                QStringLiteral("there is no port \"%1\"; use %2 (exactly so).")
                    .arg(displayPath(value.toLatin1()), PortNames::all().join(u", ")));
        request.port = port;
    }
    for (const QString &value : parser.values(given.pitch)) {
        const auto pitch = pitchFor(value.toLatin1());
        if (!pitch)
            return usageError(QStringLiteral("the pitch \"%1\" is not 15, 12 or 8.")
                                  .arg(displayPath(value.toLatin1())));
        request.pitch = *pitch;
    }
    for (const QString &value : parser.values(given.body)) {
        if (value.isEmpty())
            return usageError(QStringLiteral("--body needs a file name, or \"-\"."));
        request.bodySource = value.toLatin1();
    }
    ParsedCommandLine parsed;
    parsed.request = request;
    return parsed;
}

BodyText bodyFromBytes(const QByteArray &bytes)
{
    // Stateless: a text cut off inside a character is a fault too. A leading BOM is dropped.
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = decoder.decode(bytes);
    if (decoder.hasError()) {
        const qsizetype fault = firstUtf8Fault(bytes, text);
        return {std::nullopt,
                QStringLiteral("the body is not UTF-8 text (%1). Convert it first, e.g. with "
                               "iconv -f CP437 -t UTF-8.")
                    .arg(fault >= 0 ? QStringLiteral("byte offset %1").arg(fault)
                                    : QStringLiteral("it ends inside a character"))};
    }
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    text.replace(QLatin1Char('\n'), QStringLiteral("\r\n"));
    return {text, {}};
}

BodyText readBody(const QByteArray &source, int standardInput)
{
    const bool fromInput = source == "-";
    const QString name = fromInput ? QStringLiteral("standard input") : displayPath(source);
    const auto failure = [&](int errnum) {
        return BodyText{std::nullopt,
                        QStringLiteral("cannot read the body from %1: %2.")
                            .arg(name, QString::fromLocal8Bit(std::strerror(errnum)))};
    };

    // The name goes to the system byte for byte: a QString would change bytes that are not UTF-8.
    const int fd = fromInput ? standardInput : ::open(source.constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return failure(errno);
    QByteArray bytes;
    char buffer[65536];
    int readError = 0;
    while (bytes.size() <= MaximumBodyBytes) {
        const ssize_t got = ::read(fd, buffer, sizeof buffer);
        if (got > 0)
            bytes.append(buffer, got);
        else if (got == 0)
            break;
        else if (errno != EINTR) {
            readError = errno;
            break;
        }
    }
    if (!fromInput)
        ::close(fd);
    if (readError != 0)
        return failure(readError);
    if (bytes.size() > MaximumBodyBytes)
        return {std::nullopt, QStringLiteral("the body in %1 is longer than 1 MiB.").arg(name)};
    BodyText body = bodyFromBytes(bytes);
    if (!body.text)
        body.error = QStringLiteral("%1: %2").arg(name, body.error);
    return body;
}

int PrintCommand::run(const QByteArrayList &arguments) const
{
    QTextStream &err = m_surroundings.err;
    const ParsedCommandLine parsed = parseCommandLine(arguments);
    m_surroundings.out << parsed.output;
    err << parsed.error;
    if (!parsed.request)
        return parsed.exitCode;

    const PrintOptions &options = *parsed.request;
    QString body = ReceiptStream::defaultBody();
    if (!options.bodySource.isEmpty()) {
        const BodyText read = readBody(options.bodySource, m_surroundings.standardInput);
        if (!read.text) {
            err << "vr2710-print: " << read.error << Qt::endl;
            return ExitCode::UsageError;
        }
        body = *read.text;
    }

    m_surroundings.beforeJob();
    const PrintRequest request{.portSelection = options.port,
                               .pitch = options.pitch,
                               .body = body,
                               .settings = m_surroundings.loadSettings()};
    ProgressLine progress(err, m_surroundings.errorIsTerminal);
    const PrintResult result =
        PrintJob::run(request, [&](const JobStatus &status) { progress.update(status); });
    progress.finish();
    if (result.failed())
        err << errorBoxText(result.lastError).replace(QLatin1Char('\r'), QLatin1Char('\n'))
            << Qt::endl;
    // Ended by a signal: the shell's convention, 128 + the signal's number.
    if (const int signal = StopSignals::received())
        return 128 + signal;
    return result.failed() ? ExitCode::JobFailed : ExitCode::Printed;
}
