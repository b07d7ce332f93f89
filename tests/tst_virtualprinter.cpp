// SPDX-FileCopyrightText: 2026 The VR2710 Demo Developers
// SPDX-License-Identifier: MIT
// The virtual printer as a program: its options, the ports it offers, pacing, its fault modes
// and its clean-up, driven through the demo's own ports.
#include "job/printjob.h"
#include "ports/parallelport.h"
#include "ports/serialport.h"
#include "protocol/receiptstream.h"
#include "testsupport.h"
#include "virtualprinter/printeroptions.h"

#include <QByteArrayList>
#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QHostAddress>
#include <QImage>
#include <QImageReader>
#include <QMap>
#include <QProcess>
#include <QStringList>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>

#include <arpa/inet.h>
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace std::chrono_literals;

namespace {

#ifdef __SANITIZE_THREAD__
// ThreadSanitizer runs the printer several times slower than it runs for its users.
constexpr int StopBoundMs = 5000;
#else
constexpr int StopBoundMs = 1000; // a signal ends the printer within a second
#endif

// How to start the printer: its options, whether it shows receipts in the terminal, where its
// standard output goes, and its environment.
struct Launch
{
    QStringList options;
    bool quiet = true;
    int standardOutput = -1; // a descriptor to hand it as standard output; -1: ours to read
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
};

class PrinterProcess
{
public:
    explicit PrinterProcess(const QStringList &options)
        : PrinterProcess(Launch{options})
    {
    }
    explicit PrinterProcess(const Launch &launch)
    {
        m_process.setProcessChannelMode(launch.standardOutput < 0 ? QProcess::MergedChannels
                                                                  : QProcess::SeparateChannels);
        m_process.setProcessEnvironment(launch.environment);
        if (launch.standardOutput >= 0)
            m_process.setChildProcessModifier(
                [fd = launch.standardOutput] { ::dup2(fd, STDOUT_FILENO); });
        m_process.start(
            qEnvironmentVariable("VR2710_VIRTUAL_PRINTER"),
            QStringList{"--raw", "--output", receiptsFolder(), "--env-file", envFile()} +
                (launch.quiet ? QStringList{"--quiet"} : QStringList{}) + launch.options);
        m_process.waitForStarted(10000); // Running from here on, until QProcess has reaped it
        QElapsedTimer timer;
        timer.start();
        while (!QFile::exists(envFile()) && m_process.state() != QProcess::NotRunning &&
               timer.elapsed() < 10000)
            QTest::qWait(10);
        QFile env(envFile());
        if (env.open(QIODevice::ReadOnly))
            for (const QString &line :
                 QString::fromLocal8Bit(env.readAll()).split('\n', Qt::SkipEmptyParts))
                m_devices.insert(line.section('=', 0, 0), line.section('=', 1));
    }
    ~PrinterProcess()
    {
        // Ended as a user would end it, so that it removes its FIFO folder.
        m_process.terminate();
        if (!m_process.waitForFinished(5000))
            m_process.kill();
        m_process.waitForFinished();
    }

