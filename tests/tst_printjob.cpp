// SPDX-FileCopyrightText: 2026 The VR2710 Demo Developers
// SPDX-License-Identifier: MIT
#include "ports/abstractports.h"
#include "ports/parallelport.h"
#include "ports/serialport.h"
#include "receipt/printjob.h"
#include "testsupport.h"

#include <QtTest>

#include <climits>

namespace {

const QDateTime FixedMoment(QDate(2026, 5, 6), QTime(7, 8, 9));

// Records every port operation as a line of text; fails the operations listed in `failures`.
class PortLog
{
public:
    QStringList calls;
    QMap<QString, LastError> failures; // operation name ("open", "write 9", ...) -> failure

    LastError record(const QString &call, const QString &operation)
    {
        calls << call;
        return failures.value(operation);
    }
};

class FakeSerialPort : public AbstractSerialPort
{
public:
    explicit FakeSerialPort(PortLog &log)
        : m_log(log)
    {
    }
    QList<QByteArray> written;

    LastError setPortNumber(qint16 number) override
    {
        return m_log.record(QStringLiteral("serial port %1").arg(number), QStringLiteral("number"));
    }
    LastError open() override
    {
        m_open = true;
        return m_log.record(QStringLiteral("serial open"), QStringLiteral("open"));
    }
    LastError write(const QByteArray &bytes) override
    {
        written << bytes;
        return m_log.record(QStringLiteral("serial write"),
                            QStringLiteral("write %1").arg(written.size()));
    }
    LastError close() override
    {
        m_open = false;
        return m_log.record(QStringLiteral("serial close"), QStringLiteral("close"));
    }
    bool isOpen() const override { return m_open; }

private:
    PortLog &m_log;
    bool m_open = false;
};

class FakeParallelPort : public AbstractParallelPort
{
public:
    explicit FakeParallelPort(PortLog &log)
        : m_log(log)
    {
    }
    QList<Chunk> printed;

    LastError open(const QString &deviceName) override
    {
        m_open = true;
        return m_log.record(QStringLiteral("parallel open ") + deviceName, QStringLiteral("open"));
    }
    LastError print(const QByteArray &text, bool lineEnd) override
    {
        printed << Chunk{text, lineEnd};
        return m_log.record(QStringLiteral("parallel print"),
                            QStringLiteral("print %1").arg(printed.size()));
    }
    LastError close() override
    {
        m_open = false;
        return m_log.record(QStringLiteral("parallel close"), QStringLiteral("close"));
    }
    bool isOpen() const override { return m_open; }

private:
    PortLog &m_log;
    bool m_open = false;
};

LastError failure(qint32 number, const QString &source)
{
    LastError error;
    error.number = number;
    error.source = source;
    error.description = QStringLiteral("failure %1").arg(number);
    return error;
}

struct Rig
{
    PortLog log;
    FakeSerialPort serial{log};
    FakeParallelPort parallel{log};
    FakeWindow window;
    PrintJob job{window, serial, parallel, [] { return FixedMoment; }};
};

} // namespace

using Failures = QMap<QString, int>;

class TestPrintJob : public QObject
{
    Q_OBJECT

private slots:
    void cleanup();

    void portChoice_data();
    void portChoice();
    void serialJobSendsTheStream();
    void parallelJobPrintsTheStream();
    void serialNameWinsOverParallel();
    void failures_data();
    void failures();
    void cleanJobAfterFailedJobShowsNoBox();
    void unknownCodePageSendsNothing();
    void errorBoxText_data();
    void errorBoxText();
    void realPortsReleaseDevices_data();
    void realPortsReleaseDevices();
};

void TestPrintJob::cleanup()
{
    qunsetenv("VR2710_CODEPAGE");
    qunsetenv("VR2710_COM2");
    qunsetenv("VR2710_LPT1");
}

