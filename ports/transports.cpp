// SPDX-FileCopyrightText: 2026 The VR2710 Demo Developers
// SPDX-License-Identifier: MIT
#include "transports.h"

#include "failure/displaypath.h"
#include "networkport.h"
#include "printerdevice.h"
#include "printservermodule.h"
#include "serialline.h"

#include <QRegularExpression>

#include <cerrno>

namespace {

using OpenTransport = OpenedConnection (*)(const PortLocation &, StallBound &);

// Targets that are addresses rather than paths, by their scheme.
struct Scheme
{
    const char *prefix;
    OpenTransport open;
};
const Scheme AddressSchemes[] = {
    {"socket://", openNetworkPrinter},
    {"ipp://", openPrintServerQueue},
    {"ipps://", openPrintServerQueue},
    {"cups:", openPrintServerQueue},
};

// "name:" before any "/", as in "socket:x" or "ipp:..."; "./socket:x" names a file.
bool looksLikeAddress(const QByteArray &target)
{
    static const QRegularExpression scheme(QStringLiteral("^[A-Za-z][A-Za-z0-9+.-]*:"));
    const qsizetype slash = target.indexOf('/');
    const QString head = QString::fromLatin1(slash < 0 ? target : target.left(slash));
    return scheme.match(head).hasMatch();
}

QString knownSchemes()
{
    QStringList names;
    for (const Scheme &scheme : AddressSchemes)
        names << QString::fromLatin1(scheme.prefix) + QStringLiteral("...");
    return names.join(QStringLiteral(", "));
}

} // namespace

OpenedConnection openConnection(const PortLocation &where, const PortSystem &system,
                                StallBound &stall)
{
    for (const Scheme &scheme : AddressSchemes)
        if (where.devicePath.startsWith(scheme.prefix))
            return scheme.open(where, stall);
    if (looksLikeAddress(where.devicePath))
        return {nullptr,
                portFailure(EINVAL,
                            QStringLiteral("\"%1\" is neither a device nor a printer address this "
                                           "program knows (%2). Correct %3; a file whose name "
                                           "has a colon is written as ./%1.")
                                .arg(displayPath(where.devicePath), knownSchemes(),
                                     whereToSetTarget(where)),
                            where)};
    if (where.kind == DeviceKind::SerialLine)
        return openSerialLine(where, system, stall);
    return openPrinterDevice(where, system, stall);
}