    QString device(const QString &port) const { return m_devices.value("VR2710_" + port); }
    QString receiptsFolder() const { return m_folder.filePath("receipts"); }
    QString envFile() const { return m_folder.filePath("env"); }
    QStringList images() const
    {
        return QDir(receiptsFolder()).entryList({"*.png"}, QDir::Files, QDir::Name);
    }
    QByteArray rawBytes(const QString &image) const
    {
        QFile raw(QDir(receiptsFolder()).filePath(QString(image).replace(".png", ".bin")));
        return raw.open(QIODevice::ReadOnly) ? raw.readAll() : QByteArray();
    }
    bool waitForImages(int count, int timeoutMs = 10000) const
    {
        QElapsedTimer timer;
        timer.start();
        while (images().size() < count && timer.elapsed() < timeoutMs)
            QTest::qWait(5);
        return images().size() >= count;
    }
    bool waitForOutput(const QByteArray &text, int timeoutMs = 10000)
    {
        QElapsedTimer timer;
        timer.start();
        while (!m_output.contains(text) && timer.elapsed() < timeoutMs) {
            m_process.waitForReadyRead(50);
            readOutput();
        }
        return m_output.contains(text);
    }
    QByteArray output() const { return m_output; }
    QProcess &process() { return m_process; }
    // It runs and has said where its ports are.
    bool started() const { return m_process.state() == QProcess::Running && !m_devices.isEmpty(); }
    // Why started() is false, for the test's failure.
    QString whyNotStarted()
    {
        readOutput();
        const QString said = QString::fromLocal8Bit(m_output).trimmed();
        if (m_process.state() == QProcess::NotRunning)
            return QStringLiteral("the virtual printer exited at start: ") + said;
        return QStringLiteral("the virtual printer did not get ready within 10 s: ") + said;
    }
    // Sends the signal `number` to the printer, only while it is this test's running child: never
    // to the PID 0 that processId() gives for a process that is not running, which would signal the
    // whole process group (ctest and the other tests with it). Until QProcess has seen the child
    // end, it has not reaped it either, so the PID cannot belong to anyone else.
    bool sendSignal(int number)
    {
        const qint64 pid = m_process.processId();
        if (m_process.state() != QProcess::Running || pid <= 0) {
            qWarning("not signalled: %s", qPrintable(whyNotRunning()));
            return false;
        }
        return ::kill(pid_t(pid), number) == 0;
    }
    // Ends it as Ctrl+C would; its exit code, -1 when it took longer than the second it
    // promises, or -2 when it was not running (and nothing was signalled).
    int interrupt()
    {
        if (!sendSignal(SIGINT))
            return -2;
        return m_process.waitForFinished(StopBoundMs) ? m_process.exitCode() : -1;
    }

private:
    void readOutput()
    {
        m_output += m_process.readAllStandardOutput();
        if (m_process.processChannelMode() == QProcess::SeparateChannels)
            m_output += m_process.readAllStandardError();
    }
    QString whyNotRunning()
    {
        readOutput();
        return QStringLiteral("the virtual printer is not running (exit code %1): %2")
            .arg(m_process.exitCode())
            .arg(QString::fromLocal8Bit(m_output).trimmed());
    }

    QTemporaryDir m_folder;
    QProcess m_process;
    QMap<QString, QString> m_devices;
    QByteArray m_output;
};

// Fails the test, with the printer's own words, when it is not up: it exited at start (a bad
// option, a broken settings file) or never got ready.
#define VERIFY_STARTED(printer) QVERIFY2((printer).started(), qPrintable((printer).whyNotStarted()))

// Writes all of `bytes` to `fd`; false on a failure.
bool writeAll(int fd, const QByteArray &bytes)
{
    for (qsizetype done = 0; done < bytes.size();) {
        const ssize_t wrote = ::write(fd, bytes.constData() + done, size_t(bytes.size() - done));
        if (wrote < 0 && errno != EINTR)
            return false;
        done += qMax<ssize_t>(wrote, 0);
    }
    return true;
}

QList<QByteArray> receiptChunks()
{
    return ReceiptStream(Pitch::Cpi12, ReceiptStream::defaultBody(), QDateTime::currentDateTime(),
                         *CodePage::fromName(QStringLiteral("437")))
        .serialChunks();
}

} // namespace

class TestVirtualPrinter : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void pacedSerialReceipt();
    void unpacedPrinterDeviceReceipt();
    void offlinePrinterRefusesTheOpen();
    void stallMakesTheSenderTimeOut();
    void hangupFailsTheSendersWrites();
    void stopsCleanly();
    void stopReadsWhatWasAlreadySent();
    void longReceiptIsCutInTheImageAndWholeInRaw();
    void standardOutputNeverStopsThePrinter_data();
    void standardOutputNeverStopsThePrinter();
    void assignmentsAreSafeForAShell();
    void wrongOptionIsRefused_data();
    void wrongOptionIsRefused();
    void startFailureLeavesNothingBehind_data();
    void startFailureLeavesNothingBehind();
    void networkJobsOneAfterAnother();
    void stoppedNetworkPrinterRefusesTheConnection();
    void networkPrinterHangingUpIsNoCableFault_data();
    void networkPrinterHangingUpIsNoCableFault();
    void silentConnectionDoesNotHoldUpTheNextJob();
    void burstOfNetworkJobsAllPrint();
};

