// SPDX-FileCopyrightText: 2026 The VR2710 Demo Developers
// SPDX-License-Identifier: MIT
#include "ports/serialport.h"
#include "protocol/receiptstream.h"
#include "testsupport.h"

#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

using namespace std::chrono_literals;

namespace {

QByteArray readLock(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void writeLock(const QString &path, qint64 pid)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(QByteArray::number(pid).rightJustified(10, ' ') + '\n'); // as minicom writes it
}

// The ports' system, with uucp lock files made in this folder.
PortSystem lockingIn(const QTemporaryDir &folder)
{
    PortSystem system;
    system.lockFolder = QFile::encodeName(folder.path());
    return system;
}

qint64 pidOfAProcessThatHasEnded()
{
    const pid_t child = ::fork();
    if (child == 0)
        ::_exit(0);
    ::waitpid(child, nullptr, 0);
    return child;
}

// A serial line whose settings start as the opposite of the printer's, and whose output queue
// the test runs: what is written joins the queue, and each look at it sends `sendsPerLook`.
class FakeLine : public DeviceCalls
{
public:
    qint64 sendsPerLook = 0;
    qint64 queued = 0;
    qint64 sent = 0;
    termios setTo{};

    ssize_t write(int, const char *, size_t size) override
    {
        queued += qint64(size);
        return ssize_t(size);
    }
    int lineSettings(int fd, termios *settings) override
    {
        const int result = DeviceCalls::lineSettings(fd, settings);
        ::cfsetspeed(settings, B19200);
        settings->c_cflag =
            (settings->c_cflag & ~(CSIZE | CLOCAL)) | CS7 | PARENB | CSTOPB | CRTSCTS;
        settings->c_iflag |= IXON | IXOFF;
        settings->c_oflag |= OPOST;
        return result;
    }
    int setLineSettings(int, const termios &settings) override
    {
        setTo = settings;
        return 0;
    }
    int queuedOutput(int, int *count) override
    {
        const qint64 leaving = std::min(sendsPerLook, queued);
        queued -= leaving;
        sent += leaving;
        *count = int(queued);
        return 0;
    }
};

} // namespace

class TestSerialPort : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void receiptReachesPtyByteForByte_data();
    void receiptReachesPtyByteForByte();
    void tailSurvivesImmediateClose();
    void lineAsTheJobLeavesIt_data();
    void lineAsTheJobLeavesIt();
    void readerDisappearsMidJob();
    void writeBeforeOpenNamesThePort();
    void failures_data();
    void failures();
    void permissionDeniedAdvisesDialout();
    void portNumberFixedWhileOpen();
    void lineHeldElsewhereIsBusy_data();
    void lineHeldElsewhereIsBusy();
    void staleLockTakenOverByExactlyOneJob();
    void staleLockIsTakenOver();
    void secondJobAtOnceIsBusy();
    void systemConsoleIsRefused();

private:
    int m_descriptorsBefore = 0;
};

void TestSerialPort::init()
{
    m_descriptorsBefore = openDescriptorCount();
}

void TestSerialPort::cleanup()
{
    QCOMPARE(openDescriptorCount(), m_descriptorsBefore);
}

void TestSerialPort::receiptReachesPtyByteForByte_data()
{
    QTest::addColumn<QString>("pitch");
    QTest::addColumn<QString>("body");

    QTest::newRow("default body, 15 CPI") << Pitch::Cpi15 << ReceiptStream::defaultBody();
    QTest::newRow("default body, 8 CPI") << Pitch::Cpi8 << ReceiptStream::defaultBody();
    // Bytes a cooked terminal would rewrite: LF alone, CR alone, DEL, ^C, ^D, ^S, ^Z, NUL.
    QTest::newRow("bytes a terminal would alter")
        << Pitch::Cpi12 << QStringLiteral("a\nb\rc\x7f\x03\x04\x13\x1a") + QChar(0) + "é";
}

