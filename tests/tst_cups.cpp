// SPDX-FileCopyrightText: 2026 The VR2710 Demo Developers
// SPDX-License-Identifier: MIT
// Print-server queues as a port's target, against a private cupsd (one for the whole program)
// and an IPP Everywhere printer, with the virtual printer as the printer behind them.
#include "cupsserver.h"
#include "ports/cupsconnection.h"
#include "protocol/receiptstream.h"
#include "testsupport.h"
#include "ui/mainwindow.h"

#include <QElapsedTimer>
#include <QtTest>
#include <QtWidgets>

#include <cerrno>

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
    QTest::newRow("server down") << "down" << ECONNREFUSED << true << "no print server answers";
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
        (printerLineTime(ReceiptStream::join(writesFor("LPT1")).size()) + 2 * stall.limit())
            .count();
    QVERIFY2(elapsed < bound, qPrintable(QString::number(elapsed)));
    // Nothing printed, and nothing left on the server to print later.
    if (setup != "missing" && setup != "down")
        QCOMPARE(m_server->jobsLeft(queue), QStringList());
    QCOMPARE(m_printer->receipts().size(), receiptsBefore);
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
