// SPDX-FileCopyrightText: 2026 The VR2710 Demo Developers
// SPDX-License-Identifier: MIT
#pragma once

#include "protocol/receiptstream.h"
#include "settings/portnames.h"
#include "settings/printsettings.h"

#include <QByteArray>
#include <QByteArrayList>
#include <QString>
#include <QTextStream>

#include <functional>
#include <optional>

// How vr2710-print ends.
namespace ExitCode {
inline constexpr int Printed = 0;
inline constexpr int JobFailed = 1;
inline constexpr int UsageError = 2;
} // namespace ExitCode

// What vr2710-print was asked to print.
struct PrintOptions
{
    QString port = PortNames::Lpt1;
    PitchCode pitch = Pitch::Cpi15;
    // Empty for the default body, "-" for standard input, otherwise a file name, byte for byte
    // as the command line gave it.
    QByteArray bodySource;
};

// The command line read: either a request to print, or a text to show and an exit code.
struct ParsedCommandLine
{
    std::optional<PrintOptions> request;
    int exitCode = ExitCode::Printed;
    QString output; // for standard output (--help, --version)
    QString error;  // for standard error (usage errors)
};

// Reads the arguments after the program name, bytes as the system gave them, with
// QCommandLineParser's conventions: "--port NAME" or "--port=NAME", "--" ends the options.
ParsedCommandLine parseCommandLine(const QByteArrayList &arguments);

QString usageText();

// A body read from a file or standard input, or why it could not be used.
struct BodyText
{
    std::optional<QString> text;
    QString error;
};

// The body from the bytes of a text file: UTF-8 (a leading byte order mark is dropped), lines
// ending in LF or CR LF, each sent with CR LF as the window does. Bytes that are not UTF-8 are
// refused rather than guessed at, since guessing would print other characters than were meant.
BodyText bodyFromBytes(const QByteArray &bytes);

// The longest body read, so that "--body /dev/zero" ends instead of filling memory.
inline constexpr qint64 MaximumBodyBytes = 1 << 20;

// Reads the body named by source ("-" for the descriptor standardInput).
BodyText readBody(const QByteArray &source, int standardInput);

// vr2710-print itself: the arguments (after the program's name) and its surroundings in, the
// exit status out. It reads the command line and the body, prints one receipt and reports on
// standard error, as ExitCode and the usage text describe.
class PrintCommand
{
public:
    struct Surroundings
    {
        QTextStream &out;
        QTextStream &err;
        int standardInput = 0;        // the descriptor "--body -" reads
        bool errorIsTerminal = false; // where the progress line may show
        // The settings the job runs with, read once the command line and the body are accepted.
        std::function<PrintSettings()> loadSettings = [] { return PrintSettings::load(); };
        // Called then, right before the job: the program makes stop signals stop the job.
        std::function<void()> beforeJob = [] {};
    };

    explicit PrintCommand(Surroundings surroundings)
        : m_surroundings(std::move(surroundings))
    {
    }

    int run(const QByteArrayList &arguments) const;

private:
    Surroundings m_surroundings;
};
