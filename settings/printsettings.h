// SPDX-FileCopyrightText: 2026 The VR2710 Demo Developers
// SPDX-License-Identifier: MIT
#pragma once

#include "failure/lasterror.h"
#include "protocol/codepage.h"

#include <QByteArray>
#include <QHash>
#include <QString>

#include <functional>
#include <optional>

// Where a port's target came from, so that advice can name the place to change it.
struct TargetOrigin
{
    enum class Kind { Default, Environment, SettingsFile };
    Kind kind = Kind::Default;
    QByteArray settingsFile; // the settings file, for Kind::SettingsFile
    int line = 0;            // its line that names the target
};

// What a port prints to: a device path, a file, or a network printer's or queue's address,
// byte for byte as configured (paths that are not UTF-8 included).
struct PortTarget
{
    QString portName;
    QByteArray target; // empty: the name is no port
    TargetOrigin origin;
};

// The settings a job runs with, read once when it starts and carried to its port:
//
// - each port's target: a non-empty VR2710_<PORT> variable, else the settings file's, else the
//   default (COM1 /dev/ttyS0, COM2 /dev/ttyS1, LPT1 /dev/lp0, or /dev/usb/lp0 where only that
//   exists);
// - the code page of the body: VR2710_CODEPAGE, else the settings file's codepage=, else 437.
//
// A settings file that cannot be used, or a code page that is not supported, leaves no code
// page and a failure (9008, 9005) that the job reports; it then sends nothing. There is no
// other way to be without a code page: settings are only loaded or made with their targets.
class PrintSettings
{
public:
    using PathExists = std::function<bool(const QByteArray &path)>;

    // Reads the environment and the settings file once.
    static PrintSettings load(const PathExists &exists = {});
    // Settings with these targets (port name to target) and code page 437, nothing read; for
    // programs and tests that choose the targets themselves.
    static PrintSettings withTargets(const QHash<QString, QByteArray> &targets);

    // The port's target; an empty one for a name that is no port.
    PortTarget target(const QString &portName) const;
    const std::optional<CodePage> &codePage() const { return m_codePage; }
    // Why no job can print with these settings; number 0 when one can.
    const LastError &failure() const { return m_failure; }

private:
    PrintSettings() = default;

    QHash<QString, PortTarget> m_targets;
    std::optional<CodePage> m_codePage;
    LastError m_failure;
};
