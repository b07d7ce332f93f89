// SPDX-FileCopyrightText: 2026 The VR2710 Demo Developers
// SPDX-License-Identifier: MIT
#include "portsettings.h"

#include <QFile>
#include <QRegularExpression>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <pwd.h>
#include <unistd.h>

namespace {

constexpr qint64 MostBytes = 64 * 1024; // a settings file is a few lines

QString shown(const QByteArray &path)
{
    return QString::fromUtf8(path);
}

QByteArray homeFolder()
{
    const QByteArray home = qgetenv("HOME");
    if (!home.isEmpty())
        return home;
    const passwd *user = ::getpwuid(::getuid());
    return user && user->pw_dir ? QByteArray(user->pw_dir) : QByteArray();
}

// The whole file, or nullopt with the errno (ENOENT: there is none).
std::optional<QByteArray> readFile(const QByteArray &path, int *error)
{
    const int fd = ::open(path.constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        *error = errno;
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

const QRegularExpression &portNamePattern()
{
    static const QRegularExpression pattern(QStringLiteral("^(COM|LPT)([1-9][0-9]{0,3})$"));
    return pattern;
}

QByteArray PortSettings::filePath()
{
    // Only an absolute XDG_CONFIG_HOME counts, as the XDG base directory rules say.
    QByteArray folder = qgetenv("XDG_CONFIG_HOME");
    if (!folder.startsWith('/'))
        folder = homeFolder() + "/.config";
    return folder + "/vr2710/ports.conf";
}

PortSettings PortSettings::load()
{
    PortSettings settings;
    const QByteArray path = filePath();
    int error = 0;
    const std::optional<QByteArray> contents = readFile(path, &error);
    if (contents)
        settings.parse(*contents);
    else if (error != ENOENT && error != ENOTDIR)
        settings.m_error = QStringLiteral("The settings file %1 cannot be read: %2.")
                               .arg(shown(path), QString::fromLocal8Bit(std::strerror(error)));
    if (!settings.m_error.isEmpty() && contents)
        settings.m_error = QStringLiteral("The settings file %1 %2 Correct or remove it.")
                               .arg(shown(path), settings.m_error);
    return settings;
}

void PortSettings::parse(const QByteArray &contents)
{
    QByteArray group;
    int number = 0;
    for (const QByteArray &raw : contents.split('\n')) {
        ++number;
        const QByteArray line = raw.trimmed();
        if (line.isEmpty() || line.startsWith(';') || line.startsWith('#'))
            continue;
        if (line.startsWith('[') && line.endsWith(']')) {
            group = line.mid(1, line.size() - 2).trimmed();
            if (group != "ports" && group != "printing") {
                m_error = QStringLiteral("has an unknown group [%1] on line %2; its groups are "
                                         "[ports] and [printing].")
                              .arg(QString::fromUtf8(group))
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
                          .arg(QString::fromUtf8(line));
            return;
        }
        const QString key = QString::fromUtf8(line.left(equals).trimmed());
        const QByteArray value = line.mid(equals + 1).trimmed();
        if (group == "ports" && portNamePattern().match(key).hasMatch()) {
            m_devices.insert(key, value);
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

CodePageSetting chosenCodePage()
{
    CodePageSetting chosen;
    const PortSettings settings = PortSettings::load();
    if (!settings.error().isEmpty()) {
        chosen.failure.number = ErrorNumber::SettingsFile;
        chosen.failure.source = shown(PortSettings::filePath());
        chosen.failure.description = settings.error();
        return chosen;
    }
    if (!qEnvironmentVariableIsEmpty(CodePage::environmentVariable) ||
        settings.codePage().isEmpty()) {
        CodePageChoice choice = CodePage::fromEnvironment();
        chosen.page = std::move(choice.page);
        chosen.failure.description = choice.error;
        chosen.failure.source = QLatin1String(CodePage::environmentVariable);
    } else {
        chosen.page = CodePage::fromName(settings.codePage());
        chosen.failure.source = shown(PortSettings::filePath());
        chosen.failure.description =
            QStringLiteral("The settings file sets codepage to \"%1\" on line %2, which is not a "
                           "code page this program supports (or this system cannot convert to). "
                           "Set it to 437, 850, 858 or 1252, or remove the line for 437.")
                .arg(settings.codePage())
                .arg(settings.codePageLine());
    }
    if (chosen.page)
        chosen.failure = {};
    else
        chosen.failure.number = ErrorNumber::UnknownCodePage;
    return chosen;
}
