// SPDX-FileCopyrightText: 2026 The VR2710 Demo Developers
// SPDX-License-Identifier: MIT
#include "printsettings.h"

#include "failure/displaypath.h"
#include "portnames.h"
#include "settingsfile.h"

#include <sys/stat.h>

namespace {

bool pathExists(const QByteArray &path)
{
    struct stat status
    {
    };
    return ::stat(path.constData(), &status) == 0;
}

QByteArray defaultTarget(const QString &portName, const PrintSettings::PathExists &exists)
{
    if (portName == PortNames::Com1)
        return "/dev/ttyS0";
    if (portName == PortNames::Com2)
        return "/dev/ttyS1";
    // A USB printer is /dev/usb/lp0; a machine with a parallel port has /dev/lp0 as well.
    if (!exists("/dev/lp0") && exists("/dev/usb/lp0"))
        return "/dev/usb/lp0";
    return "/dev/lp0";
}

LastError codePageFailure(qint32 number, const QString &source, const QString &description)
{
    LastError failure;
    failure.number = number;
    failure.source = source;
    failure.description = description;
    return failure;
}

QString unsupportedPage(const QString &number)
{
    return QStringLiteral("This system cannot convert text to code page %1: the C library's "
                          "conversion modules (gconv, from the libc6 package) are missing. "
                          "Reinstall libc6.")
        .arg(number);
}

} // namespace

PrintSettings PrintSettings::load(const PathExists &exists)
{
    PrintSettings settings;
    const SettingsFile file = SettingsFile::read();
    const QString filePath = displayPath(SettingsFile::path());
    if (!file.error().isEmpty()) {
        settings.m_failure = codePageFailure(ErrorNumber::SettingsFile, filePath, file.error());
        return settings;
    }

    for (const QString &port : PortNames::all()) {
        PortTarget target{port, {}, {}};
        // qgetenv, not qEnvironmentVariable: a QString would turn bytes that are not UTF-8
        // into U+FFFD and name another file.
        target.target = qgetenv(PortNames::overrideVariable(port).toLatin1().constData());
        if (!target.target.isEmpty()) {
            target.origin.kind = TargetOrigin::Kind::Environment;
        } else if (!(target.target = file.target(port)).isEmpty()) {
            target.origin = {TargetOrigin::Kind::SettingsFile, SettingsFile::path(),
                             file.targetLine(port)};
        } else {
            target.target = defaultTarget(port, exists ? exists : pathExists);
        }
        settings.m_targets.insert(port, target);
    }

    const QString variable = QLatin1String(CodePage::environmentVariable);
    const QString fromEnvironment = qEnvironmentVariable(CodePage::environmentVariable);
    const QString wanted = !fromEnvironment.isEmpty()   ? fromEnvironment
                           : !file.codePage().isEmpty() ? file.codePage()
                                                        : QStringLiteral("437");
    settings.m_codePage = CodePage::fromName(wanted);
    if (settings.m_codePage)
        return settings;
    if (CodePage::isSupportedName(wanted))
        settings.m_failure = codePageFailure(ErrorNumber::UnknownCodePage,
                                             fromEnvironment.isEmpty() ? filePath : variable,
                                             unsupportedPage(CodePage::numberOf(wanted)));
    else if (!fromEnvironment.isEmpty())
        settings.m_failure = codePageFailure(
            ErrorNumber::UnknownCodePage, variable,
            QStringLiteral("%1 is set to \"%2\", which is not a code page this program supports. "
                           "Set it to 437, 850, 858 or 1252, or unset it for 437.")
                .arg(variable, fromEnvironment));
    else
        settings.m_failure = codePageFailure(
            ErrorNumber::UnknownCodePage, filePath,
            QStringLiteral("The settings file sets codepage to \"%1\" on line %2, which is not a "
                           "code page this program supports. Set it to 437, 850, 858 or 1252, or "
                           "remove the line for 437.")
                .arg(file.codePage())
                .arg(file.codePageLine()));
    return settings;
}

PrintSettings PrintSettings::withTargets(const QHash<QString, QByteArray> &targets)
{
    PrintSettings settings;
    for (auto it = targets.cbegin(); it != targets.cend(); ++it)
        settings.m_targets.insert(it.key(), {it.key(), it.value(), {}});
    settings.m_codePage = CodePage::fromName(QStringLiteral("437"));
    return settings;
}

PortTarget PrintSettings::target(const QString &portName) const
{
    return m_targets.value(portName, PortTarget{portName, {}, {}});
}
