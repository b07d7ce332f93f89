// SPDX-FileCopyrightText: 2026 The VR2710 Demo Developers
// SPDX-License-Identifier: MIT
#include "queueaddress.h"

#include <cups/cups.h>

#include <algorithm>
#include <cstring>

namespace {

// CUPS refuses these in queue names.
bool isQueueName(const QByteArray &name)
{
    if (name.isEmpty() || name.size() > 127)
        return false;
    return std::none_of(name.begin(), name.end(), [](char c) {
        const auto byte = static_cast<unsigned char>(c);
        return byte <= ' ' || byte >= 0x7f || std::strchr("/\\?'\"#", c) != nullptr;
    });
}

std::optional<QueueAddress> onDefaultServer(const QByteArray &queue)
{
    if (!isQueueName(queue))
        return std::nullopt;
    QueueAddress address;
    address.queue = queue;
    address.fromDefaultServer = true;
    cupsSetServer(nullptr); // read CUPS_SERVER and client.conf again
    address.host = cupsServer();
    address.port = ippPort();
    address.secure = cupsEncryption() == HTTP_ENCRYPTION_ALWAYS;
    const char *uriHost = address.isLocalSocket() ? "localhost" : address.host.constData();
    char uri[HTTP_MAX_URI];
    if (httpAssembleURIf(HTTP_URI_CODING_ALL, uri, sizeof uri, "ipp", nullptr, uriHost,
                         address.port, "/printers/%s",
                         address.queue.constData()) < HTTP_URI_STATUS_OK)
        return std::nullopt;
    address.uri = uri;
    address.resource = "/printers/" + address.queue;
    return address;
}

} // namespace

std::optional<QueueAddress> QueueAddress::parse(const QByteArray &device)
{
    if (device.startsWith("cups:"))
        return onDefaultServer(device.mid(5));
    if (!device.startsWith("ipp://") && !device.startsWith("ipps://"))
        return std::nullopt;
    char scheme[32], user[256], host[256], resource[1024];
    int port = 0;
    if (httpSeparateURI(HTTP_URI_CODING_ALL, device.constData(), scheme, sizeof scheme, user,
                        sizeof user, host, sizeof host, &port, resource,
                        sizeof resource) < HTTP_URI_STATUS_OK)
        return std::nullopt;
    if (host[0] == '\0' || std::strlen(resource) < 2 || port <= 0 || port > 65535)
        return std::nullopt;
    QueueAddress address;
    address.host = host;
    address.port = port;
    address.uri = device;
    address.resource = resource;
    address.queue = QByteArray(resource).mid(QByteArray(resource).lastIndexOf('/') + 1);
    address.secure = device.startsWith("ipps://");
    return address;
}