void TestSerialPort::receiptReachesPtyByteForByte()
{
    QFETCH(QString, pitch);
    QFETCH(QString, body);

    PseudoTerminal pty;
    const ReceiptStream stream(pitch, body, QDateTime::currentDateTime(),
                               *CodePage::fromName(QStringLiteral("437")));

    SerialPort port(settingsWith("COM2", pty.slavePath()));
    QCOMPARE(port.setPortNumber(2).number, 0);
    QCOMPARE(port.open().number, 0);
    for (const QByteArray &chunk : stream.serialChunks())
        QCOMPARE(port.write(chunk).number, 0);
    QCOMPARE(port.close().number, 0);
    QCOMPARE(pty.read(), ReceiptStream::join(stream.serialChunks()));
}

void TestSerialPort::tailSurvivesImmediateClose()
{
    // Qt only queues a write; a close right after it must not drop what is queued.
    PseudoTerminal pty;
    QByteArray sent;
    for (int i = 0; i < 3000; ++i)
        sent += QByteArray::number(i % 10);

    SerialPort port(settingsWith("COM1", pty.slavePath()));
    QCOMPARE(port.setPortNumber(1).number, 0);
    QCOMPARE(port.open().number, 0);
    QCOMPARE(port.write(sent).number, 0);
    QCOMPARE(port.close().number, 0);
    QCOMPARE(pty.read(), sent);
}

void TestSerialPort::lineAsTheJobLeavesIt_data()
{
    QTest::addColumn<qint64>("sendsPerLook");
    QTest::addColumn<int>("closeNumber");
    QTest::newRow("a line that sends what it holds") << qint64(700) << 0;
    QTest::newRow("a line that keeps its bytes queued") << qint64(0) << ErrorNumber::Timeout;
}

void TestSerialPort::lineAsTheJobLeavesIt()
{
    QFETCH(qint64, sendsPerLook);
    QFETCH(int, closeNumber);

    PseudoTerminal pty;
    QTemporaryDir dir;
    FakeLine line;
    line.sendsPerLook = sendsPerLook;
    PortSystem system = lockingIn(dir);
    system.calls = &line;
    system.stallLimit = 300ms;
    SerialPort port(settingsWith("COM1", pty.slavePath()), system);
    qint64 reported = 0;
    bool ranAhead = false; // the job counted bytes the line had not sent
    port.onBytesSent([&](qint64 bytes) { ranAhead |= (reported += bytes) > line.sent; });
    QCOMPARE(port.open().number, 0);
    QCOMPARE(port.write(QByteArray(5000, 'x')).number, 0);
    QElapsedTimer timer;
    timer.start();
    QCOMPARE(port.close().number, closeNumber);
    QVERIFY2(timer.elapsed() < 1500, QByteArray::number(timer.elapsed()));
    QCOMPARE(line.queued, sendsPerLook > 0 ? 0 : 5000);
    QVERIFY(!ranAhead);
    QCOMPARE(reported, line.sent);
    SerialPort next(settingsWith("COM1", pty.slavePath()), lockingIn(dir));
    QCOMPARE(next.open().number, 0); // the line was released
    QCOMPARE(next.close().number, 0);

    const termios &set = line.setTo;
    QCOMPARE(::cfgetispeed(&set), speed_t(B9600));
    QCOMPARE(::cfgetospeed(&set), speed_t(B9600));
    QCOMPARE(set.c_cflag & (CSIZE | PARENB | CSTOPB | CRTSCTS | CLOCAL), tcflag_t(CS8 | CLOCAL));
    QCOMPARE(set.c_iflag & (IXON | IXOFF), tcflag_t(0));
    QCOMPARE(set.c_oflag & OPOST, tcflag_t(0));
}