void TestPrintJob::portChoice_data()
{
    QTest::addColumn<QString>("selection");
    QTest::addColumn<QStringList>("calls"); // ports touched, in order, without the writes
    QTest::addColumn<QString>("statusCaption");

    const QStringList serial1{"serial port 1", "serial open", "serial close"};
    const QStringList serial2{"serial port 2", "serial open", "serial close"};
    const QStringList parallel{"parallel open LPT1", "parallel close"};
    QTest::newRow("COM1") << "COM1" << serial1 << "VR2710 Printing ...";
    QTest::newRow("COM2") << "COM2" << serial2 << "VR2710 Printing ...";
    QTest::newRow("LPT1") << "LPT1" << parallel << "VR2710 Printing...LPT1";
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

    Rig rig;
    rig.window.selection = selection;
    rig.job.PrintReceipt(Pitch::Cpi12);

    QStringList touched = rig.log.calls;
    touched.removeAll(QStringLiteral("serial write"));
    touched.removeAll(QStringLiteral("parallel print"));
    QCOMPARE(touched, calls);
    QStringList captions;
    if (!statusCaption.isEmpty())
        captions << statusCaption << QStringLiteral("VR2710 Print Demo Program");
    QCOMPARE(rig.window.captionsSet, captions);
    QCOMPARE(rig.window.currentCaption, QStringLiteral("VR2710 Print Demo Program"));
    QVERIFY(rig.window.boxes.isEmpty());
}

void TestPrintJob::serialJobSendsTheStream()
{
    Rig rig;
    rig.window.selection = QStringLiteral("COM2");
    rig.window.body = QStringLiteral("edited\r\nbody");
    rig.job.PrintReceipt(Pitch::Cpi12);

    const ReceiptStream expected(Pitch::Cpi12, rig.window.body, FixedMoment,
                                 *CodePage::fromName(QStringLiteral("437")));
    QCOMPARE(rig.serial.written, expected.serialChunks());
    QVERIFY(rig.serial.written.first().startsWith("\x07\x1bP"));
    QVERIFY(rig.parallel.printed.isEmpty());
}

void TestPrintJob::parallelJobPrintsTheStream()
{
    Rig rig;
    rig.window.selection = QStringLiteral("LPT1");
    rig.job.PrintReceipt(Pitch::Cpi8);

    const ReceiptStream expected(Pitch::Cpi8, ReceiptStream::defaultBody(), FixedMoment,
                                 *CodePage::fromName(QStringLiteral("437")));
    QCOMPARE(rig.parallel.printed, expected.parallelChunks());
    QCOMPARE(rig.parallel.printed.first().bytes(), QByteArray("\x07\x1b:\r\n"));
    QVERIFY(rig.serial.written.isEmpty());
}

void TestPrintJob::serialNameWinsOverParallel()
{
    Rig rig;
    rig.window.names.ParallelPortName = QStringLiteral("COM1");
    rig.window.selection = QStringLiteral("COM1");
    rig.job.PrintReceipt(Pitch::Cpi15);
    QCOMPARE(rig.serial.written.size(), 9);
    QVERIFY(rig.parallel.printed.isEmpty());
}

void TestPrintJob::failures_data()
{
    QTest::addColumn<QString>("selection");
    QTest::addColumn<Failures>("failures"); // operation -> error number
    QTest::addColumn<int>("shownNumber");

    QTest::newRow("serial open fails, every write fails after it")
        << "COM1" << Failures{{"open", 2}, {"write 1", 9001}, {"write 5", 9001}, {"write 9", 9001}}
        << 9001;
    QTest::newRow("the last failure wins, not the first")
        << "COM2" << Failures{{"write 2", 5}, {"write 4", 110}} << 110;
    QTest::newRow("a failing close is the last failure")
        << "COM2" << Failures{{"write 3", 5}, {"close", 9002}} << 9002;
    QTest::newRow("parallel print fails") << "LPT1" << Failures{{"print 6", 28}} << 28;
    QTest::newRow("parallel open and prints fail")
        << "LPT1" << Failures{{"open", 6}, {"print 1", 9001}, {"print 8", 9001}} << 9001;
    QTest::newRow("negative number") << "LPT1" << Failures{{"close", -5}} << -5;
}

