// SPDX-FileCopyrightText: 2026 The VR2710 Demo Developers
// SPDX-License-Identifier: MIT
// Print-server queues as a port's target, against a private cupsd (one for the whole program)
// and an IPP Everywhere printer, with the virtual printer as the printer behind them.
#include "cupsserver.h"
#include "ports/printservermodule.h"
#include "protocol/linerate.h"
#include "protocol/receiptstream.h"
#include "testsupport.h"
#include "ui/mainwindow.h"

#include <QApplication>
#include <QDateTime>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QMessageBox>
#include <QProcess>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QStringList>
#include <QTest>
#include <QThread>
#include <QTimer>

#include <cerrno>
#include <csignal>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

using namespace std::chrono_literals;

namespace {

const QDateTime Moment(QDate(2026, 12, 7), QTime(9, 30, 0));

ReceiptStream receipt()
{
    return ReceiptStream(Pitch::Cpi12, ReceiptStream::defaultBody(), Moment,
                         *CodePage::fromName(QStringLiteral("437")));
}

// The writes a job makes for its port: the serial chunks for COM, the printer-device
// operations for LPT.
QList<QByteArray> writesFor(const QString &port)
{
    if (port.startsWith("COM"))
        return receipt().serialChunks();
    QList<QByteArray> writes;
    for (const Chunk &chunk : receipt().parallelChunks())
        writes << chunk.bytes();
    return writes;
}

// A whole job through the connection: open, every write, close; the first failure.
LastError print(const QString &port, const QByteArray &target, StallBound &stall,
                bool *failedAtOpen = nullptr)
{
    const PortLocation where{port, target, DeviceKind::PrinterDevice, {}, {}};
    OpenedConnection opened = openPrintServerQueue(where, stall);
    if (failedAtOpen)
        *failedAtOpen = !opened.connection;
    if (!opened.connection)
        return opened.failure;
    for (const QByteArray &bytes : writesFor(port))
        if (const LastError failure = opened.connection->write(bytes); failure.isFailure())
            return failure;
    return opened.connection->close();
}

// The stream a job sends on the port, dated as the received one is.
QByteArray expectedReceipt(const QByteArray &received, const QString &port, const PitchCode &pitch)
{
    const ReceiptStream stream(pitch, ReceiptStream::defaultBody(), dateTimeOfReceipt(received),
                               *CodePage::fromName(QStringLiteral("437")));
    return port.startsWith("COM") ? ReceiptStream::join(stream.serialChunks())
                                  : ReceiptStream::join(stream.parallelChunks());
}

// A print server on 127.0.0.1 that misbehaves in one way, answering each request as `behaviour`
// says: "silent", "drip", "stall", "cut" (hangs up part-way through its answer), "redirect",
// "drop" (answers once, closes and stops listening), "html", "426"; "full" takes no connection
// at all (its backlog is full).
class MisbehavingServer
{
public:
    explicit MisbehavingServer(const QByteArray &behaviour)
        : m_behaviour(behaviour)
    {
        m_listener = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in address{AF_INET, 0, {htonl(INADDR_LOOPBACK)}, {}};
        socklen_t size = sizeof address;
        ::bind(m_listener, reinterpret_cast<sockaddr *>(&address), size);
        ::listen(m_listener, behaviour == "full" ? 0 : 8);
        ::getsockname(m_listener, reinterpret_cast<sockaddr *>(&address), &size);
        m_port = ntohs(address.sin_port);
        for (int &filler : m_fillers) { // Linux drops SYNs once the backlog is full
            filler = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
            if (behaviour == "full")
                ::connect(filler, reinterpret_cast<sockaddr *>(&address), size);
        }
        if (behaviour != "full")
            m_thread = std::thread([this] { serve(); });
    }
    ~MisbehavingServer()
    {
        m_quit = true;
        if (m_thread.joinable())
            m_thread.join();
        for (const int fd : {m_listener, m_fillers[0], m_fillers[1]})
            ::close(fd);
    }
    QByteArray uri() const
    {
        return "ipp://127.0.0.1:" + QByteArray::number(m_port) + "/printers/VR2710";
    }
    int requests() const { return m_requests; }

private:
    bool readable(int fd)
    {
        for (pollfd entry{fd, POLLIN, 0}; !m_quit;)
            if (::poll(&entry, 1, 20) > 0)
                return true;
        return false;
    }
    bool readRequest(int fd)
    {
        QByteArray got;
        char buffer[4096];
        static const QRegularExpression length(QStringLiteral("Content-Length: (\\d+)"));
        for (qsizetype whole = -1; whole < 0 || got.size() < whole;) {
            const ssize_t read = readable(fd) ? ::recv(fd, buffer, sizeof buffer, 0) : 0;
            if (read <= 0)
                return false;
            got.append(buffer, read);
            if (whole < 0 && got.contains("\r\n\r\n"))
                whole = got.indexOf("\r\n\r\n") + 4 +
                        length.match(QString::fromLatin1(got)).captured(1).toLongLong();
        }
        return true;
    }
    // Whether the connection stays open for another request.
    bool answer(int fd)
    {
        const auto send = [fd](const QByteArray &bytes) {
            return ::send(fd, bytes.constData(), size_t(bytes.size()), MSG_NOSIGNAL) > 0;
        };
        const QByteArray ipp = "HTTP/1.1 200 OK\r\nContent-Type: application/ipp\r\n";
        // An IPP answer: version 2.0, successful-ok, request 1, the charset and language.
        const QByteArray ok = QByteArray::fromHex("0200000000000001014700126174747269627574657"
                                                  "32d636861727365740005757466"
                                                  "2d3848001b617474726962757465732d6e61747572"
                                                  "616c2d6c616e67756167650005656e2d757303");
        if (m_behaviour == "redirect")
            return send("HTTP/1.1 301 Moved Permanently\r\nLocation: https://127.0.0.1:" +
                        QByteArray::number(m_port) +
                        "/printers/VR2710\r\nContent-Length: 0\r\n\r\n");
        if (m_behaviour == "html")
            return send("HTTP/1.1 200 OK\r\nContent-Type: text/html\r\nContent-Length: "
                        "13\r\n\r\n<html></html>");
        if (m_behaviour == "426")
            return send("HTTP/1.1 426 Upgrade Required\r\nUpgrade: TLS/1.2\r\nContent-Length: "
                        "0\r\n\r\n");
        if (m_behaviour == "drop") {
            ::shutdown(m_listener, SHUT_RDWR); // takes no more connections
            send(ipp + "Connection: close\r\nContent-Length: " + QByteArray::number(ok.size()) +
                 "\r\n\r\n" + ok);
            return false;
        }
        if (m_behaviour == "stall" || m_behaviour == "cut")
            send(ipp + "Content-Length: 1000\r\n\r\n" + ok.left(8));
        if (m_behaviour == "cut")
            return false;
        if (m_behaviour == "drip")
            for (const char byte : ipp + "Content-Length: 1000\r\n\r\n" + ok) {
                if (m_quit || !send(QByteArray(1, byte)))
                    break;
                QThread::msleep(50);
            }
        while (!m_quit) // silent, or stalled, until the test ends
            QThread::msleep(20);
        return false;
    }
    void serve()
    {
        while (readable(m_listener)) {
            const int client = ::accept(m_listener, nullptr, nullptr);
            if (client < 0)
                return;
            while (readRequest(client) && (++m_requests, answer(client)))
                ;
            ::close(client);
        }
    }

