// SPDX-FileCopyrightText: 2026 The VR2710 Demo Developers
// SPDX-License-Identifier: MIT
#include "filesupport.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

int writeAll(int fd, const char *data, qint64 size)
{
    while (size > 0) {
        const ssize_t written = ::write(fd, data, size_t(size));
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            return written < 0 ? errno : EIO;
        data += written;
        size -= written;
    }
    return 0;
}

namespace {

// The permissions an ordinary new file gets; mkostemp() makes its files private.
mode_t newFileMode()
{
    static const mode_t mode = [] {
        const mode_t mask = ::umask(0);
        ::umask(mask);
        return 0666 & ~mask;
    }();
    return mode;
}

} // namespace

int createHiddenTemporary(const QByteArray &folder, QByteArray *path, int *error)
{
    QByteArray pattern = folder + "/.vr2710-XXXXXX";
    const int fd = ::mkostemp(pattern.data(), O_CLOEXEC);
    if (fd < 0 || ::fchmod(fd, newFileMode()) != 0) {
        *error = errno;
        if (fd >= 0) {
            ::close(fd);
            ::unlink(pattern.constData());
        }
        return -1;
    }
    *path = pattern;
    return fd;
}

int renameWithoutReplacing(const QByteArray &from, const QByteArray &to)
{
    if (::renameat2(AT_FDCWD, from.constData(), AT_FDCWD, to.constData(), RENAME_NOREPLACE) == 0)
        return 0;
    if (errno != EINVAL)
        return errno;
    // A file system without the flag: check, then rename (a race with another writer is
    // possible there, and only there).
    if (::access(to.constData(), F_OK) == 0)
        return EEXIST;
    return ::rename(from.constData(), to.constData()) == 0 ? 0 : errno;
}

int replaceFile(const QByteArray &path, const QByteArray &contents)
{
    const qsizetype slash = path.lastIndexOf('/');
    const QByteArray folder = slash < 0 ? QByteArray(".") : slash == 0 ? "/" : path.left(slash);
    QByteArray temporary;
    int error = 0;
    const int fd = createHiddenTemporary(folder, &temporary, &error);
    if (fd < 0)
        return error;
    error = writeAll(fd, contents.constData(), contents.size());
    if (!error && ::fdatasync(fd) != 0)
        error = errno;
    if (::close(fd) != 0 && !error)
        error = errno;
    if (!error && ::rename(temporary.constData(), path.constData()) != 0)
        error = errno;
    if (error)
        ::unlink(temporary.constData());
    return error;
}

QString systemErrorText(int errnum)
{
    return QString::fromLocal8Bit(std::strerror(errnum));
}
