// SPDX-FileCopyrightText: 2026 The VR2710 Demo Developers
// SPDX-License-Identifier: MIT
#pragma once

#include <QByteArray>

// A path as the system will follow it: absolute, every symlink followed, "." and ".." applied
// and repeated slashes gone. Where the last component does not exist, path names the file an
// open with O_CREAT would create. Paths are bytes throughout, so none is ever re-encoded.
struct ResolvedPath
{
    QByteArray path;
    bool exists = false;
    int error = 0; // errno of the lstat, readlink or getcwd that failed; path is then empty
};

ResolvedPath resolvePath(const QByteArray &path);

// Whether a resolved path lies in /dev, where nothing may ever be created.
bool isUnderDev(const QByteArray &resolvedPath);
