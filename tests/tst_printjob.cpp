// SPDX-FileCopyrightText: 2026 The VR2710 Demo Developers
// SPDX-License-Identifier: MIT
#include "failure/catalogue.h"
#include "job/printjob.h"
#include "testsupport.h"

#include <QDateTime>
#include <QFile>
#include <QMap>
#include <QStringList>
#include <QTemporaryDir>
#include <QTest>

#include <climits>

namespace {

const QDateTime FixedMoment(QDate(2026, 5, 6), QTime(7, 8, 9));

// Records every operation on the job's connection as a line of text, and the bytes written;
// fails the operations listed in `failures` ("open", "write 9", "close").
struct ConnectionLog
{
    QStringList calls;
    QList<QByteArray> written;
    QMap<QString, LastError> failures;

    LastError record(const QString &call, const QString &operation)
    {
        calls << call;
        return failures.value(operation);
    }
};

class FakeConnection : public Connection
{
public:
    explicit FakeConnection(ConnectionLog &log)
        : m_log(log)
    {
    }
    LastError write(const QByteArray &bytes) override
    {
        m_log.written << bytes;
        return m_log.record(QStringLiteral("write"),
                            QStringLiteral("write %1").arg(m_log.written.size()));
    }
    LastError close() override
    {
        return m_log.record(QStringLiteral("close"), QStringLiteral("close"));
    }

private:
    ConnectionLog &m_log;
};

LastError failure(qint32 number, const QString &source)
{
    LastError error;
    error.number = number;
    error.source = source;
    error.description = QStringLiteral("failure %1").arg(number);
    return error;
}

// A request whose ports open fake connections that write into the log.
PrintRequest fakeRequest(const QString &selection, ConnectionLog &log)
{
    PrintRequest request{
        .portSelection = selection,
        .settings = PrintSettings::withTargets(
            {{"COM1", "/dev/ttyS0"}, {"COM2", "/dev/ttyS1"}, {"LPT1", "/dev/lp0"}}),
        .now = [] { return FixedMoment; }};
    request.ports.open = [&log](const PortLocation &where, const PortSystem &,
                                StallBound &stall) -> OpenedConnection {
        const LastError failed = log.record(
            QStringLiteral("open %1 %2").arg(where.portName, QString::fromUtf8(where.devicePath)),
            QStringLiteral("open"));
        if (failed.isFailure())
            return {nullptr, failed};
        stall.progressed(0);
        return {std::make_unique<FakeConnection>(log), {}};
    };
    return request;
}

QByteArray expectedStream(const QString &selection, const PitchCode &pitch, const QString &body)
{
    const ReceiptStream stream(pitch, body, FixedMoment,
                               *CodePage::fromName(QStringLiteral("437")));
    return selection == QLatin1String("LPT1") ? ReceiptStream::join(stream.parallelChunks())
                                              : ReceiptStream::join(stream.serialChunks());
}

// A failure at a port whose target VR2710_<port> set.
Failure at(FailureKind kind, const QString &port, const QByteArray &target, TargetIs is,
           int errnum = 0)
{
    Failure failure(kind);
    failure.errnum = errnum;
    failure.place.port = port;
    failure.place.target = target;
    failure.place.serialLine = port.startsWith(QLatin1String("COM"));
    failure.place.targetIs = is;
    failure.place.setIn = FailurePlace::SetIn::Environment;
    failure.place.variable = QStringLiteral("VR2710_") + port;
    failure.detail = QStringLiteral("socket://\nipp://\n");
    return failure;
}

} // namespace

Q_DECLARE_METATYPE(Failure)

using Failures = QMap<QString, int>;

class TestPrintJob : public QObject
{
    Q_OBJECT

private slots:
    void portChoice_data();
    void portChoice();
    void sendsTheStreamChunkByChunk_data();
    void sendsTheStreamChunkByChunk();
    void failures_data();
    void failures();
    void unknownCodePageSendsNothing();
    void errorBoxText_data();
    void errorBoxText();
    void catalogue_data();
    void catalogue();
    void realPortsReleaseDevices_data();
    void realPortsReleaseDevices();
};

