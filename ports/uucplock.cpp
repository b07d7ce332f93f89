// SPDX-FileCopyrightText: 2026 The VR2710 Demo Developers
// SPDX-License-Identifier: MIT
#include "uucplock.h"

#include "deviceholders.h"

#include <QFileInfo>
#include <QSysInfo>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
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

qint64 UucpLock::lockOwner(const QByteArray &file, bool *exists)
{
    *exists = false;
    const int fd = ::open(file.constData(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
    if (fd < 0) {
        *exists = errno != ENOENT;
        return 0;
    }
    *exists = true;
    char buffer[128];
    ssize_t length;
    do {
        length = ::read(fd, buffer, sizeof buffer);
    } while (length < 0 && errno == EINTR);
    ::close(fd);
    if (length <= 0)
        return 0;
    // Old programs write the PID as a binary int of four bytes; PIDs stay below 2^22, so its
    // high byte is zero. The others write ASCII text.
    const QByteArray text(buffer, length);
    if (length == 4 && text.contains('\0')) {
        qint32 binary = 0;
        memcpy(&binary, buffer, sizeof binary);
        return binary > 0 ? binary : 0;
    }
    const qint64 pid = text.left(text.indexOf('\n')).trimmed().toLongLong();
    return pid > 0 ? pid : 0;
}

bool UucpLock::createLink(const QByteArray &file, int *errnum) const
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
    const bool linked = written && ::link(temporary.constData(), file.constData()) == 0;
    if (written && !linked)
        *errnum = errno;
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
        const qint64 owner = lockOwner(file, &exists);
        if (!exists) {
            if (errnum == EEXIST)
                continue; // released meanwhile
            return true;  // no lock file can be made here; nobody else holds one either
        }
        if (DeviceHolders::isProcessAlive(owner)) {
            m_holder.pid = owner;
            m_holder.processName = DeviceHolders::processName(owner);
            return false;
        }
        if (owner == 0) {
            // Names no process: perhaps being written this very moment, so look once more.
            if (attempt + 1 < Attempts) {
                std::this_thread::sleep_for(std::chrono::milliseconds(50));
                continue;
            }
            m_holder.lockFile = file;
            return false;
        }
        // Its process is gone: a stale lock, which may be taken over.
        if (::unlink(file.constData()) != 0 && errno != ENOENT) {
            m_holder.lockFile = file;
            return false;
        }
    }
    m_holder = {};
    return false;
}

void UucpLock::release()
{
    if (m_file.isEmpty())
        return;
    bool exists = false;
    if (lockOwner(m_file, &exists) == ::getpid())
        ::unlink(m_file.constData());
    m_file.clear();
}