void TestVirtualPrinter::initTestCase()
{
    QVERIFY2(QFileInfo(qEnvironmentVariable("VR2710_VIRTUAL_PRINTER")).isExecutable(),
             "set VR2710_VIRTUAL_PRINTER to the built vr2710-virtual-printer");
}

void TestVirtualPrinter::pacedSerialReceipt()
{
    PrinterProcess printer({"--ports", "COM1"});
    VERIFY_STARTED(printer);
    QVERIFY(printer.device("COM1").startsWith("/dev/pts/"));
    const PrintSettings settings = settingsWith("COM1", printer.device("COM1"));

    SerialPort port(settings);
    port.setPortNumber(1);
    QCOMPARE(port.open().number, 0);
    const QList<QByteArray> chunks = receiptChunks();
    QElapsedTimer sent;
    sent.start();
    for (const QByteArray &chunk : chunks)
        QCOMPARE(port.write(chunk).number, 0);
    QCOMPARE(port.close().number, 0);
    QVERIFY(printer.waitForImages(1));
    // 430 bytes at 9600 baud, 10 bits a byte, take 448 ms on the line.
    QVERIFY2(sent.elapsed() >= 400, QByteArray::number(sent.elapsed()));
    QCOMPARE(printer.rawBytes(printer.images().first()), ReceiptStream::join(chunks));
}

void TestVirtualPrinter::unpacedPrinterDeviceReceipt()
{
    // With the live window too (off screen here), which must keep up with the receipts.
    PrinterProcess printer({"--ports", "LPT1", "--no-pacing", "--window"});
    VERIFY_STARTED(printer);
    QVERIFY(printer.device("LPT1").endsWith("/lpt1"));
    const PrintSettings settings = settingsWith("LPT1", printer.device("LPT1"));

    ParallelPort port(settings);
    QCOMPARE(port.open(QStringLiteral("LPT1")).number, 0);
    const QList<QByteArray> chunks = receiptChunks();
    QByteArray expected;
    for (int copy = 0; copy < 2; ++copy)
        for (const QByteArray &chunk : chunks) {
            QCOMPARE(port.print(chunk, false).number, 0);
            expected += chunk;
        }
    QCOMPARE(port.close().number, 0);
    QVERIFY(printer.waitForImages(2, 3000)); // two form feeds, two receipts
    QCOMPARE(printer.rawBytes(printer.images().at(0)) + printer.rawBytes(printer.images().at(1)),
             expected);
    QImage image(QDir(printer.receiptsFolder()).filePath(printer.images().first()));
    QCOMPARE(image.width(), 598);
    QCOMPARE(printer.process().state(), QProcess::Running);
}

void TestVirtualPrinter::offlinePrinterRefusesTheOpen()
{
    PrinterProcess printer({"--ports", "LPT1", "--printer-offline"});
    VERIFY_STARTED(printer);
    const PrintSettings settings = settingsWith("LPT1", printer.device("LPT1"));
    ParallelPort port(settings);
    QCOMPARE(port.open(QStringLiteral("LPT1")).number, ENXIO);
}

void TestVirtualPrinter::stallMakesTheSenderTimeOut()
{
    PrinterProcess printer({"--ports", "LPT1", "--no-pacing", "--stall", "100"});
    VERIFY_STARTED(printer);
    const PrintSettings settings = settingsWith("LPT1", printer.device("LPT1"));
    PortSystem system;
    system.stallLimit = 500ms;
    ParallelPort port(settings, system);
    QCOMPARE(port.open(QStringLiteral("LPT1")).number, 0);
    QCOMPARE(port.print(QByteArray(1 << 20, 'x'), true).number, ErrorNumber::Timeout);
    port.close();
    QVERIFY(printer.waitForOutput("stopped reading after 100 bytes"));
}

