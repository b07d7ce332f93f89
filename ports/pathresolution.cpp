// SPDX-FileCopyrightText: 2026 The VR2710 Demo Developers
// SPDX-License-Identifier: MIT
#include "pathresolution.h"

#include <QByteArrayList>

#include <cerrno>
#include <climits>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// As many links as the kernel follows in one lookup before it gives up with ELOOP.
constexpr int MaximumLinks = 40;

QByteArray parentOf(const QByteArray &absolute)
{
    const qsizetype slash = absolute.lastIndexOf('/');
    return slash <= 0 ? QByteArray() : absolute.left(slash);
}

// Components still to walk, the next one last.
void pushComponents(QByteArrayList &pending, const QByteArray &path)
{
    const QByteArrayList parts = path.split('/');
    for (auto part = parts.crbegin(); part != parts.crend(); ++part)
        pending << *part;
}

ResolvedPath failed(int errnum)
{
    return {{}, false, errnum};
}

} // namespace

ResolvedPath resolvePath(const QByteArray &path)
{
    if (path.isEmpty())
        return failed(ENOENT);

    QByteArray resolved; // empty stands for the root
    if (!path.startsWith('/')) {
        char cwd[PATH_MAX];
        if (!::getcwd(cwd, sizeof cwd))
            return failed(errno);
        resolved = cwd;
        if (resolved == "/")
            resolved.clear();
    }

    QByteArrayList pending;
    pushComponents(pending, path);
    int links = 0;
    while (!pending.isEmpty()) {
        const QByteArray part = pending.takeLast();
        if (part.isEmpty() || part == ".")
            continue;
        if (part == "..") {
            resolved = parentOf(resolved);
            continue;
        }

        const QByteArray candidate = resolved + '/' + part;
        struct stat status
        {
        };
        if (::lstat(candidate.constData(), &status) != 0) {
            const int errnum = errno;
            // A missing last component is the file to create; with more after it, a folder is
            // missing.
            if (errnum == ENOENT && pending.isEmpty())
                return {candidate, false, 0};
            return failed(errnum);
        }
        if (S_ISLNK(status.st_mode)) {
            if (++links > MaximumLinks)
                return failed(ELOOP);
            QByteArray target(qMax<qsizetype>(status.st_size, 0) + 1, '\0');
            ssize_t length;
            // The link may change between the two calls; grow until its text fits.
            while ((length = ::readlink(candidate.constData(), target.data(), target.size())) >=
                   target.size())
                target.resize(target.size() * 2);
            if (length < 0)
                return failed(errno);
            target.truncate(length);
            if (target.startsWith('/'))
                resolved.clear();
            pushComponents(pending, target);
            continue;
        }
        // Anything after a file, even a trailing slash, asks for a folder that is not there.
        if (!S_ISDIR(status.st_mode) && !pending.isEmpty())
            return failed(ENOTDIR);
        resolved = candidate;
    }
    return {resolved.isEmpty() ? QByteArray("/") : resolved, true, 0};
}

bool isUnderDev(const QByteArray &resolvedPath)
{
    return resolvedPath == "/dev" || resolvedPath.startsWith("/dev/");
}