    QByteArray m_behaviour;
    int m_listener = -1;
    int m_fillers[2] = {-1, -1};
    quint16 m_port = 0;
    std::atomic<int> m_requests{0};
    std::atomic<bool> m_quit{false};
    std::thread m_thread;
};

QString describe(const LastError &error)
{
    return QStringLiteral("%1 %2: %3").arg(error.number).arg(error.source, error.description);
}

} // namespace

class TestCups : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanup();
    void rawQueueGetsTheBytesUnchanged_data();
    void rawQueueGetsTheBytesUnchanged();
    void windowPrintsToAQueue();
    void failures_data();
    void failures();
    void serverBehaviours_data();
    void serverBehaviours();
    void stopSignalInEachPhase_data();
    void stopSignalInEachPhase();
    void ippEverywherePrinter();

private:
    std::unique_ptr<PrivateCupsServer> m_server;
    std::unique_ptr<VirtualNetworkPrinter> m_printer;
};

void TestCups::initTestCase()
{
    QVERIFY2(QFileInfo(qEnvironmentVariable("VR2710_VIRTUAL_PRINTER")).isExecutable(),
             "set VR2710_VIRTUAL_PRINTER to the built vr2710-virtual-printer");
    m_server = std::make_unique<PrivateCupsServer>();
    QVERIFY2(m_server->isRunning(), qPrintable(m_server->error()));
    m_printer = std::make_unique<VirtualNetworkPrinter>();
    QVERIFY(m_printer->isRunning());
    QVERIFY(m_server->addRawQueue("VR2710", m_printer->socketUri()));
}

