// SPDX-FileCopyrightText: 2026 The VR2710 Demo Developers
// SPDX-License-Identifier: MIT
#include "uucplock.h"

#include "deviceholders.h"

#include <QFileInfo>
#include <QSysInfo>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace {

// How often a lock that keeps changing under us is looked at before the line counts as busy.
constexpr int Attempts = 5;

// What Qt's lock files name the owning program by: the executable's file name.
QByteArray programName()
{
    char buffer[4096];
    const ssize_t length = ::readlink("/proc/self/exe", buffer, sizeof buffer - 1);
    if (length <= 0)
        return QByteArray(program_invocation_short_name);
    QByteArray path(buffer, length);
    if (path.endsWith(" (deleted)"))
        path.chop(10);
    return path.mid(path.lastIndexOf('/') + 1);
}

QByteArray lockContent()
{
    return QByteArray::number(qint64(::getpid())).rightJustified(10, ' ') + '\n' + programName() +
           '\n' + QSysInfo::machineHostName().toUtf8() + '\n';
}

bool writeAll(int fd, const QByteArray &bytes)
{
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t written = ::write(fd, bytes.constData() + done, bytes.size() - done);
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            return false;
        done += written;
    }
    return true;
}

} // namespace

QByteArray UucpLock::defaultFolder()
{
    for (const char *folder : {"/run/lock", "/var/lock"}) {
        struct stat status
        {
        };
        if (::stat(folder, &status) == 0 && S_ISDIR(status.st_mode))
            return folder;
    }
    return {};
}

QByteArray UucpLock::lockFileName(const QByteArray &devicePath)
{
    QByteArray name = devicePath.startsWith("/dev/") ? devicePath.mid(5) : devicePath;
    while (name.startsWith('/'))
        name.remove(0, 1);
    return "LCK.." + name.replace('/', '_');
}

UucpLock::UucpLock(QByteArray folder)
    : m_folder(std::move(folder))
{
}

qint64 UucpLock::pidIn(const QByteArray &content)
{
    // Old programs write the PID as a binary int of four bytes, the others as ten characters of
    // decimal text and a line end. Anything else, or a number no process can have, names no
    // process.
    if (content.size() == 4 && content.contains('\0')) {
        qint32 binary = 0;
        memcpy(&binary, content.constData(), sizeof binary);
        return binary > 0 && binary <= MaximumPid ? binary : 0;
    }
    const QByteArray text = content.left(content.indexOf('\n')).trimmed();
    bool isNumber = false;
    const qint64 pid = text.toLongLong(&isNumber);
    return isNumber && pid > 0 && pid <= MaximumPid ? pid : 0;
}

qint64 UucpLock::lockOwner(int fd)
{
    char buffer[128];
    ssize_t length;
    do {
        length = ::pread(fd, buffer, sizeof buffer, 0);
    } while (length < 0 && errno == EINTR);
    return length > 0 ? pidIn(QByteArray(buffer, length)) : 0;
}

