// SPDX-FileCopyrightText: 2026 The VR2710 Demo Developers
// SPDX-License-Identifier: MIT
// What the documentation says about failures is what the programs show: every class of failure
// is produced for real and compared with the README's table of error numbers, every number the
// catalogue gives has a row there, and the manual pages list the same numbers. A row that no
// failure matches, or a failure or number that no row describes, fails the test: the two cannot
// drift apart.
#include "cupsserver.h"
#include "failure/catalogue.h"
#include "settings/settingsfile.h"
#include "stopsignals/stopsignals.h"
#include "testsupport.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSet>
#include <QTemporaryDir>
#include <QTest>

#include <cerrno>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

using namespace std::chrono_literals;

namespace {

// One row of the README's table: the number, and what the message says (a part of it).
struct DocumentedError
{
    int number = 0;
    QString says;
};

QByteArray sourceFile(const QString &name)
{
    QFile file(qEnvironmentVariable("VR2710_SOURCE_DIR") + QLatin1Char('/') + name);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// The rows of the table under "### Error numbers": | number | what happened | "says" |
QList<DocumentedError> readmeErrors()
{
    const QString readme = QString::fromUtf8(sourceFile(QStringLiteral("README.md")));
    const qsizetype section = readme.indexOf(QLatin1String("### Error numbers"));
    static const QRegularExpression row(
        QStringLiteral("^\\| (-?[0-9]+) \\| [^|]+ \\| \"([^\"]+)\" \\|$"),
        QRegularExpression::MultilineOption);
    QList<DocumentedError> rows;
    const qsizetype end = readme.indexOf(QLatin1String("\n#"), section + 1);
    const QString table = readme.mid(section, end < 0 ? -1 : end - section);
    for (auto match = row.globalMatch(table); match.hasNext();) {
        const QRegularExpressionMatch found = match.next();
        rows.append({found.captured(1).toInt(), found.captured(2)});
    }
    return rows;
}

// The numbers a manual page lists under ERRORS (".B 9001").
QList<int> manualPageErrors(const QString &name)
{
    const QByteArray page = sourceFile(QStringLiteral("packaging/man/") + name);
    const qsizetype section = page.indexOf("\n.SH ERRORS");
    const qsizetype end = page.indexOf("\n.SH ", section + 1);
    QList<int> numbers;
    for (const QByteArray &line : page.mid(section, end - section).split('\n'))
        if (line.startsWith(".B ") && line.mid(3).toInt() != 0)
            numbers << line.mid(3).toInt();
    return numbers;
}

// "Opening it failed (error 16): ..." in a failure of a port that never opened: the number
// that kept it closed, which the README lists.
int causeNumber(const LastError &failure)
{
    static const QRegularExpression opening(
        QStringLiteral("Opening it failed \\(error (-?\\d+)\\)"));
    const QRegularExpressionMatch match = opening.match(failure.description);
    return match.hasMatch() ? match.captured(1).toInt() : failure.number;
}

// A listener that answers every connection with plain HTTP, so that a TLS handshake fails.
class PlainHttpServer
{
public:
    PlainHttpServer()
    {
        m_fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t size = sizeof address;
        ::bind(m_fd, reinterpret_cast<sockaddr *>(&address), size);
        ::listen(m_fd, 4);
        ::getsockname(m_fd, reinterpret_cast<sockaddr *>(&address), &size);
        m_port = ntohs(address.sin_port);
        m_thread = std::thread([this] {
            int client;
            while ((client = ::accept(m_fd, nullptr, nullptr)) >= 0) {
                const char answer[] = "HTTP/1.1 400 Bad Request\r\nContent-Length: 0\r\n\r\n";
                [[maybe_unused]] const ssize_t sent =
                    ::send(client, answer, sizeof answer - 1, MSG_NOSIGNAL);
                ::close(client);
            }
        });
    }
    ~PlainHttpServer()
    {
        ::shutdown(m_fd, SHUT_RDWR); // ends the accept
        m_thread.join();
        ::close(m_fd);
    }
    quint16 port() const { return m_port; }

private:
    int m_fd = -1;
    quint16 m_port = 0;
    std::thread m_thread;
};

} // namespace

class TestDocumentation : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void eachFailureIsAsDocumented_data();
    void eachFailureIsAsDocumented();
    void everyDocumentedErrorWasShown();
    void everyNumberGivenIsDocumented();
    void manualPageListsTheSameNumbers_data();
    void manualPageListsTheSameNumbers();

private:
    LastError produce(const QString &failure);