void TestVirtualPrinter::hangupFailsTheSendersWrites()
{
    PrinterProcess printer({"--ports", "COM1", "--no-pacing", "--hangup-after", "10"});
    VERIFY_STARTED(printer);
    const PrintSettings settings = settingsWith("COM1", printer.device("COM1"));
    SerialPort port(settings);
    port.setPortNumber(1);
    QCOMPARE(port.open().number, 0);
    QCOMPARE(port.write("0123456789ABCDEF").number, 0);
    QVERIFY(printer.waitForOutput("hung up after 10 bytes"));
    const LastError error = port.write("more");
    QVERIFY(error.isFailure());
    port.close();
    // What came before the hang-up is kept as an uncut receipt.
    QVERIFY(printer.waitForImages(1));
    QCOMPARE(printer.rawBytes(printer.images().first()), QByteArray("0123456789"));
}

void TestVirtualPrinter::stopsCleanly()
{
    PrinterProcess printer({"--ports", "COM1,LPT1"});
    VERIFY_STARTED(printer);
    const QString fifo = printer.device("LPT1");
    QVERIFY(QFileInfo(fifo).exists());
    QVERIFY(printer.sendSignal(SIGTERM));
    QVERIFY(printer.process().waitForFinished(5000));
    QCOMPARE(printer.process().exitCode(), 0);
    QVERIFY(!QFileInfo::exists(fifo));
    QVERIFY(!QFileInfo::exists(QFileInfo(fifo).path()));
}

void TestVirtualPrinter::stopReadsWhatWasAlreadySent()
{
    // As the demo leaves it when it ends under ./run.sh: a whole receipt handed to the
    // pseudo-terminal, most of it not yet read at 9600 baud, when the printer is told to stop.
    PrinterProcess printer({"--ports", "COM1,LPT1", "--baud", "9600"});
    VERIFY_STARTED(printer);
    QByteArray receipt = "\x1bP";
    for (int line = 1; line <= 300; ++line)
        receipt += QByteArray::number(line).rightJustified(4, '0') + " SODA POP     *1   $3.25\r\n";
    receipt += '\x0c';
    QVERIFY(receipt.size() > 9000); // 9.6 s on the line
    const int line = ::open(QFile::encodeName(printer.device("COM1")).constData(),
                            O_WRONLY | O_NOCTTY | O_CLOEXEC);
    QVERIFY(line >= 0);
    QVERIFY(writeAll(line, receipt));
    ::close(line);
    QElapsedTimer stopping;
    stopping.start();
    QVERIFY(printer.sendSignal(SIGTERM));
    // What waits is read at once, not at the line's rate.
    QVERIFY(printer.process().waitForFinished(5000));
    QVERIFY2(stopping.elapsed() < 5000, QByteArray::number(stopping.elapsed()));
    QCOMPARE(printer.process().exitCode(), 0);
    QCOMPARE(printer.images().size(), 1);
    QCOMPARE(printer.rawBytes(printer.images().first()), receipt);
    QVERIFY(!QFileInfo::exists(QFileInfo(printer.device("LPT1")).path()));
}