void TestPrintJob::portChoice_data()
{
    QTest::addColumn<QString>("selection");
    QTest::addColumn<QStringList>("calls"); // operations on the connection, without the writes
    QTest::addColumn<QString>("statusCaption");

    QTest::newRow("COM1") << "COM1" << QStringList{"open COM1 /dev/ttyS0", "close"}
                          << "VR2710 Printing ...";
    QTest::newRow("COM2") << "COM2" << QStringList{"open COM2 /dev/ttyS1", "close"}
                          << "VR2710 Printing ...";
    QTest::newRow("LPT1") << "LPT1" << QStringList{"open LPT1 /dev/lp0", "close"}
                          << "VR2710 Printing...LPT1";
    QTest::newRow("lower case lpt1") << "lpt1" << QStringList() << QString();
    QTest::newRow("leading space") << " COM1" << QStringList() << QString();
    QTest::newRow("trailing space") << "COM2 " << QStringList() << QString();
    QTest::newRow("COM3") << "COM3" << QStringList() << QString();
    QTest::newRow("empty") << "" << QStringList() << QString();
}

void TestPrintJob::portChoice()
{
    QFETCH(QString, selection);
    QFETCH(QStringList, calls);
    QFETCH(QString, statusCaption);

    ConnectionLog log;
    QList<JobStatus> statuses;
    const PrintResult result = PrintJob::run(fakeRequest(selection, log),
                                             [&](const JobStatus &status) { statuses << status; });

    QStringList touched = log.calls;
    touched.removeAll(QStringLiteral("write"));
    QCOMPARE(touched, calls);
    QCOMPARE(result.printed, !calls.isEmpty());
    QVERIFY(!result.failed());
    if (calls.isEmpty()) {
        QVERIFY(statuses.isEmpty()); // the caption is left alone
        return;
    }
    QCOMPARE(statuses.first().caption, statusCaption);
    // Progress ends with every byte of the receipt taken.
    const qint64 total =
        expectedStream(selection, Pitch::Cpi15, ReceiptStream::defaultBody()).size();
    QCOMPARE(statuses.last().bytesTotal, total);
}

void TestPrintJob::sendsTheStreamChunkByChunk_data()
{
    QTest::addColumn<QString>("selection");
    QTest::addColumn<QString>("pitch");
    QTest::addColumn<QString>("body");
    QTest::addColumn<QByteArray>("firstWrite");

    QTest::newRow("serial: nine writes")
        << "COM2" << Pitch::Cpi12 << QStringLiteral("edited\r\nbody") << QByteArray("\x07\x1bP");
    QTest::newRow("printer device: eight prints, line ends included")
        << "LPT1" << Pitch::Cpi8 << ReceiptStream::defaultBody() << QByteArray("\x07\x1b:\r\n");
}

void TestPrintJob::sendsTheStreamChunkByChunk()
{
    QFETCH(QString, selection);
    QFETCH(QString, pitch);
    QFETCH(QString, body);
    QFETCH(QByteArray, firstWrite);

    ConnectionLog log;
    PrintRequest request = fakeRequest(selection, log);
    request.pitch = pitch;
    request.body = body;
    PrintJob::run(request);

    const ReceiptStream stream(pitch, body, FixedMoment,
                               *CodePage::fromName(QStringLiteral("437")));
    QList<QByteArray> chunks = stream.serialChunks();
    if (selection == QLatin1String("LPT1")) {
        chunks.clear();
        for (const Chunk &chunk : stream.parallelChunks())
            chunks << chunk.bytes();
    }
    QCOMPARE(log.written, chunks);
    QCOMPARE(log.written.first(), firstWrite);
}