    QList<DocumentedError> m_documented;
    QSet<int> m_rowsShown; // indexes into m_documented
    std::unique_ptr<PrivateCupsServer> m_server;
    std::unique_ptr<VirtualNetworkPrinter> m_printer;
    QTemporaryDir m_folder;
};

void TestDocumentation::initTestCase()
{
    m_documented = readmeErrors();
    QVERIFY2(m_documented.size() >= 10, "the README's table of error numbers was not found");
    m_server = std::make_unique<PrivateCupsServer>();
    QVERIFY2(m_server->isRunning(), qPrintable(m_server->error()));
    m_printer = std::make_unique<VirtualNetworkPrinter>();
    QVERIFY(m_printer->isRunning());
}

void TestDocumentation::eachFailureIsAsDocumented_data()
{
    QTest::addColumn<QString>("failure");
    QTest::addColumn<int>("shown"); // the number in the box
    for (const char *opening :
         {"missing device", "printer off line", "permission denied", "port in use", "a folder",
          "no serial device", "connection refused", "system console", "host not found",
          "no such queue", "no print server", "TLS", "print server silent",
          "print server answers HTTP 400", "unknown kind of address"})
        QTest::newRow(opening) << QString::fromLatin1(opening) << int(ErrorNumber::PortNotOpen);
    QTest::newRow("printer takes nothing") << "printer takes nothing" << int(ErrorNumber::Timeout);
    QTest::newRow("code page") << "code page" << int(ErrorNumber::UnknownCodePage);
    QTest::newRow("settings file") << "settings file" << int(ErrorNumber::SettingsFile);
    QTest::newRow("queue rejects jobs")
        << "queue rejects jobs" << int(ErrorNumber::PrintServerRefused);
    QTest::newRow("queue paused") << "queue paused" << int(ErrorNumber::Timeout);
    QTest::newRow("job cancelled on the server")
        << "job cancelled on the server" << int(ErrorNumber::PrintJobAborted);
    QTest::newRow("server gave the job up")
        << "server gave the job up" << int(ErrorNumber::PrintJobAborted);
    QTest::newRow("stopped by a signal") << "stopped by a signal" << int(ErrorNumber::Stopped);
}

void TestDocumentation::eachFailureIsAsDocumented()
{
    QFETCH(QString, failure);
    QFETCH(int, shown);

    const LastError produced = produce(failure);
    QVERIFY2(produced.number == shown,
             qPrintable(QStringLiteral("%1: %2").arg(produced.number).arg(produced.description)));
    const int cause = causeNumber(produced);
    QList<qsizetype> matching;
    for (qsizetype row = 0; row < m_documented.size(); ++row) {
        const DocumentedError &documented = m_documented.at(row);
        if (documented.number == shown || documented.number == cause)
            if (produced.description.contains(documented.says))
                matching << row;
    }
    QVERIFY2(!matching.isEmpty() || cause == shown,
             qPrintable(QStringLiteral("no README row for %1 says what the message says: %2")
                            .arg(cause)
                            .arg(produced.description)));
    // The box's own number is documented too, with what it says.
    bool shownDocumented = false;
    for (const qsizetype row : std::as_const(matching))
        shownDocumented |= m_documented.at(row).number == shown;
    QVERIFY2(
        shownDocumented || cause != shown,
        qPrintable(
            QStringLiteral("no README row for %1 says: %2").arg(shown).arg(produced.description)));
    QVERIFY2(
        cause == shown ||
            std::any_of(matching.cbegin(), matching.cend(),
                        [&](qsizetype row) { return m_documented.at(row).number == cause; }),
        qPrintable(
            QStringLiteral("no README row for %1 says: %2").arg(cause).arg(produced.description)));
    for (const qsizetype row : std::as_const(matching))
        m_rowsShown.insert(int(row));
}

