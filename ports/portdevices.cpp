#include "portdevices.h"

#include <QFileInfo>
#include <QRegularExpression>

QString portOverrideVariable(const QString &portName)
{
    return QStringLiteral("VR2710_") + portName;
}

QString devicePathForPort(const QString &portName, const PathExists &exists)
{
    static const QRegularExpression pattern(QStringLiteral("^(COM|LPT)([1-9][0-9]{0,3})$"));
    const QRegularExpressionMatch match = pattern.match(portName);
    if (!match.hasMatch())
        return {};

    const QString override = qEnvironmentVariable(portOverrideVariable(portName).toLatin1());
    if (!override.isEmpty())
        return override;

    const int index = match.captured(2).toInt() - 1;
    if (match.captured(1) == QLatin1String("COM"))
        return QStringLiteral("/dev/ttyS%1").arg(index);

    const QString parportPrinter = QStringLiteral("/dev/lp%1").arg(index);
    const QString usbPrinter = QStringLiteral("/dev/usb/lp%1").arg(index);
    const PathExists pathExists =
        exists ? exists : [](const QString &path) { return QFileInfo::exists(path); };
    if (!pathExists(parportPrinter) && pathExists(usbPrinter))
        return usbPrinter;
    return parportPrinter;
}

QString portSource(const QString &portName, const QString &devicePath)
{
    if (devicePath.isEmpty())
        return portName;
    return QStringLiteral("%1 (%2)").arg(portName, devicePath);
}
