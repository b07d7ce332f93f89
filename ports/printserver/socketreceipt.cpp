// SPDX-FileCopyrightText: 2026 The VR2710 Demo Developers
// SPDX-License-Identifier: MIT
#include "socketreceipt.h"

// The kernel's own tcp_info: the C library's lacks the byte counts (and clashes with it).
#include <cstddef>
#include <linux/tcp.h>
#include <netinet/in.h>
#include <sys/socket.h>

bool socketReceipt(int fd, qint64 &bytes, qint64 &sinceLastMs)
{
    tcp_info info{};
    socklen_t size = sizeof info;
    if (fd < 0 || ::getsockopt(fd, IPPROTO_TCP, TCP_INFO, &info, &size) != 0 ||
        size < offsetof(tcp_info, tcpi_bytes_received) + sizeof info.tcpi_bytes_received)
        return false;
    bytes = qint64(info.tcpi_bytes_received);
    sinceLastMs = qint64(info.tcpi_last_data_recv);
    return true;
}
