// SPDX-FileCopyrightText: 2026 The VR2710 Demo Developers
// SPDX-License-Identifier: MIT
#pragma once

#include "location.h"

#include <QByteArray>

// A serial line locked the way Linux serial programs lock it (minicom, picocom, ModemManager,
// lockdev): a file LCK..<device> in /run/lock (or /var/lock) whose first line is the owner's
// PID, ten characters wide. A lock whose process lives is never touched; one whose process is
// gone is taken over. Ours also names this program and host on the next lines, as Qt's lock
// files do, so that programs using Qt's serial port read it as live too (they take a lock
// without those lines for a stale one and remove it).
class UucpLock
{
public:
    // /run/lock, or /var/lock where there is no /run/lock; empty where neither is a folder.
    static QByteArray defaultFolder();
    // "LCK..ttyUSB0" for /dev/ttyUSB0, "LCK..pts_3" for /dev/pts/3.
    static QByteArray lockFileName(const QByteArray &devicePath);

    explicit UucpLock(QByteArray folder = defaultFolder());
    ~UucpLock() { release(); }
    UucpLock(const UucpLock &) = delete;
    UucpLock &operator=(const UucpLock &) = delete;

    // Locks the device (a resolved path). False when it is busy; holder() then says who has it.
    // Where no lock file can be made (no lock folder, no permission) the line is used without
    // one, as long as no live lock names it.
    bool acquire(const QByteArray &devicePath);
    const DeviceHolder &holder() const { return m_holder; }
    // Removes our lock file, if it is still ours.
    void release();

    // The PID a lock file's content names, as the uucp convention writes it (ten characters of
    // decimal text, or a binary int of four bytes); 0 where it names no process.
    static qint64 pidIn(const QByteArray &content);
    // The largest PID Linux gives (2^22).
    static constexpr qint64 MaximumPid = 4194304;

private:
    enum class TakeOver { Taken, Busy, Changed };

    // Opens a lock file to read, without blocking; -1 where it is missing or no regular file.
    static int openLock(const QByteArray &file, bool *exists, bool *regular);
    static qint64 lockOwner(int fd);
    TakeOver takeOverIfStale(const QByteArray &file, int fd);
    bool createLink(const QByteArray &file, int *errnum, bool replace = false) const;

    QByteArray m_folder;
    QByteArray m_file;
    DeviceHolder m_holder;
};
