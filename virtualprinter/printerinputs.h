// SPDX-FileCopyrightText: 2026 The VR2710 Demo Developers
// SPDX-License-Identifier: MIT
#pragma once

#include <QByteArray>
#include <QByteArrayList>
#include <QString>

#include <optional>

// A device the virtual printer offers in place of the printer's port.
struct OfferedInput
{
    QString portName;  // "COM1", "LPT1"
    QByteArray device; // what VR2710_<port> is to name, byte for byte
    int readFd = -1;   // what the printer reads (-1: nothing, or not yet)
    int keepOpenFd = -1;
    bool offline = false; // nobody reads: a printer that is off
};

// A private folder for the printer's FIFOs in $TMPDIR (or /tmp), made on first use; it goes,
// with everything made in it, when this object does.
class FifoFolder
{
public:
    FifoFolder() = default;
    ~FifoFolder();
    FifoFolder(const FifoFolder &) = delete;
    FifoFolder &operator=(const FifoFolder &) = delete;

    // The path of `name` in the folder, which is created if need be; empty with the reason
    // in `error` when it cannot be.
    QByteArray filePath(const QByteArray &name, QString *error);
    // Marks a file in the folder for removal with it.
    void made(const QByteArray &path) { m_made.append(path); }

private:
    QByteArray m_path;
    QByteArrayList m_made;
};

// A pseudo-terminal in raw 8-bit mode: the sender opens its slave as the serial line.
std::optional<OfferedInput> offerPseudoTerminal(const QString &portName, QString *error);

// A FIFO in `folder` for a sender that writes to a printer device. Offline, it has no reader,
// so a sender's non-blocking open fails the way it does on a printer that is off.
std::optional<OfferedInput> offerPrinterFifo(const QString &portName, FifoFolder &folder,
                                             bool offline, QString *error);
