// SPDX-FileCopyrightText: 2026 The VR2710 Demo Developers
// SPDX-License-Identifier: MIT
#pragma once

#include <QString>
#include <QtGlobal>

// The record of the most recent failure inside a print job. Number 0 means "no failure".
// Ports fill it in, the job keeps the last one, the error box shows it.
struct LastError
{
    qint32 number = 0;
    QString source;
    QString description;
    QString helpFile;
    qint32 helpContext = 0;

    bool isFailure() const { return number != 0; }
};

// Numbers for failures that have no system error code (errno) of their own. They lie far
// above every errno value so that the two never collide.
namespace ErrorNumber {
inline constexpr qint32 PortNotOpen = 9001;        // write or print on a port that is not open
inline constexpr qint32 Timeout = 9002;            // the device took no data within the bound
inline constexpr qint32 PortAlreadyOpen = 9003;    // open or port-number change while open
inline constexpr qint32 InvalidPortNumber = 9004;  // no serial port has that number
inline constexpr qint32 UnknownCodePage = 9005;    // VR2710_CODEPAGE names no supported page
inline constexpr qint32 SystemConsole = 9007;      // the device is the system's console
inline constexpr qint32 SettingsFile = 9008;       // the settings file cannot be read or parsed
inline constexpr qint32 HostNotFound = 9009;       // a network printer's host name is unknown
inline constexpr qint32 PrintServerRefused = 9010; // a print server refused the job
inline constexpr qint32 PrintJobAborted = 9011;    // a print server aborted or cancelled the job
inline constexpr qint32 SecureConnection = 9012;   // the TLS connection to a print server failed
inline constexpr qint32 Stopped = 9013;            // a signal stopped the job part-way
inline constexpr qint32 PrintServerAnswer = 9014;  // a print server's answer could not be used
} // namespace ErrorNumber

// Continue-on-error bookkeeping: every failing step replaces the record, successes leave it.
class ContinueOnError
{
public:
    void step(const LastError &result)
    {
        if (result.isFailure())
            m_lastError = result;
    }
    const LastError &lastError() const { return m_lastError; }

private:
    LastError m_lastError;
};