void TestCups::cleanup()
{
    qunsetenv("CUPS_SERVER");
}

void TestCups::rawQueueGetsTheBytesUnchanged_data()
{
    QTest::addColumn<QString>("port");
    QTest::addColumn<bool>("defaultServer");
    QTest::newRow("COM stream, ipp://") << "COM1" << false;
    QTest::newRow("LPT stream, cups:QUEUE") << "LPT1" << true;
}

void TestCups::rawQueueGetsTheBytesUnchanged()
{
    QFETCH(QString, port);
    QFETCH(bool, defaultServer);
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    QString target = QString::fromUtf8(m_server->queueUri("VR2710"));
    if (defaultServer) {
        environment.insert(QStringLiteral("CUPS_SERVER"), m_server->address());
        target = QStringLiteral("cups:VR2710");
    }
    environment.insert("VR2710_" + port, target);
    const qsizetype before = m_printer->receipts().size();

    QProcess print;
    print.setProcessEnvironment(environment);
    print.start(qEnvironmentVariable("VR2710_PRINT"), {"--port", port, "--pitch", "12"});
    QVERIFY(print.waitForFinished(15000));
    QVERIFY2(print.exitCode() == 0, print.readAllStandardError().constData());
    // Completed on the server means the printer has taken every byte.
    QCOMPARE(m_printer->receipts().size(), before + 1);
    const QByteArray received = m_printer->receipts().last();
    QCOMPARE(received, expectedReceipt(received, port, Pitch::Cpi12));
    QCOMPARE(m_server->jobsLeft("VR2710"), QStringList());
    // Straight to the queue: no temporary queue set up for it on the way.
    QCOMPARE(m_server->queues(), QStringList{"VR2710"});
}

void TestCups::windowPrintsToAQueue()
{
    writeSettingsFile({{"LPT1", m_server->queueUri("VR2710")}});
    const qsizetype before = m_printer->receipts().size();
    MainWindow window;
    window.show();
    QString boxShown;
    QTimer watch; // a failure's box would wait for OK: take it down and say what it said
    connect(&watch, &QTimer::timeout, this, [&] {
        if (auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget())) {
            boxShown = box->text();
            box->reject();
        }
    });
    watch.start(20);
    QSignalSpy finished(&window, &MainWindow::jobFinished);
    window.printReceipt(Pitch::Cpi8); // the port box shows LPT1
    QVERIFY(finished.wait(20000));
    QVERIFY2(boxShown.isEmpty(), qPrintable(boxShown));
    QCOMPARE(m_printer->receipts().size(), before + 1);
    const QByteArray received = m_printer->receipts().last();
    QCOMPARE(received, expectedReceipt(received, "LPT1", Pitch::Cpi8));
}