void TestSerialPort::readerDisappearsMidJob()
{
    PseudoTerminal pty;
    SerialPort port(settingsWith("COM2", pty.slavePath()));
    QCOMPARE(port.setPortNumber(2).number, 0);
    QCOMPARE(port.open().number, 0);
    QCOMPARE(port.write("\x07\x1bP").number, 0);
    QCOMPARE(pty.read(), QByteArray("\x07\x1bP"));

    pty.closeMaster();
    QElapsedTimer timer;
    timer.start();
    const LastError error = port.write("\x0e"
                                       "KORiVANT VR2710\r\n");
    QVERIFY(error.isFailure());
    QCOMPARE(error.source, QStringLiteral("COM2 (%1)").arg(pty.slavePath()));
    QVERIFY2(!error.description.isEmpty(), "a failure needs a description");
    port.close();
    QVERIFY(!port.isOpen());
    // A reader that is gone fails the write at once, not after the stall bound.
    QVERIFY2(timer.elapsed() < StallBound::DefaultLimit.count() / 2,
             QByteArray::number(timer.elapsed()));
}

void TestSerialPort::writeBeforeOpenNamesThePort()
{
    SerialPort port(settingsWith("COM2", QByteArray("/dev/vr2710-test")));
    port.setPortNumber(2);
    const LastError error = port.write("x");
    QCOMPARE(error.number, ErrorNumber::PortNotOpen);
    QCOMPARE(error.source, QStringLiteral("COM2 (/dev/vr2710-test)"));
}

void TestSerialPort::failures_data()
{
    QTest::addColumn<int>("portNumber");
    QTest::addColumn<QByteArray>("device");
    QTest::addColumn<int>("openNumber");
    QTest::addColumn<QString>("openSource");
    QTest::addColumn<QString>("advice");

    QTest::newRow("device does not exist")
        << 2 << QByteArray("/dev/vr2710-no-such-tty") << ENOENT << "COM2 (/dev/vr2710-no-such-tty)"
        << "VR2710_COM2";
    QTest::newRow("not a terminal")
        << 1 << QByteArray("/dev/null") << int(ENOTTY) << "COM1 (/dev/null)"
        << "not a serial device";
    QTest::newRow("port number 0") << 0 << QByteArray() << ErrorNumber::InvalidPortNumber << "COM0"
                                   << "no serial port number 0";
}

void TestSerialPort::failures()
{
    QFETCH(int, portNumber);
    QFETCH(QByteArray, device);
    QFETCH(int, openNumber);
    QFETCH(QString, openSource);
    QFETCH(QString, advice);

    SerialPort port(settingsWith(QStringLiteral("COM%1").arg(portNumber), device));
    QCOMPARE(port.setPortNumber(qint16(portNumber)).number, 0);
    const LastError opened = port.open();
    QVERIFY(!port.isOpen());
    QCOMPARE(opened.number, openNumber);
    QCOMPARE(opened.source, openSource);
    QVERIFY2(opened.description.contains(advice), qPrintable(opened.description));

    // Every write on the port that did not open fails too, and says why it did not open.
    const LastError written = port.write("\x0c");
    QCOMPARE(written.number, ErrorNumber::PortNotOpen);
    QCOMPARE(written.source, openSource);
    QVERIFY2(written.description.contains(opened.description), qPrintable(written.description));
    QCOMPARE(port.close().number, 0);
}

void TestSerialPort::permissionDeniedAdvisesDialout()
{
    PseudoTerminal pty;
    const QByteArray path = QFile::encodeName(pty.slavePath());
    QCOMPARE(::chmod(path.constData(), 0), 0);
    const LastError error = runWithoutPrivileges([&] {
        SerialPort port(settingsWith("COM1", path));
        port.setPortNumber(1);
        LastError result = port.open();
        port.close();
        return result;
    });
    QCOMPARE(error.number, EACCES);
    QVERIFY2(error.description.contains(QLatin1String("\"dialout\" group")),
             qPrintable(error.description));
}

void TestSerialPort::portNumberFixedWhileOpen()
{
    PseudoTerminal pty;
    SerialPort port(settingsWith("COM1", pty.slavePath()));
    QCOMPARE(port.setPortNumber(1).number, 0);
    QCOMPARE(port.open().number, 0);
    QCOMPARE(port.open().number, ErrorNumber::PortAlreadyOpen);
    QCOMPARE(port.setPortNumber(2).number, ErrorNumber::PortAlreadyOpen);
    QCOMPARE(port.portNumber(), qint16(1));
    QCOMPARE(port.close().number, 0);
}

