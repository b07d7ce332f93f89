#pragma once

#include <QString>

#include <functional>

// Maps the port names the window offers ("COM1", "COM2", "LPT1", ...) to Linux devices.
// A non-empty VR2710_<NAME> environment variable names the device instead: COMn defaults to
// /dev/ttyS<n-1>, LPTn to /dev/lp<n-1>, or /dev/usb/lp<n-1> where only that one exists.
// Returns an empty string for a name that is neither COMn nor LPTn.
using PathExists = std::function<bool(const QString &path)>;
QString devicePathForPort(const QString &portName, const PathExists &exists = {});

// "COM2 (/dev/ttyS1)": how failures name the port and its device.
QString portSource(const QString &portName, const QString &devicePath);

// The environment variable that overrides the device of a port, e.g. "VR2710_COM2".
QString portOverrideVariable(const QString &portName);
