// SPDX-FileCopyrightText: 2026 The VR2710 Demo Developers
// SPDX-License-Identifier: MIT
#pragma once

#include "virtualprinter.h"

#include <QString>
#include <QStringList>

#include <optional>

// What vr2710-virtual-printer's command line asks for: the printer itself, and how the program
// shows what it does.
struct PrinterProgramOptions
{
    VirtualPrinterOptions printer;
    bool window = false; // show the latest receipt live in a window
    bool quiet = false;  // no receipts in the terminal
    bool wired = false;  // the sender already has its variables: say where each port leads
    std::optional<QString> envFile; // once ready, write the assignments here
};

// The virtual printer's command line, read and checked. Each option is checked here and only
// here: the printer starts with options it can use, and whoever reads them later need not ask.
class PrinterOptions
{
public:
    // Every start-up failure ends the program with this status, a wrong option included.
    static constexpr int StartFailure = 2;

    struct Outcome
    {
        std::optional<PrinterProgramOptions> options;
        QString error; // without options: what was wrong, for standard error
    };

    // Reads the arguments, the program's name first (QCoreApplication::arguments()). --help and
    // --help-all show the help on standard output and end the program with 0.
    static Outcome read(const QStringList &arguments);
};
