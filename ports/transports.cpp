// SPDX-FileCopyrightText: 2026 The VR2710 Demo Developers
// SPDX-License-Identifier: MIT
#include "transports.h"

#include "networkport.h"
#include "portfailure.h"
#include "printerdevice.h"
#include "printservermodule.h"
#include "serialline.h"

#include <QRegularExpression>

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

// The kinds of address it knows, for the catalogue to list: their prefixes, one per line.
QString knownSchemes()
{
    QString prefixes;
    for (const Scheme &scheme : AddressSchemes)
        prefixes += QString::fromLatin1(scheme.prefix) + QLatin1Char('\n');
    return prefixes;
}

} // namespace

OpenedConnection openConnection(const PortLocation &where, const PortSystem &system,
                                StallBound &stall)
{
    for (const Scheme &scheme : AddressSchemes)
        if (where.devicePath.startsWith(scheme.prefix))
            return scheme.open(where, stall);
    if (looksLikeAddress(where.devicePath)) {
        Failure unknown(FailureKind::UnknownTargetKind);
        unknown.detail = knownSchemes();
        return {nullptr, failureAt(where, unknown)};
    }
    if (where.kind == DeviceKind::SerialLine)
        return openSerialLine(where, system, stall);
    return openPrinterDevice(where, system, stall);
}
