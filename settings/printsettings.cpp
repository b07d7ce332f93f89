// SPDX-FileCopyrightText: 2026 The VR2710 Demo Developers
// SPDX-License-Identifier: MIT
#include "printsettings.h"

#include "failure/catalogue.h"
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

// A code page that cannot be used, as the variable or else the settings file chose it.
LastError codePageFailure(FailureKind kind, const QString &page, const QString &variable,
                          const QByteArray &file, int line)
{
    Failure failure(kind);
    failure.line = line;
    failure.codePage = page;
    failure.place.setIn =
        variable.isEmpty() ? FailurePlace::SetIn::SettingsFile : FailurePlace::SetIn::Environment;
    failure.place.variable = variable;
    failure.place.settingsFile = file;
    return Catalogue::describe(failure);
}

} // namespace

PrintSettings PrintSettings::load(const PathExists &exists)
{
    PrintSettings settings;
    const SettingsFile file = SettingsFile::read();
    if (!file.usable()) {
        settings.m_failure = Catalogue::describe(file.problem());
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
    const bool known = CodePage::isSupportedName(wanted);
    settings.m_failure =
        codePageFailure(known ? FailureKind::CodePageMissing : FailureKind::CodePage,
                        known ? CodePage::numberOf(wanted) : wanted,
                        fromEnvironment.isEmpty() ? QString() : variable, SettingsFile::path(),
                        file.codePageLine());
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
