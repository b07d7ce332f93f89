// SPDX-FileCopyrightText: 2026 The VR2710 Demo Developers
// SPDX-License-Identifier: MIT
#pragma once

#include <QByteArray>
#include <QString>

#include <functional>

// Maps the port names the window offers ("COM1", "COM2", "LPT1", ...) to Linux devices.
// A non-empty VR2710_<NAME> environment variable names the device instead, byte for byte, or
// else the settings file (portsettings.h); the device may be a network printer's socket://
// address (networkport.h). COMn defaults to /dev/ttyS<n-1>, LPTn to /dev/lp<n-1>, or
// /dev/usb/lp<n-1> where only that one exists. Returns an empty path for a name that is
// neither COMn nor LPTn.
using PathExists = std::function<bool(const QByteArray &path)>;
QByteArray devicePathForPort(const QString &portName, const PathExists &exists = {});

// The device behind a port, found before anything is opened: the one place where a port name
// becomes the file the port opens.
struct PortTarget
{
    QByteArray path;     // as mapped or configured, shown to the user
    QByteArray resolved; // the file the system opens for it: symlinks followed, no "." or ".."
    int error = 0;       // errno of the step that failed to resolve path; resolved is then empty
};
PortTarget portTarget(const QString &portName);

// A path for messages: as it is where it is UTF-8, other bytes shown as \xHH.
QString displayPath(const QByteArray &path);

// "COM2 (/dev/ttyS1)": how failures name the port and its device.
QString portSource(const QString &portName, const QByteArray &devicePath);

// The environment variable that overrides the device of a port, e.g. "VR2710_COM2".
QString portOverrideVariable(const QString &portName);