void TestPrintJob::failures()
{
    QFETCH(QString, selection);
    QFETCH(Failures, failures);
    QFETCH(int, shownNumber);

    Rig rig;
    for (auto it = failures.cbegin(); it != failures.cend(); ++it)
        rig.log.failures.insert(it.key(), failure(it.value(), QStringLiteral("port")));
    rig.window.selection = selection;
    rig.job.PrintReceipt(Pitch::Cpi15);

    // Every step ran despite the failures, and exactly one box came, after the caption was back.
    QCOMPARE(rig.serial.written.size() + rig.parallel.printed.size(),
             selection.startsWith(QLatin1String("COM")) ? 9 : 8);
    QVERIFY(rig.log.calls.last().endsWith(QLatin1String("close")));
    QCOMPARE(rig.window.boxes.size(), 1);
    QCOMPARE(rig.window.captionWhenBoxShown, QStringList{"VR2710 Print Demo Program"});
    QCOMPARE(rig.window.boxes.first().title, QStringLiteral("Error"));
    QCOMPARE(rig.window.boxes.first().text, ::errorBoxText(failure(shownNumber, "port")));
}

void TestPrintJob::cleanJobAfterFailedJobShowsNoBox()
{
    Rig rig;
    rig.window.selection = QStringLiteral("COM1");
    rig.log.failures.insert(QStringLiteral("write 4"), failure(5, QStringLiteral("COM1")));
    rig.job.PrintReceipt(Pitch::Cpi15);
    QCOMPARE(rig.window.boxes.size(), 1);

    rig.log.failures.clear();
    rig.serial.written.clear();
    rig.job.PrintReceipt(Pitch::Cpi15);
    QCOMPARE(rig.window.boxes.size(), 1);
}

void TestPrintJob::unknownCodePageSendsNothing()
{
    Rig rig;
    rig.window.selection = QStringLiteral("COM2");
    qputenv("VR2710_CODEPAGE", "65001");
    rig.job.PrintReceipt(Pitch::Cpi15);

    QVERIFY(rig.log.calls.isEmpty()); // no half receipt in an unknown encoding
    QCOMPARE(rig.window.currentCaption, QStringLiteral("VR2710 Print Demo Program"));
    QCOMPARE(rig.window.boxes.size(), 1);
    QVERIFY2(rig.window.boxes.first().text.contains(
                 QLatin1String("VR2710_CODEPAGE is set to \"65001\"")),
             qPrintable(rig.window.boxes.first().text));
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

void TestPrintJob::realPortsReleaseDevices_data()
{
    QTest::addColumn<QString>("selection");
    QTest::addColumn<QByteArray>("device");
    QTest::addColumn<int>("shownNumber"); // 0: no box

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
    qputenv(selection == QLatin1String("COM2") ? "VR2710_COM2" : "VR2710_LPT1", path);

    const int descriptorsBefore = openDescriptorCount();
    SerialPort serial;
    ParallelPort parallel;
    FakeWindow window;
    window.selection = selection;
    PrintJob job(window, serial, parallel, [] { return FixedMoment; });
    job.PrintReceipt(Pitch::Cpi12);

    QVERIFY(!serial.isOpen());
    QVERIFY(!parallel.isOpen());
    QCOMPARE(openDescriptorCount(), descriptorsBefore);
    QCOMPARE(window.boxes.size(), shownNumber == 0 ? 0 : 1);
    if (shownNumber != 0)
        QVERIFY2(
            window.boxes.first().text.startsWith(QStringLiteral("Error #  %1 ").arg(shownNumber)),
            qPrintable(window.boxes.first().text));

    const ReceiptStream expected(Pitch::Cpi12, window.body, FixedMoment,
                                 *CodePage::fromName(QStringLiteral("437")));
    if (device == "pty")
        QCOMPARE(pty.read(), ReceiptStream::join(expected.serialChunks()));
    if (device == "file") {
        QFile printed(file);
        QVERIFY(printed.open(QIODevice::ReadOnly));
        QCOMPARE(printed.readAll(), ReceiptStream::join(expected.parallelChunks()));
    }
}

QTEST_GUILESS_MAIN(TestPrintJob)
#include "tst_printjob.moc"