void TestVirtualPrinter::longReceiptIsCutInTheImageAndWholeInRaw()
{
    PrinterProcess printer({"--ports", "LPT1", "--no-pacing"});
    VERIFY_STARTED(printer);
    const PrintSettings settings = settingsWith("LPT1", printer.device("LPT1"));
    QByteArray sent;
    for (int line = 1; line <= 1500; ++line)
        sent += QByteArray::number(line) + "\r\n";
    sent += '\x0c';
    ParallelPort port(settings);
    QCOMPARE(port.open(QStringLiteral("LPT1")).number, 0);
    QCOMPARE(port.print(sent, false).number, 0);
    QCOMPARE(port.close().number, 0);
    QVERIFY(printer.waitForImages(1));

    QCOMPARE(printer.rawBytes(printer.images().first()), sent);
    QImageReader::setAllocationLimit(512);
    const QImage image(QDir(printer.receiptsFolder()).filePath(printer.images().first()));
    // 1000 lines of 1/6 inch at 200 dpi, with 0.25 inch above and 0.35 inch below.
    QCOMPARE(image.height(), 120 + 33334);
    // The last of them is the note, drawn in the markers' red.
    const int noteTop = 50 + 999 * 200 / 6;
    bool red = false;
    for (int y = noteTop; y < noteTop + 33 && !red; ++y)
        for (int x = 0; x < image.width() && !red; ++x)
            red = qRed(image.pixel(x, y)) > 150 && qGreen(image.pixel(x, y)) < 100;
    QVERIFY(red);
}

void TestVirtualPrinter::standardOutputNeverStopsThePrinter_data()
{
    QTest::addColumn<bool>("readerGone");
    QTest::newRow("closed: the reader has gone") << true;
    QTest::newRow("full: nobody reads") << false;
}

void TestVirtualPrinter::standardOutputNeverStopsThePrinter()
{
    QFETCH(bool, readerGone);
    int pipe[2];
    QCOMPARE(::pipe2(pipe, O_CLOEXEC), 0);
    ::fcntl(pipe[1], F_SETPIPE_SZ, 4096); // full after a receipt or two
    if (readerGone)
        ::close(pipe[0]);
    Launch launch{{"--ports", "LPT1", "--no-pacing"}, false, pipe[1]};
    PrinterProcess printer(launch);
    VERIFY_STARTED(printer);
    ::close(pipe[1]);
    const PrintSettings settings = settingsWith("LPT1", printer.device("LPT1"));

    QByteArray receipt;
    for (int line = 1; line <= 40; ++line)
        receipt += "1. SODA POP           *1   $3.25\r\n";
    receipt += '\x0c';
    ParallelPort port(settings);
    QCOMPARE(port.open(QStringLiteral("LPT1")).number, 0);
    for (int copy = 0; copy < 10; ++copy)
        QCOMPARE(port.print(receipt, false).number, 0);
    QCOMPARE(port.close().number, 0);
    QVERIFY(printer.waitForImages(10));

    const QString fifoFolder = QFileInfo(printer.device("LPT1")).path();
    QCOMPARE(printer.interrupt(), 0);
    QVERIFY(!QFileInfo::exists(fifoFolder));
    const QByteArray errors = printer.process().readAllStandardError();
    QCOMPARE(errors.count("standard output failed (Broken pipe)"), readerGone ? 1 : 0);
    if (!readerGone)
        ::close(pipe[0]);
}