void TestSerialPort::lineHeldElsewhereIsBusy_data()
{
    // How the line is held: "uucp" a lock file naming process 1 (which always runs), "binary"
    // the same PID as a 4-byte int, "flock" a process holding flock on the line (picocom's
    // way), "fifo" a FIFO where the lock file goes, "no pid" a lock file naming no process,
    // "folder" a folder there, "zombie" a lock of a child that has ended and is not reaped;
    // "as nobody": the job runs as user nobody where the tests run as root.
    QTest::addColumn<QString>("heldBy");
    QTest::addColumn<QString>("saying"); // "@" stands for the holder's PID

    QTest::newRow("a uucp lock file (minicom)") << "uucp"
                                                << "is in use by process @ (";
    // kill(1, 0) fails with EPERM: the process lives, but belongs to another user.
    QTest::newRow("another user's uucp lock file") << "uucp, as nobody"
                                                   << "is in use by process @ (";
    QTest::newRow("a binary uucp lock file") << "binary"
                                             << "is in use by process @ (";
    QTest::newRow("flock on the line (picocom)") << "flock"
                                                 << "is in use by process @ (";
    QTest::newRow("a FIFO as the lock file, which must not hang the job")
        << "fifo"
        << "which names no running program";
    QTest::newRow("a number no process can have") << "no pid"
                                                  << "which names no running program";
    QTest::newRow("a folder as the lock file") << "folder"
                                               << "a folder where its lock file belongs";
    QTest::newRow("a process that has ended, not yet reaped")
        << "zombie"
        << "process @ (tst_serialport), which has ended but was not yet reaped by its parent";
}

void TestSerialPort::lineHeldElsewhereIsBusy()
{
    QFETCH(QString, heldBy);
    QFETCH(QString, saying);

    // Reached through a symlink: the lock is named after the device itself.
    PseudoTerminal pty;
    QTemporaryDir dir;
    const QString link = dir.filePath(QStringLiteral("printer"));
    QVERIFY(QFile::link(pty.slavePath(), link));
    const QString lockFile =
        dir.filePath(QStringLiteral("LCK..") + pty.slavePath().mid(5).replace('/', '_'));
    qint64 holder = 1;
    pid_t flockHolder = 0;
    if (heldBy.startsWith("uucp")) {
        writeLock(lockFile, 1);
    } else if (heldBy == "binary") {
        QFile file(lockFile);
        QVERIFY(file.open(QIODevice::WriteOnly));
        const qint32 pid = 1;
        file.write(reinterpret_cast<const char *>(&pid), sizeof pid);
    } else if (heldBy == "fifo") {
        QCOMPARE(::mkfifo(QFile::encodeName(lockFile).constData(), 0666), 0);
    } else if (heldBy == "no pid") {
        writeLock(lockFile, 4294967297); // read as a 32-bit number, this would be PID 1
    } else if (heldBy == "folder") {
        QVERIFY(QDir().mkdir(lockFile));
    } else if (heldBy == "zombie") {
        flockHolder = ::fork();
        if (flockHolder == 0)
            ::_exit(0);
        siginfo_t ended{};
        QCOMPARE(::waitid(P_PID, id_t(flockHolder), &ended, WEXITED | WNOWAIT), 0);
        holder = flockHolder;
        writeLock(lockFile, holder);
    } else {
        int ready[2];
        QCOMPARE(::pipe(ready), 0);
        flockHolder = ::fork();
        if (flockHolder == 0) {
            const int line = ::open(QFile::encodeName(pty.slavePath()).constData(),
                                    O_RDONLY | O_NOCTTY | O_NONBLOCK);
            const bool held = line >= 0 && ::flock(line, LOCK_EX) == 0;
            [[maybe_unused]] const ssize_t told = ::write(ready[1], held ? "1" : "0", 1);
            ::pause();
            ::_exit(0);
        }
        QVERIFY(flockHolder > 0);
        char held = 0;
        QCOMPARE(::read(ready[0], &held, 1), ssize_t(1));
        ::close(ready[0]);
        ::close(ready[1]);
        QCOMPARE(held, '1');
        holder = flockHolder;
    }
    const auto endHolder = qScopeGuard([flockHolder] {
        if (flockHolder > 0) {
            ::kill(flockHolder, SIGKILL);
            ::waitpid(flockHolder, nullptr, 0);
        }
    });
    const QByteArray lockBefore = heldBy == "fifo" ? QByteArray() : readLock(lockFile);

    const auto printX = [&] {
        SerialPort port(settingsWith("COM1", link), lockingIn(dir));
        const LastError opened = port.open();
        port.write("x");
        port.close();
        return opened;
    };
    QCOMPARE(::chmod(QFile::encodeName(dir.path()).constData(), 0755), 0);
    QElapsedTimer timer;
    timer.start();
    const LastError error = heldBy.endsWith("nobody") ? runWithoutPrivileges(printX) : printX();
    QVERIFY2(timer.elapsed() < 2000, QByteArray::number(timer.elapsed()));
    QCOMPARE(error.number, EBUSY);
    QVERIFY2(error.description.startsWith(QStringLiteral("COM1 (%1) ").arg(link)),
             qPrintable(error.description));
    QVERIFY2(error.description.contains(saying.replace("@", QString::number(holder))),
             qPrintable(error.description));
    if (heldBy != "fifo")
        QCOMPARE(readLock(lockFile), lockBefore); // never removed, never rewritten
    QCOMPARE(pty.read(200), QByteArray());
}

