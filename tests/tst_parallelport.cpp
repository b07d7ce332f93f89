// SPDX-FileCopyrightText: 2026 The VR2710 Demo Developers
// SPDX-License-Identifier: MIT
#include "ports/parallelport.h"
#include "testsupport.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

#include <cerrno>
#include <ctime>
#include <linux/lp.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace std::chrono_literals;

namespace {

QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
}

PrintSettings lpt1At(const QString &path)
{
    return settingsWith("LPT1", path);
}

// The ports' system, with a fake device's calls in place of the system's.
PortSystem withCalls(DeviceCalls &calls, std::chrono::milliseconds stallLimit)
{
    PortSystem system;
    system.calls = &calls;
    system.stallLimit = stallLimit;
    return system;
}

QByteArray readBytesAt(const QByteArray &path)
{
    QByteArray bytes;
    if (FILE *file = ::fopen(path.constData(), "rb")) {
        char buffer[4096];
        size_t got;
        while ((got = ::fread(buffer, 1, sizeof buffer, file)) > 0)
            bytes.append(buffer, qsizetype(got));
        ::fclose(file);
    }
    return bytes;
}

// Names under /dev that no device has; the tests check that none of them ever appears.
QByteArray unusedDeviceName(char suffix)
{
    return "/dev/vr2710-test-" + QByteArray::number(::getpid()) + '-' + suffix;
}

// A printer device that never takes data, whose poll nevertheless always says writable, as the
// parallel-port driver's does; or one whose writes fail with an errno. It can report a status.
class FakePrinter : public DeviceCalls
{
public:
    int writeErrno = EAGAIN;
    int status = -1; // -1: answers LPGETSTATUS with ENOTTY
    int writes = 0;

    ssize_t write(int, const char *, size_t) override
    {
        ++writes;
        errno = writeErrno;
        return -1;
    }
    int poll(int, short, int) override { return 1; }
    int printerStatus(int, int *result) override
    {
        if (status < 0) {
            errno = ENOTTY;
            return -1;
        }
        *result = status;
        return 0;
    }
};

qint64 threadCpuMs()
{
    timespec now{};
    ::clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return qint64(now.tv_sec) * 1000 + now.tv_nsec / 1000000;
}

} // namespace

class TestParallelPort : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void printToFile_data();
    void printToFile();
    void fifoWithReaderGetsExactBytes();
    void openFailures_data();
    void openFailures();
    void printWhileNotOpen();
    void stalledReaderFailsWithinBound();
    void readerGoneMidJob();
    void permissionDenied_data();
    void permissionDenied();
    void targetResolution_data();
    void targetResolution();
    void secondJobAtOnceIsBusy();
    void busyPrinterWaitsWithoutSpinning();
    void printerStatus_data();
    void printerStatus();

private:
    QTemporaryDir m_dir;
    int m_descriptorsBefore = 0;
};

void TestParallelPort::init()
{
    m_descriptorsBefore = openDescriptorCount();
}

void TestParallelPort::cleanup()
{
    QCOMPARE(openDescriptorCount(), m_descriptorsBefore); // every path releases the device
}

void TestParallelPort::printToFile_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<bool>("lineEnd");
    QTest::addColumn<QByteArray>("expected");

    QTest::newRow("text and line end")
        << QByteArray("\x07\x1bM") << true << QByteArray("\x07\x1bM\r\n");
    QTest::newRow("text alone") << QByteArray("\x14") << false << QByteArray("\x14");
    QTest::newRow("empty text with line end") << QByteArray() << true << QByteArray("\r\n");
    QTest::newRow("empty text alone") << QByteArray() << false << QByteArray();
    QTest::newRow("NUL and high bytes")
        << QByteArray("a\0\xff", 3) << true << QByteArray("a\0\xff\r\n", 5);
}

void TestParallelPort::printToFile()
{
    QFETCH(QByteArray, text);
    QFETCH(bool, lineEnd);
    QFETCH(QByteArray, expected);

    const QString path = m_dir.filePath(QStringLiteral("receipt.prn"));
    QFile old(path);
    QVERIFY(old.open(QIODevice::WriteOnly));
    old.write("an older and much longer print that must not survive");
    old.close();

    ParallelPort port(lpt1At(path));
    QCOMPARE(port.open(QStringLiteral("LPT1")).number, 0);
    QCOMPARE(port.print(text, lineEnd).number, 0);
    QCOMPARE(port.close().number, 0);
    QVERIFY(!port.isOpen());
    QCOMPARE(readFile(path), expected);
}