int UucpLock::openLock(const QByteArray &file, bool *exists, bool *regular)
{
    // Without blocking, and only a regular file: the lock folder is open to every user, and a
    // FIFO put there must not hang the job.
    const int fd =
        ::open(file.constData(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC | O_NOFOLLOW);
    *exists = fd >= 0 || errno != ENOENT;
    *regular = false;
    if (fd < 0)
        return -1;
    struct stat status
    {
    };
    *regular = ::fstat(fd, &status) == 0 && S_ISREG(status.st_mode);
    if (!*regular) {
        ::close(fd);
        return -1;
    }
    return fd;
}

bool UucpLock::createLink(const QByteArray &file, int *errnum, bool replace) const
{
    // Written whole under a private name first, then linked into place: nobody ever reads a
    // lock that holds no PID yet, and link() fails where a lock already exists.
    QByteArray temporary = m_folder + "/.vr2710-lock-XXXXXX";
    const int fd = ::mkostemp(temporary.data(), O_CLOEXEC);
    if (fd < 0) {
        *errnum = errno;
        return false;
    }
    const bool written = ::fchmod(fd, 0644) == 0 && writeAll(fd, lockContent());
    *errnum = written ? 0 : errno;
    ::close(fd);
    // link() fails where a lock exists; rename() replaces a stale one in one step.
    const bool linked = written && (replace ? ::rename(temporary.constData(), file.constData())
                                            : ::link(temporary.constData(), file.constData())) == 0;
    if (written && !linked)
        *errnum = errno;
    if (!replace || !linked)
        ::unlink(temporary.constData());
    return linked;
}

bool UucpLock::acquire(const QByteArray &devicePath)
{
    release();
    m_holder = {};
    if (m_folder.isEmpty())
        return true;

    const QByteArray file = m_folder + '/' + lockFileName(devicePath);
    for (int attempt = 0; attempt < Attempts; ++attempt) {
        int errnum = 0;
        if (createLink(file, &errnum)) {
            m_file = file;
            return true;
        }

        bool exists = false;
        bool regular = false;
        const int fd = openLock(file, &exists, &regular);
        if (!exists) {
            if (errnum == EEXIST)
                continue; // released meanwhile
            return true;  // no lock file can be made here; nobody else holds one either
        }
        if (!regular) {
            // A FIFO, a folder, a link: it names no process.
            struct stat status
            {
            };
            m_holder.lockFile = file;
            m_holder.lockIsFolder =
                ::lstat(file.constData(), &status) == 0 && S_ISDIR(status.st_mode);
            return false;
        }
        const TakeOver outcome = takeOverIfStale(file, fd);
        ::close(fd);
        if (outcome == TakeOver::Busy)
            return false;
        if (outcome == TakeOver::Taken) {
            m_file = file;
            return true;
        }
        // The lock changed under us: look again.
        std::this_thread::sleep_for(std::chrono::milliseconds(10 * (attempt + 1)));
    }
    // Still changing hands: someone else is taking it; say who holds it now, where the file
    // tells.
    bool exists = false;
    bool regular = false;
    if (const int fd = openLock(file, &exists, &regular); fd >= 0) {
        const qint64 owner = lockOwner(fd);
        ::close(fd);
        if (DeviceHolders::isProcessAlive(owner))
            m_holder = DeviceHolders::processHolder(owner);
    }
    return false;
}

UucpLock::TakeOver UucpLock::takeOverIfStale(const QByteArray &file, int fd)
{
    // Whoever takes a stale lock over holds an flock on it meanwhile; the others wait their
    // turn and then find the lock replaced. So of many jobs that find the same stale lock,
    // exactly one takes it.
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0)
        return TakeOver::Changed;
    struct stat opened
    {
    };
    struct stat named
    {
    };
    if (::fstat(fd, &opened) != 0 || ::lstat(file.constData(), &named) != 0 ||
        opened.st_ino != named.st_ino || opened.st_dev != named.st_dev)
        return TakeOver::Changed; // already replaced by the one who held it
    const qint64 owner = lockOwner(fd);
    if (DeviceHolders::isProcessAlive(owner)) {
        m_holder = DeviceHolders::processHolder(owner);
        return TakeOver::Busy;
    }
    if (owner == 0) {
        // Names no process: perhaps being written this very moment, so look once more.
        struct stat status
        {
        };
        const bool fresh = ::fstat(fd, &status) == 0 && status.st_size == 0 &&
                           ::time(nullptr) - status.st_mtime < 2;
        if (!fresh) {
            m_holder.lockFile = file;
            return TakeOver::Busy;
        }
        return TakeOver::Changed;
    }
    // Its process is gone: a stale lock, replaced by ours while we hold the flock on it.
    int errnum = 0;
    if (!createLink(file, &errnum, /*replace=*/true)) {
        m_holder.lockFile = file;
        return TakeOver::Busy;
    }
    return TakeOver::Taken;
}

void UucpLock::release()
{
    if (m_file.isEmpty())
        return;
    bool exists = false;
    bool regular = false;
    const int fd = openLock(m_file, &exists, &regular);
    if (fd >= 0) {
        if (lockOwner(fd) == ::getpid())
            ::unlink(m_file.constData());
        ::close(fd);
    }
    m_file.clear();
}