void TestDocumentation::everyDocumentedErrorWasShown()
{
    for (qsizetype row = 0; row < m_documented.size(); ++row)
        QVERIFY2(
            m_rowsShown.contains(int(row)),
            qPrintable(QStringLiteral("the README documents %1 \"%2\", which no failure showed")
                           .arg(m_documented.at(row).number)
                           .arg(m_documented.at(row).says)));
}

void TestDocumentation::everyNumberGivenIsDocumented()
{
    QSet<int> documented;
    for (const DocumentedError &row : std::as_const(m_documented))
        documented.insert(row.number);
    for (const qint32 number : Catalogue::numbersGiven())
        QVERIFY2(documented.contains(number),
                 qPrintable(QStringLiteral("the README's table has no row for %1").arg(number)));
    // Any other errno passes through as the system gives it: one row says so.
    QVERIFY(sourceFile(QStringLiteral("README.md")).contains("\n| errno | any other"));
}

void TestDocumentation::manualPageListsTheSameNumbers_data()
{
    QTest::addColumn<QString>("page");
    QTest::newRow("the demo's") << "vr2710-demo.1";
    QTest::newRow("vr2710-print's") << "vr2710-print.1";
}

void TestDocumentation::manualPageListsTheSameNumbers()
{
    QFETCH(QString, page);
    QSet<int> documented;
    for (const DocumentedError &row : std::as_const(m_documented))
        documented.insert(row.number);
    const QList<int> listed = manualPageErrors(page);
    QCOMPARE(QSet<int>(listed.cbegin(), listed.cend()), documented);
}