void TestVirtualPrinter::assignmentsAreSafeForAShell()
{
    QTemporaryDir scratch;
    const QString hostile = scratch.filePath("t;touch INJECTED;x $(touch INJECTED) `touch "
                                             "INJECTED` it's \"odd\"\nline two");
    QVERIFY(QDir().mkpath(hostile));
    Launch launch{{"--ports", "COM1,LPT1"}, true};
    launch.environment.insert("TMPDIR", hostile);
    PrinterProcess printer(launch);
    VERIFY_STARTED(printer);
    QVERIFY(printer.waitForOutput("Receipts go to"));
    const QByteArray output = printer.output();
    const qsizetype exportAt = output.indexOf("export ");
    const QByteArray exportLine =
        output.mid(exportAt, output.indexOf("\nReceipts go to") - exportAt);

    // What each way of reading the assignments makes of VR2710_LPT1.
    const auto shell = [&](const QString &program, const QString &script, const QStringList &args) {
        QProcess process;
        process.setWorkingDirectory(scratch.path());
        process.start(program, QStringList{"-c", script, "sh"} + args);
        process.waitForFinished(10000);
        return process.readAllStandardOutput();
    };
    const QString printLpt = QStringLiteral("printf %s \"$VR2710_LPT1\"");
    const QByteArray sourced = shell("sh", ". \"$1\"; " + printLpt, {printer.envFile()});
    const QByteArray evaluated = shell("sh", "eval \"$1\"; " + printLpt, {exportLine});
    const QByteArray read = shell(
        "bash", ". \"$1\"; load_printer_env \"$2\"; " + printLpt,
        {qEnvironmentVariable("VR2710_SOURCE_DIR") + "/scripts/printer-env.sh", printer.envFile()});

    QVERIFY2(sourced.startsWith(QFile::encodeName(hostile) + "/vr2710-printer-"), sourced);
    struct stat status
    {
    };
    QCOMPARE(::stat(sourced.constData(), &status), 0);
    QVERIFY(S_ISFIFO(status.st_mode));
    QCOMPARE(evaluated, sourced);
    QCOMPARE(read, sourced);
    QVERIFY(QDir(scratch.path()).entryList({"INJECTED"}).isEmpty());
}

void TestVirtualPrinter::wrongOptionIsRefused_data()
{
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<QString>("error");
    QTest::newRow("a port named twice")
        << QStringList{"--ports", "COM1,LPT1,lpt1"} << "the port LPT1 is named twice in --ports";
    QTest::newRow("a rate beyond its range")
        << QStringList{"--baud", "2147483648"}
        << "--baud needs a rate from 50 to 4000000 (or use --no-pacing), not \"2147483648\"";
    QTest::newRow("a port it does not offer")
        << QStringList{"--ports", "COM3"}
        << "unknown port \"COM3\" in --ports: use COM1, COM2 or LPT1";
}

void TestVirtualPrinter::wrongOptionIsRefused()
{
    QFETCH(QStringList, options);
    QFETCH(QString, error);
    const PrinterOptions::Outcome read = PrinterOptions::read(QStringList{"printer"} + options);
    QVERIFY(!read.options);
    QCOMPARE(read.error, error);
}

void TestVirtualPrinter::startFailureLeavesNothingBehind_data()
{
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<QString>("cause");
    QTest::newRow("the env file in a missing folder")
        << QStringList{"--env-file", "@/missing/env"} << "No such file or directory";
    QTest::newRow("the output folder under a file")
        << QStringList{"--output", "@/file/receipts"} << "Not a directory";
    QTest::newRow("the network port taken")
        << QStringList{"--tcp", "@port"} << "Address already in use";
    QTest::newRow("an unknown option") << QStringList{"--colour"} << "Unknown option 'colour'";
}

void TestVirtualPrinter::startFailureLeavesNothingBehind()
{
    QFETCH(QStringList, options);
    QFETCH(QString, cause);
    QTemporaryDir scratch;
    QTcpServer taken;
    QVERIFY(taken.listen(QHostAddress::LocalHost));
    QFile(scratch.filePath("file")).open(QIODevice::WriteOnly);
    QVERIFY(QDir().mkpath(scratch.filePath("tmp")));
    for (QString &option : options)
        option.replace("@port", QString::number(taken.serverPort())).replace("@", scratch.path());

    Launch launch{options};
    launch.environment.insert("TMPDIR", scratch.filePath("tmp"));
    // Qt makes a runtime folder in TMPDIR where none is set; not ours to count.
    launch.environment.insert("XDG_RUNTIME_DIR", scratch.path());
    PrinterProcess printer(launch);
    QVERIFY(printer.process().state() == QProcess::NotRunning ||
            printer.process().waitForFinished(10000));
    QCOMPARE(printer.process().exitCode(), 2);
    const QByteArray said = printer.process().readAll();
    QVERIFY2(said.contains(cause.toUtf8()), qPrintable(cause + " not in: " + said));
    QCOMPARE(QDir(scratch.filePath("tmp")).entryList(QDir::AllEntries | QDir::NoDotAndDotDot),
             QStringList());
    QVERIFY(!QFileInfo::exists(printer.receiptsFolder()));
}

