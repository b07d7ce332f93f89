// SPDX-FileCopyrightText: 2026 The VR2710 Demo Developers
// SPDX-License-Identifier: MIT
#include "portfailure.h"

#include "pathresolution.h"

#include "failure/catalogue.h"
#include "settings/portnames.h"
#include "settings/settingsfile.h"

namespace {

TargetIs whatTheTargetIs(const PortLocation &where)
{
    const QByteArray path = where.resolvedPath.isEmpty() ? where.devicePath : where.resolvedPath;
    if (path == "/dev/tty")
        return TargetIs::ControllingTerminal;
    if (isUnderDev(path))
        return TargetIs::Device;
    for (const char *system : {"/proc", "/sys"})
        if (path == system || path.startsWith(QByteArray(system) + '/'))
            return TargetIs::SystemFile;
    return TargetIs::File;
}

} // namespace

FailurePlace placeOf(const PortLocation &where)
{
    FailurePlace place;
    place.port = where.portName;
    place.target = where.devicePath;
    place.serialLine = where.kind == DeviceKind::SerialLine;
    place.targetIs = whatTheTargetIs(where);
    place.variable = PortNames::overrideVariable(where.portName);
    switch (where.origin.kind) {
    case TargetOrigin::Kind::Environment:
        place.setIn = FailurePlace::SetIn::Environment;
        break;
    case TargetOrigin::Kind::SettingsFile:
        place.setIn = FailurePlace::SetIn::SettingsFile;
        place.settingsFile = where.origin.settingsFile;
        place.line = where.origin.line;
        break;
    case TargetOrigin::Kind::Default:
        place.settingsFile = SettingsFile::path(); // where it may be set instead
        break;
    }
    return place;
}

LastError failureAt(const PortLocation &where, Failure failure)
{
    failure.place = placeOf(where);
    return Catalogue::describe(failure);
}

LastError failureAt(const PortLocation &where, FailureKind kind)
{
    return failureAt(where, Failure(kind));
}

LastError systemFailure(int errnum, const PortLocation &where)
{
    Failure failure(FailureKind::System);
    failure.errnum = errnum;
    return failureAt(where, failure);
}

LastError busyFailure(const PortLocation &where, const DeviceHolder &holder)
{
    Failure busy(FailureKind::Busy);
    busy.holder = {holder.pid,        holder.processName, holder.reaperPid,
                   holder.reaperName, holder.lockFile,    holder.lockIsFolder};
    return failureAt(where, busy);
}