void TestSerialPort::staleLockTakenOverByExactlyOneJob()
{
    // Jobs released together on a line whose lock names a process that has ended: in every
    // trial exactly one prints, and its lock names it all the while it prints.
    PseudoTerminal pty;
    QTemporaryDir dir;
    const QString lockFile =
        dir.filePath(QStringLiteral("LCK..") + pty.slavePath().mid(5).replace('/', '_'));
    constexpr int Trials = 150;
    constexpr int Jobs = 3;
    for (int trial = 0; trial < Trials; ++trial) {
        writeLock(lockFile, pidOfAProcessThatHasEnded());
        int start[2];
        int tried[2]; // each job that failed to open says so; the one that opened waits for them
        QCOMPARE(::pipe(start), 0);
        QCOMPARE(::pipe(tried), 0);
        QList<pid_t> jobs;
        for (int job = 0; job < Jobs; ++job) {
            const pid_t child = ::fork();
            if (child == 0) {
                ::close(start[1]);
                char go;
                [[maybe_unused]] const ssize_t released = ::read(start[0], &go, 1);
                SerialPort port(settingsWith("COM1", pty.slavePath()), lockingIn(dir));
                if (port.open().isFailure()) {
                    [[maybe_unused]] const ssize_t told = ::write(tried[1], "b", 1);
                    ::_exit(1);
                }
                for (int others = 0; others < Jobs - 1; ++others) {
                    pollfd entry{tried[0], POLLIN, 0};
                    char busy;
                    if (::poll(&entry, 1, 5000) != 1 || ::read(tried[0], &busy, 1) != 1)
                        break;
                }
                const bool ownLock =
                    readLock(lockFile).trimmed().startsWith(QByteArray::number(qint64(::getpid())));
                port.write("x");
                port.close();
                ::_exit(ownLock ? 0 : 3);
            }
            QVERIFY(child > 0);
            jobs << child;
        }
        ::close(start[0]);
        ::close(start[1]); // all go at once
        ::close(tried[0]);
        ::close(tried[1]);
        int printed = 0;
        for (const pid_t job : std::as_const(jobs)) {
            int status = 0;
            QCOMPARE(::waitpid(job, &status, 0), job);
            QVERIFY2(WIFEXITED(status) && WEXITSTATUS(status) != 3,
                     "a job printed while its lock named another process");
            printed += WEXITSTATUS(status) == 0 ? 1 : 0;
        }
        QVERIFY2(printed == 1,
                 qPrintable(QStringLiteral("trial %1: %2 jobs printed").arg(trial).arg(printed)));
        QVERIFY(!QFile::exists(lockFile));
    }
    QCOMPARE(pty.read(), QByteArray(Trials, 'x'));
}