void TestParallelPort::fifoWithReaderGetsExactBytes()
{
    const QString path = m_dir.filePath(QStringLiteral("lpt1"));
    QCOMPARE(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
    QByteArray expected;
    {
        FifoReader reader(path);
        ParallelPort port(lpt1At(path));
        QCOMPARE(port.open(QStringLiteral("LPT1")).number, 0);
        // Larger than a pipe holds, so the port must wait for the reader and resume.
        const QByteArray big(200000, 'x');
        for (const QByteArray &text : {QByteArray("\x07\x1b:"), big, QByteArray("\x0c")}) {
            QCOMPARE(port.print(text, true).number, 0);
            expected += text + "\r\n";
        }
        QCOMPARE(port.close().number, 0);
        QCOMPARE(reader.result(), expected);
    }
}

void TestParallelPort::openFailures_data()
{
    QTest::addColumn<QString>("portName");
    QTest::addColumn<QString>("device"); // relative names lie in the test's folder
    QTest::addColumn<int>("number");
    QTest::addColumn<QString>("advice");

    QTest::newRow("FIFO without a reader (printer off line)")
        << "LPT1"
        << "fifo" << ENXIO << "the printer is off line";
    QTest::newRow("missing device under /dev")
        << "LPT1"
        << "/dev/vr2710-no-such-printer" << ENOENT << "set VR2710_LPT1";
    QTest::newRow("missing folder")
        << "LPT1"
        << "no/such/folder/receipt.prn" << ENOENT << "Check that the folder";
    QTest::newRow("a folder") << "LPT1"
                              << "." << EISDIR << "is a folder";
    QTest::newRow("a network printer that never answers")
        << "LPT1"
        << "unanswered" << ErrorNumber::Timeout << "connected to the network";
    QTest::newRow("not a port name") << "lpt1" << QString() << ENOENT << "No device is known";
}

void TestParallelPort::openFailures()
{
    QFETCH(QString, portName);
    QFETCH(QString, device);
    QFETCH(int, number);
    QFETCH(QString, advice);

    const QString path = device.startsWith(QLatin1Char('/')) || device.isEmpty()
                             ? device
                             : QDir(m_dir.path()).absoluteFilePath(device);
    QString target = path;
    if (device == QLatin1String("fifo"))
        QCOMPARE(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
    // A listener whose accept queue is full: the kernel drops every further connection request.
    int listener = -1;
    int queued = -1;
    const auto closeSockets = qScopeGuard([&] {
        ::close(queued);
        ::close(listener);
    });
    if (device == QLatin1String("unanswered")) {
        listener = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        queued = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in address{AF_INET, 0, {htonl(INADDR_LOOPBACK)}, {}};
        socklen_t size = sizeof address;
        const auto at = reinterpret_cast<sockaddr *>(&address);
        QVERIFY(::bind(listener, at, size) == 0 && ::listen(listener, 0) == 0 &&
                ::getsockname(listener, at, &size) == 0 && ::connect(queued, at, size) == 0);
        target = QStringLiteral("socket://127.0.0.1:%1").arg(ntohs(address.sin_port));
    }
    PortSystem system;
    system.stallLimit = 500ms;
    ParallelPort port(lpt1At(target), system);
    QElapsedTimer timer;
    timer.start();
    const LastError error = port.open(portName);
    QVERIFY2(timer.elapsed() < 1000, "opening must fail within its bound, never block");
    QCOMPARE(error.number, number);
    QVERIFY2(error.description.contains(advice), qPrintable(error.description));
    QVERIFY(error.source.startsWith(portName));
    QVERIFY(!port.isOpen());
    if (path.startsWith(QLatin1String("/dev/")))
        QVERIFY2(!QFileInfo::exists(path), "nothing may be created under /dev");
    QCOMPARE(port.close().number, 0);
}

void TestParallelPort::printWhileNotOpen()
{
    ParallelPort port(lpt1At(QStringLiteral("/dev/vr2710-no-such-printer")));
    LastError error = port.print("x", false);
    QCOMPARE(error.number, ErrorNumber::PortNotOpen);

    // After a failed open the reason is repeated, so the user learns why nothing printed.
    QCOMPARE(port.open(QStringLiteral("LPT1")).number, ENOENT);
    error = port.print("x", true);
    QCOMPARE(error.number, ErrorNumber::PortNotOpen);
    QCOMPARE(error.source, QStringLiteral("LPT1 (/dev/vr2710-no-such-printer)"));
    QVERIFY2(error.description.contains(QLatin1String("No such file or directory")),
             qPrintable(error.description));
}

void TestParallelPort::stalledReaderFailsWithinBound()
{
    const QString path = m_dir.filePath(QStringLiteral("stalled"));
    QCOMPARE(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
    FifoReader reader(path, /*stalled=*/true);

    PortSystem system;
    system.stallLimit = 400ms;
    ParallelPort port(lpt1At(path), system);
    QCOMPARE(port.open(QStringLiteral("LPT1")).number, 0);
    QElapsedTimer timer;
    timer.start();
    const LastError error = port.print(QByteArray(300000, 'x'), true);
    const qint64 firstFailure = timer.elapsed();
    QCOMPARE(error.number, ErrorNumber::Timeout);
    QVERIFY2(error.description.contains(QLatin1String("on line")), qPrintable(error.description));
    QVERIFY2(firstFailure >= 350 && firstFailure < 3000, QByteArray::number(firstFailure));

    // The stall is counted once per job: later prints and the close do not wait again.
    timer.restart();
    QCOMPARE(port.print("\x14", false).number, ErrorNumber::Timeout);
    port.close();
    QVERIFY(!port.isOpen());
    QVERIFY2(timer.elapsed() < 300, QByteArray::number(timer.elapsed()));
}

void TestParallelPort::readerGoneMidJob()
{
    const QString path = m_dir.filePath(QStringLiteral("gone"));
    QCOMPARE(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
    ParallelPort port(lpt1At(path));
    {
        FifoReader reader(path, /*stalled=*/true);
        QCOMPARE(port.open(QStringLiteral("LPT1")).number, 0);
        QCOMPARE(port.print("first", true).number, 0);
    } // the reader goes away; a write now raises SIGPIPE, which must not end the program
    const LastError error = port.print("second", true);
    QCOMPARE(error.number, EPIPE);
    QVERIFY2(error.description.contains(QLatin1String("connection to the printer was lost")),
             qPrintable(error.description));
    QCOMPARE(port.close().number, 0);
}

void TestParallelPort::permissionDenied_data()
{
    QTest::addColumn<QString>("folder");
    QTest::addColumn<QString>("advice");

    QTest::newRow("outside /dev") << m_dir.path() << "Check the permissions";
    if (QFileInfo(QStringLiteral("/dev/shm")).isWritable())
        QTest::newRow("printer node under /dev") << "/dev/shm"
                                                 << "\"lp\" group";
}

void TestParallelPort::permissionDenied()
{
    QFETCH(QString, folder);
    QFETCH(QString, advice);

    const QString path = folder + QStringLiteral("/vr2710-test-denied-%1").arg(::getpid());
    QCOMPARE(::mkfifo(QFile::encodeName(path).constData(), 0), 0); // nobody may open it
    ::chmod(QFile::encodeName(m_dir.path()).constData(), 0755);
    const LastError error = runWithoutPrivileges([&] {
        ParallelPort port(lpt1At(path));
        LastError result = port.open(QStringLiteral("LPT1"));
        port.close();
        return result;
    });
    QFile::remove(path);
    QCOMPARE(error.number, EACCES);
    QVERIFY2(error.description.contains(advice), qPrintable(error.description));
}

void TestParallelPort::targetResolution_data()
{
    // "@" stands for the test's folder; "created" is where the print must land, if anywhere.
    QTest::addColumn<QByteArray>("spelling");
    QTest::addColumn<int>("number");
    QTest::addColumn<QByteArray>("created");

    QTest::newRow("symlink to a missing device")
        << QByteArray("@/to-dev") << ENOENT << QByteArray();
    QTest::newRow("double slash") << "/" + unusedDeviceName('b') << ENOENT << QByteArray();
    QTest::newRow("dot") << "/." + unusedDeviceName('c') << ENOENT << QByteArray();
    QTest::newRow("dot dot into /dev")
        << "@/sub/../../../.." + unusedDeviceName('d') << ENOENT << QByteArray();
    QTest::newRow("dot dot and slashes in the folder")
        << QByteArray("@//sub/./../out.prn") << 0 << QByteArray("@/out.prn");
    QTest::newRow("bytes that are not UTF-8")
        << QByteArray("@/\xff\xfe-x.prn") << 0 << QByteArray("@/\xff\xfe-x.prn");
    QTest::newRow("an address of no known kind is no file name")
        << QByteArray("socket:127.0.0.1:9100") << int(EINVAL) << QByteArray();
    QTest::newRow("a path with a colon is a file")
        << QByteArray("@/socket:x") << 0 << QByteArray("@/socket:x");
}

void TestParallelPort::targetResolution()
{
    QFETCH(QByteArray, spelling);
    QFETCH(int, number);
    QFETCH(QByteArray, created);

    const auto removeStrays = qScopeGuard([] {
        for (const char suffix : {'a', 'b', 'c', 'd'})
            ::unlink(unusedDeviceName(suffix).constData());
    });
    const QByteArray folder = QFile::encodeName(m_dir.path());
    QDir(m_dir.path()).mkpath(QStringLiteral("sub"));
    ::symlink(unusedDeviceName('a').constData(), (folder + "/to-dev").constData());
    ParallelPort port(settingsWith("LPT1", spelling.replace('@', folder)));
    QCOMPARE(port.open(QStringLiteral("LPT1")).number, number);
    QCOMPARE(port.print("receipt", true).number, number == 0 ? 0 : ErrorNumber::PortNotOpen);
    QCOMPARE(port.close().number, 0);

    for (const char suffix : {'a', 'b', 'c', 'd'})
        QVERIFY2(::access(unusedDeviceName(suffix).constData(), F_OK) != 0,
                 "nothing may be created under /dev");
    if (!created.isEmpty())
        QCOMPARE(readBytesAt(created.replace('@', folder)), QByteArray("receipt\r\n"));
    QVERIFY2(!QFileInfo::exists(QString::fromUtf8(spelling)) || spelling.startsWith('/'),
             "an address must never become a file here");
}

void TestParallelPort::secondJobAtOnceIsBusy()
{
    const QString path = m_dir.filePath(QStringLiteral("shared"));
    QCOMPARE(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
    FifoReader reader(path);
    ParallelPort first(lpt1At(path));
    ParallelPort second(lpt1At(path));
    QCOMPARE(first.open(QStringLiteral("LPT1")).number, 0);

    const LastError busy = second.open(QStringLiteral("LPT1"));
    QCOMPARE(busy.number, EBUSY);
    const QString holder = QStringLiteral("is in use by process %1").arg(::getpid());
    QVERIFY2(busy.description.startsWith(QStringLiteral("LPT1 (%1) ").arg(path) + holder),
             qPrintable(busy.description));
    QCOMPARE(second.print("second", true).number, ErrorNumber::PortNotOpen);

    QCOMPARE(first.print("first", true).number, 0);
    QCOMPARE(first.close().number, 0);
    QCOMPARE(reader.result(), QByteArray("first\r\n")); // nothing of the second job in between
}

void TestParallelPort::busyPrinterWaitsWithoutSpinning()
{
    FakePrinter printer;
    ParallelPort port(lpt1At(m_dir.filePath(QStringLiteral("busy.prn"))),
                      withCalls(printer, 600ms));
    QCOMPARE(port.open(QStringLiteral("LPT1")).number, 0);

    QElapsedTimer timer;
    timer.start();
    const qint64 cpuBefore = threadCpuMs();
    const LastError error = port.print("receipt", true);
    const qint64 cpu = threadCpuMs() - cpuBefore;
    const qint64 elapsed = timer.elapsed();
    port.close();

    QCOMPARE(error.number, ErrorNumber::Timeout);
    QVERIFY2(elapsed >= 550 && elapsed < 3000, QByteArray::number(elapsed));
    // Spinning would use the whole 600 ms and call write millions of times.
    QVERIFY2(cpu < 60, QByteArray::number(cpu) + " ms of CPU");
    QVERIFY2(printer.writes < 100, QByteArray::number(printer.writes) + " writes");
}

void TestParallelPort::printerStatus_data()
{
    QTest::addColumn<int>("writeErrno");
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("text");

    QTest::newRow("off line") << int(EIO) << LP_PERRORP << "off line";
    QTest::newRow("out of paper") << int(ENOSPC) << (LP_POUTPA | LP_PSELECD | LP_PERRORP)
                                  << "out of paper";
    QTest::newRow("printer error") << int(EIO) << int(LP_PSELECD) << "reports an error";
    QTest::newRow("no status to tell") << int(EIO) << -1 << "connection to the printer was lost";
}

void TestParallelPort::printerStatus()
{
    QFETCH(int, writeErrno);
    QFETCH(int, status);
    QFETCH(QString, text);

    FakePrinter printer;
    printer.writeErrno = writeErrno;
    printer.status = status;
    ParallelPort port(lpt1At(m_dir.filePath(QStringLiteral("status.prn"))),
                      withCalls(printer, StallBound::DefaultLimit));
    QCOMPARE(port.open(QStringLiteral("LPT1")).number, 0);
    const LastError error = port.print("receipt", true);
    port.close();
    QCOMPARE(error.number, writeErrno);
    QVERIFY2(error.description.contains(text), qPrintable(error.description));
}

QTEST_GUILESS_MAIN(TestParallelPort)
#include "tst_parallelport.moc"
