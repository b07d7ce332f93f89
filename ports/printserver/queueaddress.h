// SPDX-FileCopyrightText: 2026 The VR2710 Demo Developers
// SPDX-License-Identifier: MIT
#pragma once

#include <QByteArray>

#include <cups/http.h>

#include <optional>

// Where a print-server target leads: the server to connect to and the queue's address on it.
//   ipp://HOST[:PORT]/RESOURCE, ipps://... (TLS from the start), or cups:QUEUE, a queue of this
//   computer's default server (CUPS_SERVER, client.conf, or the local scheduler's socket),
//   looked up afresh for every job, as the settings are.
struct QueueAddress
{
    QByteArray host; // a name, an address, or the path of the server's local socket
    int port = 631;
    QByteArray uri;                 // the queue's printer-uri
    QByteArray resource;            // the path requests about the queue go to
    QByteArray queue;               // as the user named it, for messages
    bool secure = false;            // ipps: TLS from the start
    bool fromDefaultServer = false; // cups:QUEUE

    bool isLocalSocket() const { return host.startsWith('/'); }

    // nullopt when the target is no well-formed queue address.
    static std::optional<QueueAddress> parse(const QByteArray &device);
};