void TestSerialPort::staleLockIsTakenOver()
{
    PseudoTerminal pty;
    QTemporaryDir dir;
    const QString lockFile =
        dir.filePath(QStringLiteral("LCK..") + pty.slavePath().mid(5).replace('/', '_'));
    writeLock(lockFile, pidOfAProcessThatHasEnded());

    SerialPort port(settingsWith("COM1", pty.slavePath()), lockingIn(dir));
    QCOMPARE(port.open().number, 0);
    QCOMPARE(readLock(lockFile).left(11),
             QByteArray::number(::getpid()).rightJustified(10, ' ') + '\n');
    QCOMPARE(port.write("\x0c").number, 0);
    QCOMPARE(port.close().number, 0);
    QVERIFY2(!QFile::exists(lockFile), "the job's own lock goes with it");
    QCOMPARE(pty.read(), QByteArray("\x0c"));
}

void TestSerialPort::secondJobAtOnceIsBusy()
{
    PseudoTerminal pty;
    QTemporaryDir dir;
    SerialPort first(settingsWith("COM2", pty.slavePath()), lockingIn(dir));
    SerialPort second(settingsWith("COM2", pty.slavePath()), lockingIn(dir));
    for (SerialPort *port : {&first, &second})
        port->setPortNumber(2);
    QCOMPARE(first.open().number, 0);
    const LastError busy = second.open();
    QCOMPARE(busy.number, EBUSY);
    QVERIFY2(busy.description.contains(QStringLiteral("in use by process %1").arg(::getpid())),
             qPrintable(busy.description));
    QCOMPARE(first.write("first").number, 0);
    QCOMPARE(first.close().number, 0);
    QCOMPARE(second.close().number, 0);
    QCOMPARE(pty.read(), QByteArray("first"));

    // Once the first job is done, the line is free again.
    QCOMPARE(second.open().number, 0);
    QCOMPARE(second.close().number, 0);
}

void TestSerialPort::systemConsoleIsRefused()
{
    // The console list names ttyS0: a node of its own with the pseudo-terminal's numbers (where
    // mknod is allowed; a link to it elsewhere).
    PseudoTerminal pty;
    QTemporaryDir dir;
    QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("dev")));
    const QString console = dir.filePath(QStringLiteral("dev/ttyS0"));
    struct stat line
    {
    };
    QCOMPARE(::stat(QFile::encodeName(pty.slavePath()).constData(), &line), 0);
    QVERIFY(::mknod(QFile::encodeName(console).constData(), S_IFCHR | 0600, line.st_rdev) == 0 ||
            QFile::link(pty.slavePath(), console));
    QFile active(dir.filePath(QStringLiteral("active")));
    QVERIFY(active.open(QIODevice::WriteOnly));
    active.write("tty0 ttyS0\n");
    active.close();

    PortSystem system;
    system.console = SystemConsole(QFile::encodeName(active.fileName()),
                                   QFile::encodeName(dir.filePath(QStringLiteral("dev"))));
    SerialPort port(settingsWith("COM1", pty.slavePath()), system);
    const LastError error = port.open();
    QCOMPARE(error.number, ErrorNumber::SystemConsole);
    QVERIFY2(error.description.contains(QLatin1String("system console")),
             qPrintable(error.description));
    QCOMPARE(port.write("\x0c").number, ErrorNumber::PortNotOpen);
    QCOMPARE(port.close().number, 0);
    QCOMPARE(pty.read(200), QByteArray());
}

QTEST_GUILESS_MAIN(TestSerialPort)
#include "tst_serialport.moc"