void TestCups::failures_data()
{
    QTest::addColumn<QString>("setup");
    QTest::addColumn<int>("number");
    QTest::addColumn<bool>("atOpen");
    QTest::addColumn<QString>("says");
    QTest::newRow("queue missing") << "missing" << ENOENT << true << "has no queue \"NOSUCH\"";
    QTest::newRow("server down") << "down" << ECONNREFUSED << true << "connection refused";
    QTest::newRow("not accepting")
        << "rejecting" << int(ErrorNumber::PrintServerRefused) << false << "cupsaccept REJECTING";
    QTest::newRow("paused") << "paused" << int(ErrorNumber::Timeout) << false
                            << "cupsenable PAUSED";
    QTest::newRow("printer refused")
        << "refused" << int(ErrorNumber::Timeout) << false << "cannot reach the printer";
}

void TestCups::failures()
{
    QFETCH(QString, setup);
    QFETCH(int, number);
    QFETCH(bool, atOpen);
    QFETCH(QString, says);

    QString queue = setup.toUpper();
    QByteArray target = m_server->queueUri(queue);
    if (setup == "missing") {
        queue = "NOSUCH";
        target = m_server->queueUri(queue);
    } else if (setup == "down") {
        target = "ipp://127.0.0.1:" + QByteArray::number(freeLocalPort()) + "/printers/VR2710";
    } else if (setup == "rejecting") {
        QVERIFY(m_server->addRawQueue(queue, m_printer->socketUri()));
        QVERIFY(m_server->rejectJobs(queue));
    } else if (setup == "paused") {
        QVERIFY(m_server->addRawQueue(queue, m_printer->socketUri()));
        QVERIFY(m_server->pauseQueue(queue));
    } else if (setup == "refused") {
        QVERIFY(m_server->addSocketQueue(queue, freeLocalPort(), 1));
    }

    const qsizetype receiptsBefore = m_printer->receipts().size();
    StallBound stall(1500ms);
    QElapsedTimer timer;
    timer.start();
    bool failedAtOpen = false;
    const LastError result = print("LPT1", target, stall, &failedAtOpen);
    const qint64 elapsed = timer.elapsed();

    QCOMPARE(result.number, number);
    QCOMPARE(failedAtOpen, atOpen);
    QVERIFY2(result.description.contains(says), qPrintable(describe(result)));
    QCOMPARE(result.source, QStringLiteral("LPT1 (%1)").arg(QString::fromUtf8(target)));
    // Bounded: the receipt's line time plus the stall bound, and one exchange for the cancel.
    const qint64 bound =
        (LineRate::lineTime(ReceiptStream::join(writesFor("LPT1")).size()) + 2 * stall.limit())
            .count();
    QVERIFY2(elapsed < bound, qPrintable(QString::number(elapsed)));
    // Nothing printed, and nothing left on the server to print later.
    if (setup != "missing" && setup != "down")
        QCOMPARE(m_server->jobsLeft(queue), QStringList());
    QCOMPARE(m_printer->receipts().size(), receiptsBefore);
}

void TestCups::serverBehaviours_data()
{
    QTest::addColumn<QByteArray>("behaviour");
    QTest::addColumn<int>("number"); // 0: printed
    QTest::addColumn<QString>("says");
    const int timeout = ErrorNumber::Timeout, answer = ErrorNumber::PrintServerAnswer;
    QTest::newRow("silent") << QByteArray("silent") << timeout << "it sent no answer";
    QTest::newRow("drips its answer") << QByteArray("drip") << timeout << "a few bytes at a time";
    QTest::newRow("stalls mid-answer") << QByteArray("stall") << timeout << "then nothing more";
    QTest::newRow("redirects to https") << QByteArray("redirect") << answer << "use ipps://";
    QTest::newRow("drops the connection and stops accepting")
        << QByteArray("drop") << ECONNREFUSED << "connection refused";
    QTest::newRow("cuts its answer short") << QByteArray("cut") << answer << "cut short";
    QTest::newRow("not IPP") << QByteArray("html") << answer << "is not IPP (text/html)";
    QTest::newRow("asks for TLS") << QByteArray("426") << answer << "HTTP status 426";
    QTest::newRow("keeps no job history") << QByteArray("history off") << 0 << "";
}

