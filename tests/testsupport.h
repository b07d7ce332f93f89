// SPDX-FileCopyrightText: 2026 The VR2710 Demo Developers
// SPDX-License-Identifier: MIT
#pragma once

#include "failure/errorbox.h"
#include "failure/lasterror.h"
#include "receipt/printjob.h"
#include "receipt/receiptstream.h"

#include <QByteArray>
#include <QString>

#include <functional>
#include <thread>

// A pseudo-terminal: its slave stands in for a serial device, the test reads the master.
// The helper keeps the slave open as well and leaves it in the kernel's default (cooked)
// mode, so a port that forgot to make the line raw would show altered bytes.
class PseudoTerminal
{
public:
    PseudoTerminal();
    ~PseudoTerminal();
    PseudoTerminal(const PseudoTerminal &) = delete;
    PseudoTerminal &operator=(const PseudoTerminal &) = delete;

    QString slavePath() const { return m_slavePath; }
    // Reads from the master until nothing arrives for quietMs (or maxMs has passed).
    QByteArray read(int quietMs = 300, int maxMs = 10000);
    // Takes the master away, as a reader that disappears.
    void closeMaster();

private:
    int m_master = -1;
    int m_slave = -1;
    QString m_slavePath;
};

// Reads a FIFO on a thread of its own until the writer closes it. The read end is open when
// the constructor returns, so a writer opening without blocking finds a reader.
class FifoReader
{
public:
    // With stalled set, the reader never reads: the pipe fills up and writers stall.
    explicit FifoReader(const QString &path, bool stalled = false);
    ~FifoReader();
    QByteArray result(); // waits for the writer to close (at most 20 s)

private:
    int m_fd = -1;
    QByteArray m_data;
    std::thread m_thread;
};

// Number of descriptors this process holds.
int openDescriptorCount();

// Runs `operation` where the permission bits of files count: in a child process as user
// "nobody" when the tests run as root, in this process otherwise. Returns its result.
LastError runWithoutPrivileges(const std::function<LastError()> &operation);

// A window for print jobs without widgets: records the captions set and the boxes shown.
class FakeWindow : public PrintJobWindow
{
public:
    QString currentCaption = QStringLiteral("VR2710 Print Demo Program");
    QStringList captionsSet;
    QString selection = QStringLiteral("LPT1");
    QString body = ReceiptStream::defaultBody();
    PortNameSettings names{QStringLiteral("LPT1"), QStringLiteral("COM1"), QStringLiteral("COM2")};
    QList<ErrorBox> boxes;
    QStringList captionWhenBoxShown;

    QString caption() const override { return currentCaption; }
    void setCaption(const QString &caption) override
    {
        currentCaption = caption;
        captionsSet << caption;
    }
    QString portSelection() const override { return selection; }
    QString bodyText() const override { return body; }
    void showErrorBox(const ErrorBox &box) override
    {
        boxes << box;
        captionWhenBoxShown << currentCaption;
    }
    PortNameSettings portNameSettings() const override { return names; }
};

// The date and time a received receipt printed in its date line (invalid if there is none).
QDateTime dateTimeOfReceipt(const QByteArray &stream);

// The serial stream the demo sends for this pitch and body (CR LF lines, code page 437),
// dated as the received receipt is.
QByteArray expectedSerialReceipt(const QByteArray &received, const PitchCode &pitch,
                                 const QString &body);
