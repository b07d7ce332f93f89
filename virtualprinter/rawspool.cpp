// SPDX-FileCopyrightText: 2026 The VR2710 Demo Developers
// SPDX-License-Identifier: MIT
#include "rawspool.h"

#include "renderer/filesupport.h"

#include <cerrno>
#include <unistd.h>

RawSpool::RawSpool(const QByteArray &folder)
    : m_folder(folder)
{
}

RawSpool::~RawSpool()
{
    reset(false);
}

bool RawSpool::open()
{
    if (m_fd >= 0 || m_error)
        return m_fd >= 0;
    m_fd = createHiddenTemporary(m_folder, &m_path, &m_error);
    return m_fd >= 0;
}

void RawSpool::append(const QByteArray &bytes)
{
    m_size += bytes.size();
    if (bytes.isEmpty() || !open())
        return;
    const int error = writeAll(m_fd, bytes.constData(), bytes.size());
    if (error) {
        m_error = error;
        ::close(m_fd);
        m_fd = -1;
    }
}

bool RawSpool::finish(int *error)
{
    if (open() && ::fdatasync(m_fd) != 0)
        m_error = errno;
    if (m_fd >= 0 && ::close(m_fd) != 0 && !m_error)
        m_error = errno;
    m_fd = -1;
    *error = m_error;
    return m_error == 0;
}

void RawSpool::reset(bool handedOver)
{
    if (m_fd >= 0)
        ::close(m_fd);
    if (!handedOver && !m_path.isEmpty())
        ::unlink(m_path.constData());
    m_fd = -1;
    m_path.clear();
    m_error = 0;
    m_size = 0;
}