void TestCups::serverBehaviours()
{
    QFETCH(QByteArray, behaviour);
    QFETCH(int, number);
    QFETCH(QString, says);
    std::unique_ptr<MisbehavingServer> responder;
    std::unique_ptr<PrivateCupsServer> forgetful;
    QByteArray target;
    if (behaviour == "history off") {
        forgetful = std::make_unique<PrivateCupsServer>("PreserveJobHistory No");
        QVERIFY(forgetful->addRawQueue("VR2710", m_printer->socketUri()));
        target = forgetful->queueUri("VR2710");
    } else {
        responder = std::make_unique<MisbehavingServer>(behaviour);
        target = responder->uri();
    }
    StallBound stall(1500ms);
    QElapsedTimer timer;
    timer.start();
    const LastError result = print("LPT1", target, stall);
    QCOMPARE(result.number, number);
    QVERIFY2(result.description.contains(says), qPrintable(describe(result)));
    // One bound, and a cancel's.
    QVERIFY2(timer.elapsed() < 2500, qPrintable(QString::number(timer.elapsed())));
    if (responder)
        QVERIFY2(responder->requests() <= 2, qPrintable(QString::number(responder->requests())));
}

void TestCups::stopSignalInEachPhase_data()
{
    QTest::addColumn<QByteArray>("phase");
    QTest::addColumn<int>("signal");
    QTest::newRow("connecting, SIGTERM") << QByteArray("full") << int(SIGTERM);
    QTest::newRow("an exchange, SIGINT") << QByteArray("silent") << int(SIGINT);
    QTest::newRow("waiting for completion, SIGHUP") << QByteArray("paused") << int(SIGHUP);
}

void TestCups::stopSignalInEachPhase()
{
    QFETCH(QByteArray, phase);
    QFETCH(int, signal);
    std::unique_ptr<MisbehavingServer> responder;
    QByteArray target;
    if (phase == "paused") {
        QVERIFY(m_server->addRawQueue("STOPPED", m_printer->socketUri()));
        QVERIFY(m_server->pauseQueue("STOPPED"));
        target = m_server->queueUri("STOPPED");
    } else {
        responder = std::make_unique<MisbehavingServer>(phase);
        target = responder->uri();
    }
    QProcess print;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("VR2710_LPT1", target);
    print.setProcessEnvironment(environment);
    print.start(qEnvironmentVariable("VR2710_PRINT"), QStringList());
    QVERIFY(print.waitForStarted());
    if (phase == "paused")
        QTRY_VERIFY_WITH_TIMEOUT(!m_server->jobsLeft("STOPPED").isEmpty(), 5000);
    else
        QTest::qWait(300);
    QCOMPARE(print.state(), QProcess::Running);
    ::kill(pid_t(print.processId()), signal);
    QElapsedTimer stopping;
    stopping.start();
    QVERIFY(print.waitForFinished(5000));
    QVERIFY2(stopping.elapsed() < 1000, QByteArray::number(stopping.elapsed()));
    QCOMPARE(print.exitCode(), 128 + signal);
    QVERIFY2(print.readAllStandardError().contains("The job was stopped"), "not as stopped");
    // Cancelled on the server: nothing prints when the queue is resumed.
    if (phase == "paused")
        QCOMPARE(m_server->jobsLeft("STOPPED"), QStringList());
}

void TestCups::ippEverywherePrinter()
{
    PrivateIppPrinter ippPrinter("VR2710-IPP", m_printer->socketUri());
    QVERIFY2(ippPrinter.isRunning(), qPrintable(ippPrinter.error()));
    const qsizetype before = m_printer->receipts().size();
    StallBound stall;
    const LastError result = print("LPT1", ippPrinter.uri(), stall);
    QVERIFY2(!result.isFailure(), qPrintable(describe(result)));
    QVERIFY(m_printer->waitForReceipts(int(before) + 1));
    QCOMPARE(m_printer->receipts().last(), ReceiptStream::join(writesFor("LPT1")));
}

QTEST_MAIN(TestCups)
#include "tst_cups.moc"
