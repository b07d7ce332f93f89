// SPDX-FileCopyrightText: 2026 The VR2710 Demo Developers
// SPDX-License-Identifier: MIT
// Checks what run-driver-test.sh captured from the kernel's real drivers in a virtual machine:
// each receipt byte for byte, and the job whose USB-serial adapter was unplugged.
#include "testsupport.h"

#include <QFile>
#include <QHash>
#include <QStringList>
#include <QTest>

namespace {

// What the guest reported about one vr2710-print run.
struct JobResult
{
    int exitCode = -1;
    QString standardError;
};

QByteArray readCapture(const QString &name)
{
    QFile file(qEnvironmentVariable("VR2710_DRIVER_CAPTURES") + QLatin1Char('/') + name);
    if (!file.open(QIODevice::ReadOnly))
        qFatal("cannot read %s", qPrintable(file.fileName()));
    return file.readAll();
}

// The receipts in a captured stream, each up to and including its form feed; what follows the
// last form feed comes last.
QList<QByteArray> splitReceipts(const QByteArray &stream)
{
    QList<QByteArray> receipts;
    qsizetype start = 0;
    for (qsizetype end; (end = stream.indexOf('\f', start)) >= 0; start = end + 1)
        receipts << stream.mid(start, end + 1 - start);
    receipts << stream.mid(start);
    return receipts;
}

// Console lines "@@JOB <name> exit=<code> ..." and "@@STDERR <name> <text>".
QHash<QString, JobResult> readJobResults(const QByteArray &console)
{
    QHash<QString, JobResult> jobs;
    for (const QByteArray &line : console.split('\n')) {
        const QString text = QString::fromUtf8(line).remove(QLatin1Char('\r'));
        const QStringList words = text.split(QLatin1Char(' '));
        if (words.size() >= 3 && words[0] == QLatin1String("@@JOB"))
            jobs[words[1]].exitCode = words[2].mid(5).toInt();
        else if (words.size() >= 2 && words[0] == QLatin1String("@@STDERR"))
            jobs[words[1]].standardError += text.section(QLatin1Char(' '), 2) + QLatin1Char('\n');
    }
    return jobs;
}

QByteArray expectedParallelReceipt(const QByteArray &received, const PitchCode &pitch)
{
    const ReceiptStream stream(pitch, ReceiptStream::defaultBody(), dateTimeOfReceipt(received),
                               *CodePage::fromName(QStringLiteral("437")));
    return ReceiptStream::join(stream.parallelChunks());
}

} // namespace

class TestDrivers : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void receipt_data();
    void receipt();
    void unplugInTheMiddleOfAJob();

private:
    QHash<QString, JobResult> m_jobs;
    QByteArray m_console;
};

void TestDrivers::initTestCase()
{
    QVERIFY2(qEnvironmentVariableIsSet("VR2710_DRIVER_CAPTURES"),
             "run through tests/drivers/run-driver-test.sh, which boots the virtual machine");
    m_console = readCapture(QStringLiteral("console.log"));
    m_jobs = readJobResults(m_console);
}

void TestDrivers::receipt_data()
{
    QTest::addColumn<QString>("job");
    QTest::addColumn<QString>("capture");
    QTest::addColumn<int>("index");
    QTest::addColumn<PitchCode>("pitch");
    QTest::addColumn<bool>("parallel");
    QTest::addColumn<bool>("faultJobFollows");

    const struct
    {
        const char *port, *driver, *capture;
        bool parallel, faultJobFollows;
    } devices[] = {{"COM1", "ftdi_sio", "ttyUSB0.bin", false, true},
                   {"COM2", "8250", "ttyS1.bin", false, false},
                   {"LPT1", "lp", "lp0.bin", true, false}};
    const struct
    {
        const char *cpi;
        PitchCode code;
    } pitches[] = {{"15", Pitch::Cpi15}, {"12", Pitch::Cpi12}, {"8", Pitch::Cpi8}};

    for (const auto &device : devices) {
        for (int index = 0; index < 3; ++index) {
            QTest::addRow("%s %s %s CPI", device.port, device.driver, pitches[index].cpi)
                << QStringLiteral("%1-%2").arg(device.port, pitches[index].cpi)
                << QString::fromLatin1(device.capture) << index << pitches[index].code
                << device.parallel << device.faultJobFollows;
        }
    }
}

void TestDrivers::receipt()
{
    QFETCH(QString, job);
    QFETCH(QString, capture);
    QFETCH(int, index);
    QFETCH(PitchCode, pitch);
    QFETCH(bool, parallel);
    QFETCH(bool, faultJobFollows);

    QVERIFY2(m_jobs.contains(job), qPrintable("the guest never reported " + job));
    QVERIFY2(m_jobs[job].exitCode == 0, qPrintable(m_jobs[job].standardError));
    // Three receipts, then only the fault job's bytes where it followed.
    const QList<QByteArray> receipts = splitReceipts(readCapture(capture));
    QCOMPARE(receipts.size(), 4);
    if (!faultJobFollows)
        QCOMPARE(receipts[3], QByteArray());
    const QByteArray received = receipts[index];
    QVERIFY2(dateTimeOfReceipt(received).isValid(), received.constData());
    QCOMPARE(received, parallel
                           ? expectedParallelReceipt(received, pitch)
                           : expectedSerialReceipt(received, pitch, ReceiptStream::defaultBody()));
}

void TestDrivers::unplugInTheMiddleOfAJob()
{
    const QString job = QStringLiteral("unplug");
    QVERIFY2(m_jobs.contains(job), "the guest never reported the unplugged job");
    QCOMPARE(m_jobs[job].exitCode, 1);
    QVERIFY2(
        m_jobs[job].standardError.contains(QLatin1String("was generated by COM1 (/dev/ttyUSB0)")),
        qPrintable(m_jobs[job].standardError));

    // What arrived is the start of the receipt, and not all of it.
    const QByteArray sent = splitReceipts(readCapture(QStringLiteral("ttyUSB0.bin"))).value(3);
    const QByteArray whole = expectedSerialReceipt(
        sent, Pitch::Cpi15, QString::fromLatin1(readCapture(QStringLiteral("fault-body.txt"))));
    QVERIFY(!sent.isEmpty());
    QVERIFY2(sent.size() < whole.size(), "the whole receipt arrived: the unplug came too late");
    QVERIFY2(whole.startsWith(sent), "the bytes before the unplug differ from the receipt");

    // The job's uucp lock goes with it, on the failure path too.
    const qsizetype reported = m_console.indexOf("@@LOCKS");
    QVERIFY2(reported >= 0, "the guest never listed its lock files");
    QByteArray locks = m_console.mid(reported);
    locks.truncate(locks.indexOf('\n'));
    QVERIFY2(!locks.contains("LCK.."), locks.constData());
}

QTEST_GUILESS_MAIN(TestDrivers)
#include "tst_drivers.moc"
