#pragma once

#include <QString>

#include <optional>

// A device the virtual printer offers in place of the printer's port.
struct OfferedInput
{
    QString portName; // "COM1", "LPT1"
    QString path;     // what VR2710_<port> is to name
    int readFd = -1;  // what the printer reads (-1: never read, an offline printer)
    int keepOpenFd = -1;
};

// A pseudo-terminal in raw 8-bit mode: the sender opens `path` as its serial line.
std::optional<OfferedInput> offerPseudoTerminal(const QString &portName, QString *error);

// A FIFO at `path` for a sender that writes to a printer device. Offline, it has no reader,
// so a sender's non-blocking open fails the way it does on a printer that is off.
std::optional<OfferedInput> offerPrinterFifo(const QString &portName, const QString &path,
                                             bool offline, QString *error);
