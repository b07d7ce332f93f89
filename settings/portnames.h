// SPDX-FileCopyrightText: 2026 The VR2710 Demo Developers
// SPDX-License-Identifier: MIT
#pragma once

#include <QString>
#include <QStringList>

// The ports the programs offer, in the order the port box lists them. A port is named exactly
// so: "com1", " COM1" or "COM3" name no port.
namespace PortNames {

inline const QString Lpt1 = QStringLiteral("LPT1");
inline const QString Com1 = QStringLiteral("COM1");
inline const QString Com2 = QStringLiteral("COM2");

inline QStringList all()
{
    return {Lpt1, Com1, Com2};
}

inline bool isSerial(const QString &name)
{
    return name == Com1 || name == Com2;
}

// The environment variable that names the target of a port, e.g. "VR2710_COM2".
inline QString overrideVariable(const QString &portName)
{
    return QStringLiteral("VR2710_") + portName;
}

} // namespace PortNames
