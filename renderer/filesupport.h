// SPDX-FileCopyrightText: 2026 The VR2710 Demo Developers
// SPDX-License-Identifier: MIT
#pragma once

#include <QByteArray>
#include <QString>

// Small POSIX file helpers that keep the errno of a failure, so that messages can name the
// real cause (a full disk, a missing folder) instead of "Unknown error". Paths are native
// bytes, kept exactly as they came.

// Writes all bytes; 0, or the errno of the failure.
int writeAll(int fd, const char *data, qint64 size);

// Creates a hidden file ".vr2710-XXXXXX" in `folder` for writing; its descriptor, or -1 with
// the errno in `error`.
int createHiddenTemporary(const QByteArray &folder, QByteArray *path, int *error);

// Renames `from` to `to` unless `to` exists; 0, or the errno (EEXIST when it does).
int renameWithoutReplacing(const QByteArray &from, const QByteArray &to);

// Replaces `path` with `contents` in one step: readers see the old file or the whole new one.
// 0, or the errno of the failure.
int replaceFile(const QByteArray &path, const QByteArray &contents);

// The system's text for an errno, "No space left on device".
QString systemErrorText(int errnum);
