// SPDX-FileCopyrightText: 2026 The VR2710 Demo Developers
// SPDX-License-Identifier: MIT
#include "cupsserver.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QHostAddress>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTcpServer>
#include <QTcpSocket>
#include <QThread>

#include <sys/stat.h>

namespace {

// CUPS keeps its programs in sbin, often outside an ordinary user's PATH.
QString program(const QString &name)
{
    QString found = QStandardPaths::findExecutable(name);
    if (found.isEmpty())
        found = QStandardPaths::findExecutable(name, {"/usr/sbin", "/sbin"});
    return found.isEmpty() ? name : found;
}

bool writeFile(const QString &path, const QByteArray &contents)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
           file.write(contents) == contents.size();
}

bool acceptsConnections(quint16 port)
{
    QTcpSocket socket;
    socket.connectToHost(QHostAddress::LocalHost, port);
    const bool connected = socket.waitForConnected(100);
    socket.abort();
    return connected;
}

bool waitForPort(quint16 port, const QProcess &process, int timeoutMs)
{
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < timeoutMs) {
        if (process.state() != QProcess::Running)
            return false;
        if (acceptsConnections(port))
            return true;
        QThread::msleep(5);
    }
    return false;
}

// Ends a child of ours: SIGTERM, then SIGKILL once the grace time has passed.
bool stopChild(QProcess &process, int graceMs)
{
    if (process.state() == QProcess::NotRunning)
        return true;
    process.terminate();
    if (process.waitForFinished(graceMs))
        return true;
    process.kill();
    process.waitForFinished(1000);
    return false;
}

} // namespace

quint16 freeLocalPort()
{
    QTcpServer probe;
    if (!probe.listen(QHostAddress::LocalHost, 0))
        return 0;
    return probe.serverPort();
}

PrivateCupsServer::PrivateCupsServer(const QByteArray &extraConfiguration)
    : m_folder(QStringLiteral("/tmp/vr2710-cups-XXXXXX"))
{
    const QString root = m_folder.path();
    // cupsd runs its backends as "lp", which must reach the folders it hands them.
    ::chmod(QFile::encodeName(root).constData(), 0755);
    for (const char *sub : {"spool", "spool/tmp", "cache", "state", "log"}) {
        QDir(root).mkpath(sub);
        ::chmod(QFile::encodeName(root + '/' + sub).constData(), 0755);
    }
    m_port = freeLocalPort();
    const QByteArray dir = QFile::encodeName(root);
    const QByteArray files = "ServerRoot " + dir + "\nRequestRoot " + dir + "/spool\nTempDir " +
                             dir + "/spool/tmp\nCacheDir " + dir + "/cache\nStateDir " + dir +
                             "/state\nAccessLog " + dir + "/log/access_log\nErrorLog " + dir +
                             "/log/error_log\nPageLog " + dir + "/log/page_log\nPrintcap " + dir +
                             "/printcap\nServerBin /usr/lib/cups\n";
    const QByteArray server = "Listen 127.0.0.1:" + QByteArray::number(m_port) +
                              "\nBrowsing No\nWebInterface No\nDefaultAuthType None\n"
                              "ErrorPolicy abort-job\nLogLevel info\n" +
                              extraConfiguration + "\n";
    if (!writeFile(root + "/cups-files.conf", files) || !writeFile(root + "/cupsd.conf", server)) {
        m_error = QStringLiteral("cannot write the configuration in %1").arg(root);
        return;
    }
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    // Otherwise it would announce itself on the machine's system bus.
    environment.insert("DBUS_SYSTEM_BUS_ADDRESS", "unix:path=" + root + "/no-bus");
    m_process.setProcessEnvironment(environment);
    m_process.setProcessChannelMode(QProcess::MergedChannels);
    m_process.start(program("cupsd"),
                    {"-f", "-c", root + "/cupsd.conf", "-s", root + "/cups-files.conf"});
    if (!m_process.waitForStarted(5000)) {
        m_error = QStringLiteral("cupsd did not start: %1").arg(m_process.errorString());
        return;
    }
    if (!waitForPort(m_port, m_process, 5000))
        m_error = QStringLiteral("cupsd does not listen on port %1: %2 %3")
                      .arg(m_port)
                      .arg(QString::fromLocal8Bit(m_process.readAll()),
                           QString::fromLocal8Bit(errorLog()));
}

PrivateCupsServer::~PrivateCupsServer()
{
    stop();
}

bool PrivateCupsServer::stop()
{
    return stopChild(m_process, 2000);
}

QString PrivateCupsServer::address() const
{
    return QStringLiteral("127.0.0.1:%1").arg(m_port);
}

QByteArray PrivateCupsServer::queueUri(const QString &queue) const
{
    return QStringLiteral("ipp://127.0.0.1:%1/printers/%2").arg(m_port).arg(queue).toUtf8();
}

int PrivateCupsServer::runClient(const QString &name, const QStringList &arguments,
                                 QByteArray *output) const
{
    QProcess client;
    client.setProcessChannelMode(QProcess::MergedChannels);
    client.start(program(name), QStringList{"-h", address()} + arguments);
    if (!client.waitForFinished(5000)) {
        client.kill();
        client.waitForFinished(1000);
        return -1;
    }
    if (output)
        *output = client.readAll();
    return client.exitStatus() == QProcess::NormalExit ? client.exitCode() : -1;
}

bool PrivateCupsServer::addRawQueue(const QString &queue, const QString &deviceUri)
{
    return runClient("lpadmin", {"-p", queue, "-v", deviceUri, "-E"}) == 0;
}

bool PrivateCupsServer::addSocketQueue(const QString &queue, quint16 port, int contimeout)
{
    return addRawQueue(
        queue, QStringLiteral("socket://127.0.0.1:%1/?contimeout=%2").arg(port).arg(contimeout));
}