void TestPrintJob::failures_data()
{
    QTest::addColumn<QString>("selection");
    QTest::addColumn<Failures>("failures"); // operation -> error number
    QTest::addColumn<int>("shownNumber");

    QTest::newRow("open fails: every write fails after it, the last says so")
        << "COM1" << Failures{{"open", 2}} << ErrorNumber::PortNotOpen;
    QTest::newRow("the last failure wins, not the first")
        << "COM2" << Failures{{"write 2", 5}, {"write 4", 110}} << 110;
    QTest::newRow("a failing close is the last failure")
        << "COM2" << Failures{{"write 3", 5}, {"close", 9002}} << 9002;
    QTest::newRow("printer device: a print fails") << "LPT1" << Failures{{"write 6", 28}} << 28;
    QTest::newRow("negative number") << "LPT1" << Failures{{"close", -5}} << -5;
}

void TestPrintJob::failures()
{
    QFETCH(QString, selection);
    QFETCH(Failures, failures);
    QFETCH(int, shownNumber);

    ConnectionLog log;
    for (auto it = failures.cbegin(); it != failures.cend(); ++it)
        log.failures.insert(it.key(), failure(it.value(), QStringLiteral("port")));
    const PrintResult result = PrintJob::run(fakeRequest(selection, log));

    QCOMPARE(result.lastError.number, shownNumber);
    if (failures.contains(QStringLiteral("open"))) {
        QCOMPARE(log.calls.size(), 1); // nothing reached a device
        QVERIFY2(result.lastError.description.contains(QLatin1String("failure 2")),
                 qPrintable(result.lastError.description));
        return;
    }
    // Every step ran despite the failures.
    QCOMPARE(log.written.size(), selection == QLatin1String("LPT1") ? 8 : 9);
    QCOMPARE(log.calls.last(), QStringLiteral("close"));
    QCOMPARE(::errorBoxText(result.lastError), ::errorBoxText(failure(shownNumber, "port")));
}

void TestPrintJob::unknownCodePageSendsNothing()
{
    qputenv("VR2710_CODEPAGE", "65001");
    ConnectionLog log;
    PrintRequest request = fakeRequest(QStringLiteral("COM2"), log);
    request.settings = PrintSettings::load();
    qunsetenv("VR2710_CODEPAGE");
    request.ports = fakeRequest(QStringLiteral("COM2"), log).ports;
    const PrintResult result = PrintJob::run(request);

    QVERIFY(log.calls.isEmpty()); // no half receipt in an unknown encoding
    QCOMPARE(result.lastError.number, ErrorNumber::UnknownCodePage);
    QVERIFY2(
        result.lastError.description.contains(QLatin1String("VR2710_CODEPAGE is set to \"65001\"")),
        qPrintable(result.lastError.description));
}

void TestPrintJob::errorBoxText_data()
{
    QTest::addColumn<int>("number");
    QTest::addColumn<QString>("text");

    QTest::newRow("positive: two spaces after #")
        << 13 << "Error #  13 was generated by COM2 (/dev/ttyS1)\rPermission denied.";
    QTest::newRow("zero") << 0
                          << "Error #  0 was generated by COM2 (/dev/ttyS1)\rPermission denied.";
    QTest::newRow("negative: minus right after the space")
        << -2147221504
        << "Error # -2147221504 was generated by COM2 (/dev/ttyS1)\rPermission denied.";
    QTest::newRow("smallest 32-bit number")
        << INT_MIN << "Error # -2147483648 was generated by COM2 (/dev/ttyS1)\rPermission denied.";
}

void TestPrintJob::errorBoxText()
{
    QFETCH(int, number);
    QFETCH(QString, text);

    LastError error;
    error.number = number;
    error.source = QStringLiteral("COM2 (/dev/ttyS1)");
    error.description = QStringLiteral("Permission denied.");
    QCOMPARE(::errorBoxText(error), text);
    QVERIFY(!text.contains(QLatin1Char('\n'))); // one CR, no LF
}