LastError TestDocumentation::produce(const QString &failure)
{
    const QString folder = m_folder.path();
    // The settings are chosen below, once the target is known.
    PrintRequest request{.portSelection = QStringLiteral("LPT1"),
                         .settings = PrintSettings::withTargets({})};
    QByteArray target;
    std::unique_ptr<PseudoTerminal> pty;
    std::unique_ptr<FifoReader> stalledReader;
    std::unique_ptr<PlainHttpServer> plainHttp;
    int silent = -1;
    const auto serial = [&] {
        request.portSelection = QStringLiteral("COM1");
        pty = std::make_unique<PseudoTerminal>();
        target = QFile::encodeName(pty->slavePath());
    };
    const auto fifo = [&](const QString &name) {
        const QString path = QDir(folder).filePath(name);
        ::mkfifo(QFile::encodeName(path).constData(), 0600);
        target = QFile::encodeName(path);
    };
    const QString queue = QString(failure).replace(QLatin1Char(' '), QLatin1Char('-'));

    if (failure == "missing device") {
        target = "/dev/vr2710-missing";
    } else if (failure == "printer off line") {
        fifo(QStringLiteral("offline"));
    } else if (failure == "permission denied") {
        serial();
        ::chmod(target.constData(), 0);
        request.settings = PrintSettings::withTargets({{request.portSelection, target}});
        return runWithoutPrivileges([&] { return PrintJob::run(request).lastError; });
    } else if (failure == "port in use") {
        serial();
        request.ports.lockFolder = QFile::encodeName(folder);
        QFile lock(QDir(folder).filePath(
            QString::fromUtf8(UucpLock::lockFileName(QFile::encodeName(pty->slavePath())))));
        if (lock.open(QIODevice::WriteOnly))
            lock.write("         1\n"); // process 1 always runs
    } else if (failure == "a folder") {
        target = QFile::encodeName(folder);
    } else if (failure == "no serial device") {
        request.portSelection = QStringLiteral("COM1");
        target = "/dev/null";
    } else if (failure == "connection refused") {
        target = "socket://127.0.0.1:" + QByteArray::number(freeLocalPort());
    } else if (failure == "system console") {
        serial();
        QDir(folder).mkdir(QStringLiteral("dev"));
        QFile::link(pty->slavePath(), QDir(folder).filePath(QStringLiteral("dev/ttyS0")));
        QFile active(QDir(folder).filePath(QStringLiteral("active")));
        if (active.open(QIODevice::WriteOnly))
            active.write("tty0 ttyS0\n");
        request.ports.console = SystemConsole(QFile::encodeName(active.fileName()),
                                              QFile::encodeName(QDir(folder).filePath("dev")));
    } else if (failure == "unknown kind of address") {
        target = "lpd://printer/queue";
    } else if (failure == "host not found") {
        target = "socket://vr2710-no-such-printer.invalid";
    } else if (failure == "no such queue") {
        target = m_server->queueUri(QStringLiteral("NOSUCH"));
    } else if (failure == "no print server") {
        target = "ipp://127.0.0.1:" + QByteArray::number(freeLocalPort()) + "/printers/VR2710";
    } else if (failure == "printer takes nothing") {
        fifo(QStringLiteral("stalled"));
        stalledReader = std::make_unique<FifoReader>(QFile::decodeName(target), true);
        request.body = QString(100000, QLatin1Char('x')); // more than the pipe holds
        request.ports.stallLimit = 300ms;
    } else if (failure == "code page") {
        qputenv("VR2710_CODEPAGE", "999");
        request.settings = PrintSettings::load();
        qunsetenv("VR2710_CODEPAGE");
        return PrintJob::run(request).lastError;
    } else if (failure == "settings file") {
        const QString path = QFile::decodeName(SettingsFile::path());
        QDir().mkpath(QFileInfo(path).path());
        QFile file(path);
        if (file.open(QIODevice::WriteOnly))
            file.write("[ports]\nCOM3=/dev/ttyS2\n");
        file.close();
        request.settings = PrintSettings::load();
        QFile::remove(path);
        return PrintJob::run(request).lastError;
    } else if (failure == "queue rejects jobs") {
        m_server->addRawQueue(queue, m_printer->socketUri());
        m_server->rejectJobs(queue);
        target = m_server->queueUri(queue);
    } else if (failure == "queue paused") {
        m_server->addRawQueue(queue, m_printer->socketUri());
        m_server->pauseQueue(queue);
        target = m_server->queueUri(queue);
        request.ports.stallLimit = 1s;
    } else if (failure == "job cancelled on the server") {
        m_server->addRawQueue(queue, m_printer->socketUri());
        m_server->pauseQueue(queue);
        target = m_server->queueUri(queue);
        request.settings = PrintSettings::withTargets({{request.portSelection, target}});
        LastError result;
        std::thread job([&] { result = PrintJob::run(request).lastError; });
        QElapsedTimer waited;
        waited.start();
        while (m_server->jobsLeft(queue).isEmpty() && waited.elapsed() < 5000)
            QTest::qWait(20);
        m_server->runClient(QStringLiteral("cancel"), {QStringLiteral("-a"), queue});
        job.join();
        return result;
    } else if (failure == "server gave the job up") {
        // The socket backend gives up on a printer that refuses the connection; the server's
        // error policy then aborts the job.
        m_server->addSocketQueue(queue, freeLocalPort(), 1);
        target = m_server->queueUri(queue);
    } else if (failure == "TLS") {
        plainHttp = std::make_unique<PlainHttpServer>();
        target = "ipps://127.0.0.1:" + QByteArray::number(plainHttp->port()) + "/printers/VR2710";
    } else if (failure == "print server silent") {
        // The system takes the connection into the backlog; nobody ever answers on it.
        silent = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in address{AF_INET, 0, {htonl(INADDR_LOOPBACK)}, {}};
        socklen_t size = sizeof address;
        ::bind(silent, reinterpret_cast<sockaddr *>(&address), size);
        ::listen(silent, 4);
        ::getsockname(silent, reinterpret_cast<sockaddr *>(&address), &size);
        target = "ipp://127.0.0.1:" + QByteArray::number(ntohs(address.sin_port)) + "/printers/X";
        request.ports.stallLimit = 300ms;
    } else if (failure == "print server answers HTTP 400") {
        plainHttp = std::make_unique<PlainHttpServer>();
        target = "ipp://127.0.0.1:" + QByteArray::number(plainHttp->port()) + "/printers/VR2710";
    } else if (failure == "stopped by a signal") {
        serial();
        request.settings = PrintSettings::withTargets({{request.portSelection, target}});
        return inChildProcess([&] {
            StopSignals::request(); // as the handler of SIGINT, SIGTERM and SIGHUP does
            return PrintJob::run(request).lastError;
        });
    }
    request.settings = PrintSettings::withTargets({{request.portSelection, target}});
    const LastError result = PrintJob::run(request).lastError;
    if (silent >= 0)
        ::close(silent);
    return result;
}

QTEST_GUILESS_MAIN(TestDocumentation)
#include "tst_documentation.moc"