bool PrivateCupsServer::pauseQueue(const QString &queue)
{
    return runClient("cupsdisable", {queue}) == 0;
}

bool PrivateCupsServer::rejectJobs(const QString &queue)
{
    return runClient("cupsreject", {queue}) == 0;
}

QStringList PrivateCupsServer::queues()
{
    QByteArray output;
    if (runClient("lpstat", {"-e"}, &output) != 0)
        return {QStringLiteral("lpstat failed: ") + QString::fromLocal8Bit(output)};
    return QString::fromLocal8Bit(output).split('\n', Qt::SkipEmptyParts);
}

QStringList PrivateCupsServer::jobsLeft(const QString &queue)
{
    QByteArray output;
    if (runClient("lpstat", {"-o", queue}, &output) != 0)
        return {QStringLiteral("lpstat failed: ") + QString::fromLocal8Bit(output)};
    return QString::fromLocal8Bit(output).split('\n', Qt::SkipEmptyParts);
}

QStringList PrivateCupsServer::completedJobs(const QString &queue)
{
    QByteArray output;
    if (runClient("lpstat", {"-W", "completed", "-o", queue}, &output) != 0)
        return {QStringLiteral("lpstat failed: ") + QString::fromLocal8Bit(output)};
    return QString::fromLocal8Bit(output).split('\n', Qt::SkipEmptyParts);
}

QByteArray PrivateCupsServer::errorLog() const
{
    QFile log(m_folder.filePath("log/error_log"));
    return log.open(QIODevice::ReadOnly) ? log.readAll() : QByteArray();
}

PrivateIppPrinter::PrivateIppPrinter(const QString &name, const QString &deviceUri)
    : m_folder(QStringLiteral("/tmp/vr2710-ipp-XXXXXX"))
{
    const QString root = m_folder.path();
    ::chmod(QFile::encodeName(root).constData(), 0755);
    const QString bus = "unix:path=" + root + "/bus";
    m_bus.setProcessChannelMode(QProcess::MergedChannels);
    m_bus.start(program("dbus-daemon"),
                {"--session", "--nofork", "--address=" + bus, "--print-address=1"});
    // It prints its address once it listens.
    if (!m_bus.waitForStarted(5000) || !m_bus.waitForReadyRead(5000)) {
        m_error = QStringLiteral("dbus-daemon did not start: %1").arg(m_bus.errorString());
        return;
    }
    m_port = freeLocalPort();
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("DBUS_SYSTEM_BUS_ADDRESS", bus);
    m_printer.setProcessEnvironment(environment);
    m_printer.setProcessChannelMode(QProcess::MergedChannels);
    m_printer.start(program("ippeveprinter"),
                    {"-p", QString::number(m_port), "-n", "localhost", "-r", "off", "-d", root,
                     "-f", "application/vnd.cups-raw,application/octet-stream", "-c", "/bin/cat",
                     "-D", deviceUri, name});
    if (!m_printer.waitForStarted(5000) || !waitForPort(m_port, m_printer, 5000))
        m_error = QStringLiteral("ippeveprinter does not listen on port %1: %2")
                      .arg(m_port)
                      .arg(QString::fromLocal8Bit(m_printer.readAll()));
}

PrivateIppPrinter::~PrivateIppPrinter()
{
    stopChild(m_printer, 2000);
    stopChild(m_bus, 2000);
}

QByteArray PrivateIppPrinter::uri() const
{
    return "ipp://localhost:" + QByteArray::number(m_port) + "/ipp/print";
}

VirtualNetworkPrinter::VirtualNetworkPrinter(const QStringList &moreOptions)
{
    const QString envFile = m_folder.filePath("env");
    m_process.setProcessChannelMode(QProcess::MergedChannels);
    m_process.start(qEnvironmentVariable("VR2710_VIRTUAL_PRINTER"),
                    QStringList{"--tcp", "0", "--no-pacing", "--raw", "--quiet", "--output",
                                m_folder.filePath("receipts"), "--env-file", envFile} +
                        moreOptions);
    QElapsedTimer timer;
    timer.start();
    while (!QFile::exists(envFile) && m_process.state() != QProcess::NotRunning &&
           timer.elapsed() < 10000)
        m_process.waitForFinished(10);
    QFile env(envFile);
    if (!env.open(QIODevice::ReadOnly))
        return;
    const QRegularExpressionMatch match =
        QRegularExpression(QStringLiteral("VR2710_LPT1='?socket://127\\.0\\.0\\.1:(\\d+)"))
            .match(QString::fromLocal8Bit(env.readAll()));
    if (match.hasMatch())
        m_port = quint16(match.captured(1).toUInt());
}

VirtualNetworkPrinter::~VirtualNetworkPrinter()
{
    stopChild(m_process, 5000);
}

QString VirtualNetworkPrinter::socketUri() const
{
    return QStringLiteral("socket://127.0.0.1:%1").arg(m_port);
}

QList<QByteArray> VirtualNetworkPrinter::receipts() const
{
    QList<QByteArray> result;
    const QDir folder(m_folder.filePath("receipts"));
    for (const QString &name : folder.entryList({"*.bin"}, QDir::Files, QDir::Name)) {
        QFile raw(folder.filePath(name));
        if (raw.open(QIODevice::ReadOnly))
            result << raw.readAll();
    }
    return result;
}

bool VirtualNetworkPrinter::waitForReceipts(int count, int timeoutMs) const
{
    QElapsedTimer timer;
    timer.start();
    while (receipts().size() < count && timer.elapsed() < timeoutMs)
        QThread::msleep(5);
    return receipts().size() >= count;
}
