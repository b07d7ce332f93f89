// SPDX-FileCopyrightText: 2026 The VR2710 Demo Developers
// SPDX-License-Identifier: MIT
#include "testsupport.h"

#include "settings/settingsfile.h"

#include <QDir>
#include <QElapsedTimer>
#include <QRegularExpression>

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <grp.h>
#include <poll.h>
#include <pty.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

// The variables the programs read: VR2710_CODEPAGE and a target for each port. The tests' own
// (VR2710_DEMO and the like, which name the programs under test) stay.
bool isProgramSetting(const QByteArray &name)
{
    static const QRegularExpression portVariable(QStringLiteral("^VR2710_(COM|LPT)[0-9]+$"));
    return name == CodePage::environmentVariable ||
           portVariable.match(QString::fromLatin1(name)).hasMatch();
}

} // namespace

bool isolateFromUserSettings()
{
    static bool isolated = false;
    if (isolated)
        return true;
    isolated = true;
    QByteArrayList programVariables;
    for (char **entry = environ; *entry; ++entry) {
        const QByteArray entryText(*entry);
        const QByteArray name = entryText.left(entryText.indexOf('='));
        if (isProgramSetting(name))
            programVariables << name;
    }
    for (const QByteArray &name : std::as_const(programVariables))
        ::unsetenv(name.constData());
    char folder[] = "/tmp/vr2710-test-config-XXXXXX";
    if (!::mkdtemp(folder))
        qFatal("cannot make a private settings folder: %s", strerror(errno));
    ::setenv("XDG_CONFIG_HOME", folder, 1);
    static const QByteArray made(folder);
    std::atexit([] { QDir(QFile::decodeName(made)).removeRecursively(); });
    return true;
}

void writeSettingsFile(const QHash<QString, QByteArray> &targets)
{
    const QString path = QFile::decodeName(SettingsFile::path());
    QDir().mkpath(QFileInfo(path).path());
    QByteArray contents = "[ports]\n";
    for (auto it = targets.cbegin(); it != targets.cend(); ++it)
        contents += it.key().toLatin1() + '=' + it.value() + '\n';
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(contents) != contents.size())
        qFatal("cannot write the settings file %s", qPrintable(path));
}

PrintSettings settingsWith(const QString &portName, const QByteArray &target)
{
    return PrintSettings::withTargets({{portName, target}});
}

PrintSettings settingsWith(const QString &portName, const QString &target)
{
    return settingsWith(portName, QFile::encodeName(target));
}

PseudoTerminal::PseudoTerminal()
{
    char name[256] = {};
    if (::openpty(&m_master, &m_slave, name, nullptr, nullptr) != 0)
        qFatal("openpty failed: %s", strerror(errno));
    ::fcntl(m_master, F_SETFL, ::fcntl(m_master, F_GETFL) | O_NONBLOCK);
    ::fcntl(m_master, F_SETFD, FD_CLOEXEC);
    ::fcntl(m_slave, F_SETFD, FD_CLOEXEC);
    m_slavePath = QString::fromLocal8Bit(name);
}

PseudoTerminal::~PseudoTerminal()
{
    closeMaster();
    ::close(m_slave);
}

QByteArray PseudoTerminal::read(int quietMs, int maxMs)
{
    QByteArray data;
    QElapsedTimer total;
    total.start();
    while (m_master >= 0 && total.elapsed() < maxMs) {
        pollfd entry{m_master, POLLIN, 0};
        if (::poll(&entry, 1, quietMs) <= 0)
            break;
        char buffer[4096];
        const ssize_t got = ::read(m_master, buffer, sizeof buffer);
        if (got <= 0)
            break;
        data.append(buffer, got);
    }
    return data;
}

void PseudoTerminal::closeMaster()
{
    if (m_master >= 0)
        ::close(m_master);
    m_master = -1;
}

FifoReader::FifoReader(const QString &path, bool stalled)
    : m_fd(::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC))
{
    if (m_fd < 0)
        qFatal("cannot open FIFO for reading: %s", strerror(errno));
    if (stalled)
        return;
    m_thread = std::thread([this] {
        QElapsedTimer total;
        total.start();
        while (total.elapsed() < 20000) {
            pollfd entry{m_fd, POLLIN, 0};
            if (::poll(&entry, 1, 100) <= 0)
                continue;
            char buffer[65536];
            const ssize_t got = ::read(m_fd, buffer, sizeof buffer);
            if (got > 0)
                m_data.append(buffer, got);
            else if (got == 0 || (errno != EAGAIN && errno != EINTR))
                break; // POLLHUP with nothing left: the writer has closed
        }
    });
}

FifoReader::~FifoReader()
{
    if (m_thread.joinable())
        m_thread.join();
    ::close(m_fd);
}

QByteArray FifoReader::result()
{
    if (m_thread.joinable())
        m_thread.join();
    return m_data;
}

int openDescriptorCount()
{
    return int(QDir(QStringLiteral("/proc/self/fd"))
                   .entryList(QDir::NoDotAndDotDot | QDir::AllEntries)
                   .size());
}

LastError runWithoutPrivileges(const std::function<LastError()> &operation)
{
    if (::geteuid() != 0)
        return operation();
    return inChildProcess([&] {
        const gid_t nobody = 65534;
        if (::setgroups(0, nullptr) != 0 || ::setgid(nobody) != 0 || ::setuid(nobody) != 0)
            ::_exit(3);
        return operation();
    });
}

LastError inChildProcess(const std::function<LastError()> &operation)
{
    int channel[2];
    if (::pipe(channel) != 0)
        qFatal("pipe failed");
    const pid_t child = ::fork();
    if (child == 0) {
        ::close(channel[0]);
        const LastError error = operation();
        const QByteArray report =
            QByteArray::number(error.number) + '\n' + error.description.toUtf8();
        if (::write(channel[1], report.constData(), report.size()) != report.size())
            ::_exit(4);
        ::_exit(0);
    }
    ::close(channel[1]);
    QByteArray report;
    char buffer[4096];
    ssize_t got;
    while ((got = ::read(channel[0], buffer, sizeof buffer)) > 0)
        report.append(buffer, got);
    ::close(channel[0]);
    int status = 0;
    ::waitpid(child, &status, 0);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
        qFatal("the child process failed (status %d)", status);
    LastError error;
    const qsizetype newline = report.indexOf('\n');
    error.number = report.left(newline).toInt();
    error.description = QString::fromUtf8(report.mid(newline + 1));
    return error;
}

QByteArray expectedSerialReceipt(const QByteArray &received, const PitchCode &pitch,
                                 const QString &body)
{
    const ReceiptStream stream(pitch, body, dateTimeOfReceipt(received),
                               *CodePage::fromName(QStringLiteral("437")));
    return ReceiptStream::join(stream.serialChunks());
}

QDateTime dateTimeOfReceipt(const QByteArray &stream)
{
    const qsizetype date = stream.indexOf("DATE : ");
    const qsizetype time = stream.indexOf("TIME : ");
    if (date < 0 || time < 0)
        return {};
    return QDateTime(QDate::fromString(QString::fromLatin1(stream.mid(date + 7, 10)),
                                       QStringLiteral("MM-dd-yyyy")),
                     QTime::fromString(QString::fromLatin1(stream.mid(time + 7, 8)),
                                       QStringLiteral("HH:mm:ss")));
}