void TestVirtualPrinter::networkJobsOneAfterAnother()
{
    // Any port may name the network printer; each job is one connection.
    PrinterProcess printer({"--tcp", "0", "--no-pacing"});
    VERIFY_STARTED(printer);
    const QString address = printer.device("LPT1");
    QVERIFY2(address.startsWith("socket://127.0.0.1:"), qPrintable(address));
    const QDateTime moment(QDate(2026, 12, 7), QTime(9, 5, 1));
    PrintRequest request{.portSelection = QStringLiteral("LPT1"),
                         .settings = PrintSettings::withTargets(
                             {{"LPT1", address.toUtf8()}, {"COM1", address.toUtf8()}}),
                         .now = [&] { return moment; }};
    QCOMPARE(PrintJob::run(request).lastError.number, 0);
    request.portSelection = QStringLiteral("COM1");
    request.pitch = Pitch::Cpi8;
    QCOMPARE(PrintJob::run(request).lastError.number, 0);
    QVERIFY(printer.waitForImages(2));

    const CodePage page = *CodePage::fromName(QStringLiteral("437"));
    const QString body = ReceiptStream::defaultBody();
    QCOMPARE(printer.rawBytes(printer.images().at(0)),
             ReceiptStream::join(ReceiptStream(Pitch::Cpi15, body, moment, page).parallelChunks()));
    QCOMPARE(printer.rawBytes(printer.images().at(1)),
             ReceiptStream::join(ReceiptStream(Pitch::Cpi8, body, moment, page).serialChunks()));
}

void TestVirtualPrinter::stoppedNetworkPrinterRefusesTheConnection()
{
    QString address;
    {
        PrinterProcess printer({"--tcp", "0"});
        VERIFY_STARTED(printer);
        address = printer.device("LPT1");
        QCOMPARE(printer.interrupt(), 0);
    }
    ParallelPort port(settingsWith("LPT1", address));
    const LastError error = port.open(QStringLiteral("LPT1"));
    QCOMPARE(error.number, ECONNREFUSED);
    QCOMPARE(error.source, "LPT1 (" + address + ")");
    QVERIFY2(error.description.startsWith("connection refused"), qPrintable(error.description));
    QVERIFY(!port.isOpen());
}

void TestVirtualPrinter::networkPrinterHangingUpIsNoCableFault_data()
{
    QTest::addColumn<int>("bytes");
    QTest::addColumn<bool>("pausedWhileWritten"); // the printer reads nothing until it is queued
    QTest::newRow("during a write") << (4 << 20) << false;
    // The kernel queues a few MiB for a printer that has not read yet (one that is slow under
    // load): then the hang-up meets the job only as it closes.
    QTest::newRow("after the last write was queued") << (1 << 20) << true;
}

void TestVirtualPrinter::networkPrinterHangingUpIsNoCableFault()
{
    QFETCH(int, bytes);
    QFETCH(bool, pausedWhileWritten);
    PrinterProcess printer({"--tcp", "0", "--no-pacing", "--hangup-after", "10"});
    VERIFY_STARTED(printer);
    ParallelPort port(settingsWith("LPT1", printer.device("LPT1")));
    QCOMPARE(port.open(QStringLiteral("LPT1")).number, 0);
    QVERIFY(!pausedWhileWritten || printer.sendSignal(SIGSTOP));
    const LastError written = port.print(QByteArray(bytes, 'x'), false);
    QVERIFY(!pausedWhileWritten || printer.sendSignal(SIGCONT));
    const LastError closed = port.close();
    QVERIFY2(!pausedWhileWritten || (!written.isFailure() && closed.isFailure()),
             "close() must report a hang-up that came once the whole job was queued");
    QCOMPARE(closed.isFailure(), !written.isFailure()); // reported once, where it met the job
    const LastError &error = written.isFailure() ? written : closed;
    QVERIFY2(error.number == ECONNRESET || error.number == EPIPE, qPrintable(error.description));
    QVERIFY2(error.description.contains(QLatin1String("printer closed the connection")) &&
                 !error.description.contains(QLatin1String("cable")),
             qPrintable(error.description));
}

