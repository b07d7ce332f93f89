// SPDX-FileCopyrightText: 2026 The VR2710 Demo Developers
// SPDX-License-Identifier: MIT
#pragma once

#include "failure/failure.h"

#include <QByteArray>
#include <QHash>
#include <QString>

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
// Blank lines and lines starting with ; or # are comments; a leading UTF-8 byte order mark is
// ignored. The programs only read it. It must be a regular file: it is opened without
// blocking, so that a FIFO put in its place cannot hang a program. A file that cannot be read or
// holds anything else is an error, which the job that meets it reports.
class SettingsFile
{
public:
    // Where the file is looked for.
    static QByteArray path();
    // Reads the file; a missing file gives empty settings and no error.
    static SettingsFile read();
    // Reads these contents, as if they were the file's.
    static SettingsFile parse(const QByteArray &contents);

    // The target the file names for the port, byte for byte; empty when it names none.
    QByteArray target(const QString &portName) const { return m_targets.value(portName); }
    // The line that names it.
    int targetLine(const QString &portName) const { return m_targetLines.value(portName); }
    // The code page the file chooses, as written; empty when it chooses none.
    QString codePage() const { return m_codePage; }
    int codePageLine() const { return m_codePageLine; }
    // Why the file cannot be used (what is wrong, on which line, and the file where it was
    // read); kind SettingsFile with SettingsProblem::None when it can.
    const Failure &problem() const { return m_problem; }
    bool usable() const { return m_problem.settings == SettingsProblem::None; }

private:
    void parseLines(const QByteArray &contents);
    void fail(SettingsProblem problem, int line, const QString &detail = {});

    QHash<QString, QByteArray> m_targets;
    QHash<QString, int> m_targetLines;
    QString m_codePage;
    int m_codePageLine = 0;
    Failure m_problem{FailureKind::SettingsFile};
};
