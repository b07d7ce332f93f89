// SPDX-FileCopyrightText: 2026 The VR2710 Demo Developers
// SPDX-License-Identifier: MIT
#pragma once

#include "failure/errorbox.h"
#include "failure/lasterror.h"
#include "job/printjob.h"
#include "protocol/receiptstream.h"

#include <QByteArray>
#include <QString>

#include <functional>
#include <thread>

// Every test process runs with a private, empty settings folder (XDG_CONFIG_HOME) and without
// the VR2710_* variables the programs read, whatever the developer's own settings are; made
// before main() by including this header. Tests choose targets with
// PrintSettings::withTargets() rather than the environment.
bool isolateFromUserSettings();
inline const bool isolatedFromUserSettings = isolateFromUserSettings();

// Writes the private settings file with these ports' targets ("COM1" -> "/dev/pts/3"), for
// tests of programs that read their settings themselves.
void writeSettingsFile(const QHash<QString, QByteArray> &targets);

// Settings whose only target is this one port's.
PrintSettings settingsWith(const QString &portName, const QByteArray &target);
PrintSettings settingsWith(const QString &portName, const QString &target);

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
// Runs `operation` in a child process, so that what it changes of the process stays there;
// returns its result's number and description.
LastError inChildProcess(const std::function<LastError()> &operation);

// The date and time a received receipt printed in its date line (invalid if there is none).
QDateTime dateTimeOfReceipt(const QByteArray &stream);

// The serial stream the demo sends for this pitch and body (CR LF lines, code page 437),
// dated as the received receipt is.
QByteArray expectedSerialReceipt(const QByteArray &received, const PitchCode &pitch,
                                 const QString &body);
