// SPDX-FileCopyrightText: 2026 The VR2710 Demo Developers
// SPDX-License-Identifier: MIT
#include "printcommand.h"

#include "failure/displaypath.h"

#include <QStringDecoder>

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
    PrintOptions request;
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QByteArray &argument = arguments[i];
        if (argument == "-h" || argument == "--help") {
            ParsedCommandLine parsed;
            parsed.output = usageText();
            return parsed;
        }
        if (argument == "--version") {
            ParsedCommandLine parsed;
            parsed.output = QStringLiteral("vr2710-print %1\n").arg(QLatin1String(VR2710_VERSION));
            return parsed;
        }

        QByteArray option = argument;
        std::optional<QByteArray> value;
        if (const qsizetype equals = argument.indexOf('=');
            argument.startsWith("--") && equals > 0) {
            option = argument.left(equals);
            value = argument.mid(equals + 1);
        }
        if (option != "--port" && option != "--pitch" && option != "--body")
            return usageError(
                argument.startsWith('-')
                    ? QStringLiteral("unknown option \"%1\".").arg(displayPath(argument))
                    : QStringLiteral("unexpected argument \"%1\".").arg(displayPath(argument)));
        if (!value) {
            if (i + 1 >= arguments.size())
                return usageError(
                    QStringLiteral("%1 needs a value.").arg(QString::fromLatin1(option)));
            value = arguments[++i];
        }

        if (option == "--port") {
            const QString port = QString::fromUtf8(*value);
            if (!PortNames::all().contains(port))
                return usageError(QStringLiteral("there is no port \"%1\"; use %2 (exactly so).")
                                      .arg(displayPath(*value), PortNames::all().join(u", ")));
            request.port = port;
        } else if (option == "--pitch") {
            const auto pitch = pitchFor(*value);
            if (!pitch)
                return usageError(QStringLiteral("the pitch \"%1\" is not 15, 12 or 8.")
                                      .arg(displayPath(*value)));
            request.pitch = *pitch;
        } else {
            if (value->isEmpty())
                return usageError(QStringLiteral("--body needs a file name, or \"-\"."));
            request.bodySource = *value;
        }
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

BodyText readBody(const QByteArray &source)
{
    const bool standardInput = source == "-";
    const QString name = standardInput ? QStringLiteral("standard input") : displayPath(source);
    const auto failure = [&](int errnum) {
        return BodyText{std::nullopt,
                        QStringLiteral("cannot read the body from %1: %2.")
                            .arg(name, QString::fromLocal8Bit(std::strerror(errnum)))};
    };

    // The name goes to the system byte for byte: a QString would change bytes that are not UTF-8.
    const int fd = standardInput ? STDIN_FILENO : ::open(source.constData(), O_RDONLY | O_CLOEXEC);
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
    if (!standardInput)
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
