// SPDX-FileCopyrightText: 2026 The VR2710 Demo Developers
// SPDX-License-Identifier: MIT
#pragma once

#include "failure/lasterror.h"
#include "receipt/codepage.h"

#include <QByteArray>
#include <QHash>
#include <QRegularExpression>
#include <QString>

#include <optional>

// The port names the programs know: COMn and LPTn, n from 1 to 9999. The kind and the number
// are the pattern's two captures.
const QRegularExpression &portNamePattern();

// The settings file, for people who start the programs from their desktop's menu, where no
// environment variable can be set: $XDG_CONFIG_HOME/vr2710/ports.conf (~/.config/vr2710/
// ports.conf when that is not set), an INI file
//
//   [ports]
//   COM1=/dev/ttyUSB0
//   LPT1=socket://192.168.1.50:9100
//   [printing]
//   codepage=850
//
// Blank lines and lines starting with ; or # are comments. The programs only read it, afresh
// for every job; the environment variables win over it. A file that cannot be read or holds
// anything else is an error, reported by the job that meets it.
class PortSettings
{
public:
    // Where the file is looked for.
    static QByteArray filePath();
    // Reads the file; a missing file gives empty settings and no error.
    static PortSettings load();

    // The device the file names for the port, byte for byte; empty when it names none.
    QByteArray device(const QString &portName) const { return m_devices.value(portName); }
    // The code page the file chooses, as written; empty when it chooses none.
    QString codePage() const { return m_codePage; }
    int codePageLine() const { return m_codePageLine; }
    // Why the file cannot be used, with the line where that is known; empty when it can.
    QString error() const { return m_error; }

private:
    void parse(const QByteArray &contents);

    QHash<QString, QByteArray> m_devices;
    QString m_codePage;
    int m_codePageLine = 0;
    QString m_error;
};

// The code page the job sends the body in: VR2710_CODEPAGE, else the settings file's codepage,
// else 437; or the failure that leaves none, as the job reports it (nothing is then sent).
struct CodePageSetting
{
    std::optional<CodePage> page;
    LastError failure;
};
CodePageSetting chosenCodePage();
