// SPDX-FileCopyrightText: 2026 The VR2710 Demo Developers
// SPDX-License-Identifier: MIT
#include "settingsfile.h"

#include "failure/displaypath.h"
#include "portnames.h"

#include <cerrno>
#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <optional>

namespace {

constexpr qint64 MostBytes = 64 * 1024; // a settings file is a few lines

QByteArray homeFolder()
{
    const QByteArray home = qgetenv("HOME");
    if (!home.isEmpty())
        return home;
    const passwd *user = ::getpwuid(::getuid());
    return user && user->pw_dir ? QByteArray(user->pw_dir) : QByteArray();
}

// The whole file, or nullopt with the reason (errno ENOENT: there is none; EINVAL: it is neither
// a file nor a folder). Opened without blocking and read only when it is a regular file: a FIFO
// or a device there would hang.
std::optional<QByteArray> readRegularFile(const QByteArray &path, int *error)
{
    const int fd = ::open(path.constData(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) {
        *error = errno;
        return std::nullopt;
    }
    struct stat status
    {
    };
    if (::fstat(fd, &status) != 0 || !S_ISREG(status.st_mode)) {
        *error = S_ISDIR(status.st_mode) ? EISDIR : EINVAL;
        ::close(fd);
        return std::nullopt;
    }
    QByteArray contents;
    char buffer[4096];
    ssize_t got;
    while ((got = ::read(fd, buffer, sizeof buffer)) != 0) {
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0 || contents.size() > MostBytes) {
            *error = got < 0 ? errno : EFBIG;
            ::close(fd);
            return std::nullopt;
        }
        contents.append(buffer, got);
    }
    ::close(fd);
    return contents;
}

} // namespace

QByteArray SettingsFile::path()
{
    // Only an absolute XDG_CONFIG_HOME counts, as the XDG base directory rules say.
    QByteArray folder = qgetenv("XDG_CONFIG_HOME");
    if (!folder.startsWith('/'))
        folder = homeFolder() + "/.config";
    return folder + "/vr2710/ports.conf";
}

SettingsFile SettingsFile::read()
{
    const QByteArray file = path();
    int error = 0;
    const std::optional<QByteArray> contents = readRegularFile(file, &error);
    SettingsFile settings;
    if (contents)
        settings = parse(*contents);
    else if (error == EINVAL)
        settings.fail(SettingsProblem::NotRegular, 0);
    else if (error != ENOENT && error != ENOTDIR)
        settings.fail(SettingsProblem::Unreadable, 0);
    settings.m_problem.errnum = error;
    settings.m_problem.place.settingsFile = file;
    return settings;
}

SettingsFile SettingsFile::parse(const QByteArray &contents)
{
    SettingsFile settings;
    settings.parseLines(contents.startsWith("\xef\xbb\xbf") ? contents.mid(3) : contents);
    return settings;
}

void SettingsFile::fail(SettingsProblem problem, int line, const QString &detail)
{
    m_problem.settings = problem;
    m_problem.line = line;
    m_problem.detail = detail;
}

void SettingsFile::parseLines(const QByteArray &contents)
{
    QByteArray group;
    int number = 0;
    for (const QByteArray &raw : contents.split('\n')) {
        ++number;
        if (raw.contains('\0'))
            return fail(SettingsProblem::NulByte, number);
        const QByteArray line = raw.trimmed();
        if (line.isEmpty() || line.startsWith(';') || line.startsWith('#'))
            continue;
        if (line.startsWith('[') && line.endsWith(']')) {
            group = line.mid(1, line.size() - 2).trimmed();
            if (group != "ports" && group != "printing")
                return fail(SettingsProblem::UnknownGroup, number, displayPath(group));
            continue;
        }
        const qsizetype equals = line.indexOf('=');
        if (equals < 0)
            return fail(SettingsProblem::NotASetting, number, displayPath(line));
        const QString key = displayPath(line.left(equals).trimmed());
        const QByteArray value = line.mid(equals + 1).trimmed();
        if (group == "ports" && PortNames::all().contains(key)) {
            m_targets.insert(key, value);
            m_targetLines.insert(key, number);
        } else if (group == "printing" && key == QLatin1String("codepage")) {
            m_codePage = QString::fromUtf8(value);
            m_codePageLine = number;
        } else {
            return fail(SettingsProblem::UnknownKey, number, key);
        }
    }
}