void TestVirtualPrinter::silentConnectionDoesNotHoldUpTheNextJob()
{
    PrinterProcess printer({"--tcp", "0", "--no-pacing", "--tcp-idle", "1"});
    VERIFY_STARTED(printer);
    const QUrl address(printer.device("LPT1"));
    QVERIFY2(address.port() > 0, qPrintable(address.toString()));
    QTcpSocket silent;
    silent.connectToHost(QHostAddress::LocalHost, quint16(address.port()));
    QVERIFY(silent.waitForConnected(5000));

    // Taken in turn after the silent one, which must give way within its idle second.
    const QByteArray job = "SECOND JOB\r\n\x0c";
    QTcpSocket next;
    next.connectToHost(QHostAddress::LocalHost, quint16(address.port()));
    QVERIFY(next.waitForConnected(5000));
    next.write(job);
    QVERIFY(next.waitForBytesWritten(5000));
    next.disconnectFromHost();
    QVERIFY(printer.waitForImages(1, 5000));
    QCOMPARE(printer.rawBytes(printer.images().first()), job);
}

void TestVirtualPrinter::burstOfNetworkJobsAllPrint()
{
    // 100 jobs connect at once while the printer serves one at a time: all wait their turn.
    PrinterProcess printer({"--tcp", "0", "--no-pacing"});
    VERIFY_STARTED(printer);
    const QUrl address(printer.device("LPT1"));
    QVERIFY2(address.port() > 0, qPrintable(address.toString()));
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(quint16(address.port()));
    to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);

    constexpr int Jobs = 100;
    QList<int> sockets;
    const auto closeAll = qScopeGuard([&] {
        for (const int socket : std::as_const(sockets))
            ::close(socket);
    });
    for (int job = 0; job < Jobs; ++job) {
        const int socket = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
        QVERIFY(socket >= 0);
        sockets << socket;
        const int started = ::connect(socket, reinterpret_cast<sockaddr *>(&to), sizeof to);
        QVERIFY2(started == 0 || errno == EINPROGRESS, strerror(errno));
    }
    // Each sends its receipt and closes its end as soon as it is connected; none may fail.
    QByteArrayList sent;
    QElapsedTimer timer;
    timer.start();
    for (int job = 0; job < Jobs; ++job) {
        pollfd connected{sockets[job], POLLOUT, 0};
        QVERIFY2(::poll(&connected, 1, 20000) == 1, "a connection was not taken within 20 s");
        int failure = 0;
        socklen_t size = sizeof failure;
        QCOMPARE(::getsockopt(sockets[job], SOL_SOCKET, SO_ERROR, &failure, &size), 0);
        QVERIFY2(failure == 0,
                 qPrintable(QStringLiteral("job %1: %2").arg(job).arg(strerror(failure))));
        sent << "JOB " + QByteArray::number(job) + "\r\n\x0c";
        QCOMPARE(
            ::send(sockets[job], sent.last().constData(), size_t(sent.last().size()), MSG_NOSIGNAL),
            ssize_t(sent.last().size()));
        QCOMPARE(::shutdown(sockets[job], SHUT_WR), 0);
    }
    QVERIFY2(
        printer.waitForImages(Jobs, 30000),
        qPrintable(QStringLiteral("%1 of %2 receipts").arg(printer.images().size()).arg(Jobs)));
    QByteArrayList printed;
    for (const QString &image : printer.images())
        printed << printer.rawBytes(image);
    std::sort(printed.begin(), printed.end());
    std::sort(sent.begin(), sent.end());
    QCOMPARE(printed, sent);
}

QTEST_GUILESS_MAIN(TestVirtualPrinter)
#include "tst_virtualprinter.moc"