void TestPrintJob::catalogue_data()
{
    QTest::addColumn<Failure>("failure");
    QTest::addColumn<int>("number");
    QTest::addColumn<QString>("says");
    QTest::addColumn<QString>("never"); // what was once said there and is not true

    const auto file = TargetIs::File;
    QTest::newRow("an unknown kind of address on LPT1")
        << at(FailureKind::UnknownTargetKind, "LPT1", "lpd://x/y", file) << int(EINVAL)
        << "(socket://..., ipp://...). Correct VR2710_LPT1. A file whose name has a colon before "
           "any \"/\" is written with ./ before it, as ./name:x."
        << "./lpd:";
    QTest::newRow("an unknown kind of address on COM1, which prints to no file")
        << at(FailureKind::UnknownTargetKind, "COM1", "lpd:x", file) << int(EINVAL)
        << "Correct VR2710_COM1."
        << "./";
    QTest::newRow("a missing file as a COM port's target")
        << at(FailureKind::System, "COM1", "receipt.prn", file, ENOENT) << int(ENOENT)
        << "never to a file (only LPT1 can): set VR2710_COM1 to the serial device"
        << "Connect the printer";
    QTest::newRow("/dev/tty without a terminal")
        << at(FailureKind::System, "LPT1", "/dev/tty", TargetIs::ControllingTerminal, ENXIO)
        << int(ENXIO) << "a terminal, not a printer"
        << "pipe";
    QTest::newRow("a file of /proc")
        << at(FailureKind::System, "LPT1", "/proc/self/mem", TargetIs::SystemFile, EIO) << int(EIO)
        << "/proc/self/mem is a file of the system's /proc or /sys, not a printer"
        << "cable";
    Failure forbidden = at(FailureKind::ServerHttpError, "LPT1", "ipp://s/printers/Q", file);
    forbidden.exchange.httpStatus = 403;
    QTest::newRow("a print server's refusal in HTTP's words")
        << forbidden << int(EACCES) << "asks for a user name and password"
        << "HTTP status 403.";
}

void TestPrintJob::catalogue()
{
    QFETCH(Failure, failure);
    QFETCH(int, number);
    QFETCH(QString, says);
    QFETCH(QString, never);

    const LastError error = Catalogue::describe(failure);
    QCOMPARE(error.number, number);
    QCOMPARE(error.source, Catalogue::portSource(failure.place.port, failure.place.target));
    QVERIFY2(error.description.contains(says), qPrintable(error.description));
    QVERIFY2(!error.description.contains(never), qPrintable(error.description));
}

void TestPrintJob::realPortsReleaseDevices_data()
{
    QTest::addColumn<QString>("selection");
    QTest::addColumn<QByteArray>("device");
    QTest::addColumn<int>("shownNumber"); // 0: no failure

    QTest::newRow("serial to a pseudo-terminal") << "COM2" << QByteArray("pty") << 0;
    QTest::newRow("serial device missing")
        << "COM2" << QByteArray("/dev/vr2710-missing") << ErrorNumber::PortNotOpen;
    QTest::newRow("print to file") << "LPT1" << QByteArray("file") << 0;
    QTest::newRow("printer device missing")
        << "LPT1" << QByteArray("/dev/vr2710-missing") << ErrorNumber::PortNotOpen;
}

void TestPrintJob::realPortsReleaseDevices()
{
    QFETCH(QString, selection);
    QFETCH(QByteArray, device);
    QFETCH(int, shownNumber);

    PseudoTerminal pty;
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("receipt.prn"));
    const QByteArray path = device == "pty"    ? QFile::encodeName(pty.slavePath())
                            : device == "file" ? QFile::encodeName(file)
                                               : device;
    const int descriptorsBefore = openDescriptorCount();
    const PrintRequest request{.portSelection = selection,
                               .pitch = Pitch::Cpi12,
                               .settings = settingsWith(selection, path),
                               .now = [] { return FixedMoment; }};
    const PrintResult result = PrintJob::run(request);

    QCOMPARE(openDescriptorCount(), descriptorsBefore);
    QCOMPARE(result.lastError.number, shownNumber);
    const QByteArray expected = expectedStream(selection, Pitch::Cpi12, request.body);
    if (device == "pty")
        QCOMPARE(pty.read(), expected);
    if (device == "file") {
        QFile printed(file);
        QVERIFY(printed.open(QIODevice::ReadOnly));
        QCOMPARE(printed.readAll(), expected);
    }
}

QTEST_GUILESS_MAIN(TestPrintJob)
#include "tst_printjob.moc"
