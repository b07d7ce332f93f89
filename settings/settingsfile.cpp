// SPDX-FileCopyrightText: 2026 The VR2710 Demo Developers
// SPDX-License-Identifier: MIT
#include "settingsfile.h"

#include "failure/displaypath.h"
#include "portnames.h"

#include <cerrno>
#include <cstring>
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

QString systemText(int errnum)
{
    return QString::fromLocal8Bit(std::strerror(errnum));
}

// The whole file, or nullopt with the reason (errno ENOENT: there is none). Opened without
// blocking and read only when it is a regular file: a FIFO or a device there would hang.
std::optional<QByteArray> readRegularFile(const QByteArray &path, int *error, QString *notFile)
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
        if (*error == EINVAL)
            *notFile = QStringLiteral("it is not a regular file");
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
    QString notFile;
    const std::optional<QByteArray> contents = readRegularFile(file, &error, &notFile);
    if (contents)
        return parse(*contents);

    SettingsFile settings;
    if (error != ENOENT && error != ENOTDIR)
        settings.m_error =
            QStringLiteral("The settings file %1 cannot be read: %2.")
                .arg(displayPath(file), notFile.isEmpty() ? systemText(error) : notFile);
    return settings;
}

SettingsFile SettingsFile::parse(const QByteArray &contents)
{
    SettingsFile settings;
    settings.parseLines(contents.startsWith("\xef\xbb\xbf") ? contents.mid(3) : contents);
    if (!settings.m_error.isEmpty())
        settings.m_error = QStringLiteral("The settings file %1 %2 Correct or remove it.")
                               .arg(displayPath(path()), settings.m_error);
    return settings;
}

void SettingsFile::parseLines(const QByteArray &contents)
{
    QByteArray group;
    int number = 0;
    for (const QByteArray &raw : contents.split('\n')) {
        ++number;
        if (raw.contains('\0')) {
            m_error =
                QStringLiteral("holds a NUL byte on line %1, which no setting can.").arg(number);
            return;
        }
        const QByteArray line = raw.trimmed();
        if (line.isEmpty() || line.startsWith(';') || line.startsWith('#'))
            continue;
        if (line.startsWith('[') && line.endsWith(']')) {
            group = line.mid(1, line.size() - 2).trimmed();
            if (group != "ports" && group != "printing") {
                m_error = QStringLiteral("has an unknown group [%1] on line %2; its groups are "
                                         "[ports] and [printing].")
                              .arg(displayPath(group))
                              .arg(number);
                return;
            }
            continue;
        }
        const qsizetype equals = line.indexOf('=');
        if (equals < 0) {
            m_error = QStringLiteral("cannot be read on line %1: \"%2\" is neither a [group] "
                                     "nor a key=value line.")
                          .arg(number)
                          .arg(displayPath(line));
            return;
        }
        const QString key = displayPath(line.left(equals).trimmed());
        const QByteArray value = line.mid(equals + 1).trimmed();
        if (group == "ports" && PortNames::all().contains(key)) {
            m_targets.insert(key, value);
            m_targetLines.insert(key, number);
        } else if (group == "printing" && key == QLatin1String("codepage")) {
            m_codePage = QString::fromUtf8(value);
            m_codePageLine = number;
        } else {
            m_error = QStringLiteral("has an unknown key \"%1\" on line %2; it knows COM1, COM2 "
                                     "and LPT1 under [ports] and codepage under [printing].")
                          .arg(key)
                          .arg(number);
            return;
        }
    }
}
