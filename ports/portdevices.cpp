// SPDX-FileCopyrightText: 2026 The VR2710 Demo Developers
// SPDX-License-Identifier: MIT
#include "portdevices.h"

#include "networkport.h"
#include "pathresolution.h"
#include "portsettings.h"

#include <QRegularExpression>

#include <sys/stat.h>

QString portOverrideVariable(const QString &portName)
{
    return QStringLiteral("VR2710_") + portName;
}

QByteArray devicePathForPort(const QString &portName, const PathExists &exists)
{
    const QRegularExpressionMatch match = portNamePattern().match(portName);
    if (!match.hasMatch())
        return {};

    // qgetenv, not qEnvironmentVariable: a QString would turn bytes that are not UTF-8 into
    // U+FFFD and name another file.
    const QByteArray override = qgetenv(portOverrideVariable(portName).toLatin1().constData());
    if (!override.isEmpty())
        return override;
    const QByteArray configured = PortSettings::load().device(portName);
    if (!configured.isEmpty())
        return configured;

    const QByteArray index = QByteArray::number(match.captured(2).toInt() - 1);
    if (match.captured(1) == QLatin1String("COM"))
        return "/dev/ttyS" + index;

    const QByteArray parportPrinter = "/dev/lp" + index;
    const QByteArray usbPrinter = "/dev/usb/lp" + index;
    const PathExists pathExists = exists ? exists : [](const QByteArray &path) {
        struct stat status
        {
        };
        return ::stat(path.constData(), &status) == 0;
    };
    if (!pathExists(parportPrinter) && pathExists(usbPrinter))
        return usbPrinter;
    return parportPrinter;
}

PortTarget portTarget(const QString &portName)
{
    PortTarget target;
    target.path = devicePathForPort(portName);
    if (target.path.isEmpty() || NetworkAddress::isNetworkDevice(target.path))
        return target; // an address, not a file
    const ResolvedPath resolved = resolvePath(target.path);
    target.resolved = resolved.path;
    target.error = resolved.error;
    return target;
}

QString displayPath(const QByteArray &path)
{
    const QString text = QString::fromUtf8(path);
    if (text.toUtf8() == path)
        return text;
    QString shown;
    for (const char byte : path) {
        if (uchar(byte) < 0x80)
            shown += QLatin1Char(byte);
        else
            shown += QStringLiteral("\\x%1").arg(uchar(byte), 2, 16, QLatin1Char('0'));
    }
    return shown;
}

QString portSource(const QString &portName, const QByteArray &devicePath)
{
    if (devicePath.isEmpty())
        return portName;
    return QStringLiteral("%1 (%2)").arg(portName, displayPath(devicePath));
}
