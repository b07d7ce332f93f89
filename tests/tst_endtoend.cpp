// SPDX-FileCopyrightText: 2026 The VR2710 Demo Developers
// SPDX-License-Identifier: MIT
// Drives the built vr2710-demo in a real X window (the test runs on a private Xvfb display)
// with xdotool, watches its title from outside with xprop, pings it as a window manager does,
// and prints to the virtual printer, which keeps the bytes of every receipt it receives.
#include "ports/uucplock.h"
#include "protocol/receiptstream.h"
#include "testsupport.h"

#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QStringList>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <csignal>
#include <sys/select.h>
#include <unistd.h>

// Xlib last: its macros (None, Bool, Status) clash with Qt's names.
#include <X11/Xlib.h>

namespace {

const QString DemoCaption = QStringLiteral("VR2710 Print Demo Program");

QString run(const QString &program, const QStringList &arguments, const QByteArray &input = {})
{
    QProcess process;
    process.start(program, arguments);
    if (!input.isEmpty()) {
        process.write(input);
        process.closeWriteChannel();
    }
    if (!process.waitForFinished(15000))
        qWarning() << program << arguments << "did not finish";
    return QString::fromUtf8(process.readAllStandardOutput()).trimmed();
}

void xdotool(const QStringList &arguments)
{
    run(QStringLiteral("xdotool"), arguments);
}

QString titles(const QString &window)
{
    return run(QStringLiteral("xprop"), {"-id", window, "WM_NAME", "_NET_WM_NAME"});
}

bool bothTitlesAre(const QString &window, const QString &title)
{
    const QString properties = titles(window);
    const QString quoted = QLatin1Char('"') + title + QLatin1Char('"');
    return properties.contains(QStringLiteral("WM_NAME(STRING) = ") + quoted) &&
           properties.contains(QStringLiteral("_NET_WM_NAME(UTF8_STRING) = ") + quoted);
}

// Sends the window manager's _NET_WM_PING to a window and returns how long it took to answer,
// in milliseconds, or -1 when no answer came within timeoutMs.
qint64 pingMs(const QString &windowId, int timeoutMs)
{
    Display *display = XOpenDisplay(nullptr);
    if (!display)
        return -1;
    const Window root = DefaultRootWindow(display);
    const Window window = windowId.toULong();
    // Clients answer by sending the ping back to the root window.
    XSelectInput(display, root, StructureNotifyMask);
    const Atom protocols = XInternAtom(display, "WM_PROTOCOLS", False);
    const Atom ping = XInternAtom(display, "_NET_WM_PING", False);
    XEvent event{};
    event.xclient.type = ClientMessage;
    event.xclient.window = window;
    event.xclient.message_type = protocols;
    event.xclient.format = 32;
    event.xclient.data.l[0] = long(ping);
    event.xclient.data.l[1] = CurrentTime;
    event.xclient.data.l[2] = long(window);
    XSendEvent(display, window, False, NoEventMask, &event);
    XFlush(display);

    QElapsedTimer timer;
    timer.start();
    qint64 answeredAfter = -1;
    while (answeredAfter < 0 && timer.elapsed() < timeoutMs) {
        while (answeredAfter < 0 && XPending(display) > 0) {
            XEvent reply;
            XNextEvent(display, &reply);
            if (reply.type == ClientMessage && reply.xclient.window == root &&
                Atom(reply.xclient.data.l[0]) == ping && Window(reply.xclient.data.l[2]) == window)
                answeredAfter = timer.elapsed();
        }
        fd_set readable;
        FD_ZERO(&readable);
        FD_SET(ConnectionNumber(display), &readable);
        timeval wait{0, 5000};
        ::select(ConnectionNumber(display) + 1, &readable, nullptr, nullptr, &wait);
    }
    XCloseDisplay(display);
    return answeredAfter;
}

// One virtual printer process offering one serial port, keeping raw bytes in its own folder.
class VirtualPrinterProcess
{
public:
    VirtualPrinterProcess(const QString &port, const QStringList &options)
    {
        const QString envFile = m_folder.filePath(QStringLiteral("env"));
        m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        m_process.start(qEnvironmentVariable("VR2710_VIRTUAL_PRINTER"),
                        QStringList{"--ports", port, "--raw", "--quiet", "--output",
                                    m_folder.filePath("receipts"), "--env-file", envFile} +
                            options);
        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(envFile), 10000);
        QFile env(envFile);
        if (env.open(QIODevice::ReadOnly))
            m_device = QString::fromLocal8Bit(env.readAll()).trimmed().section(QLatin1Char('='), 1);
    }
    ~VirtualPrinterProcess()
    {
        m_process.terminate();
        m_process.waitForFinished(5000);
    }
    QString device() const { return m_device; }
    // The bytes of the first receipt it printed, once its image is written.
    QByteArray receivedReceipt(int timeoutMs)
    {
        QDir receipts(m_folder.filePath(QStringLiteral("receipts")));
        QElapsedTimer timer;
        timer.start();
        while (timer.elapsed() < timeoutMs) {
            const QStringList images = receipts.entryList({"*.png"});
            if (!images.isEmpty()) {
                QFile raw(receipts.filePath(QString(images.first()).replace(".png", ".bin")));
                return raw.open(QIODevice::ReadOnly) ? raw.readAll() : QByteArray();
            }
            QTest::qWait(20);
        }
        return {};
    }

private:
    QTemporaryDir m_folder;
    QProcess m_process;
    QString m_device;
};

// The demo's stream for this pitch and body, dated as received, if that date is from now.
QByteArray expectedReceipt(const QByteArray &received, const PitchCode &pitch,
                           const QByteArray &body)
{
    if (qAbs(dateTimeOfReceipt(received).secsTo(QDateTime::currentDateTime())) > 120)
        return "the receipt's date line is not from now: " + received.left(80);
    return expectedSerialReceipt(received, pitch, QString::fromLatin1(body));
}

// The first id of a visible window whose name matches, or an empty string.
QString findWindow(const QString &namePattern)
{
    return run("xdotool", {"search", "--onlyvisible", "--name", namePattern}).section('\n', 0, 0);
}

// Answers to a few pings, slowest last; -1 for a ping that got none.
QList<qint64> pingTimes(const QString &window, int count)
{
    QList<qint64> times;
    for (int i = 0; i < count; ++i) {
        times << pingMs(window, 2000);
        QTest::qWait(50);
    }
    std::sort(times.begin(), times.end(),
              [](qint64 a, qint64 b) { return a >= 0 && (b < 0 || a < b); });
    return times;
}

QString describe(const QList<qint64> &times)
{
    QStringList parts;
    for (const qint64 time : times)
        parts << QString::number(time);
    return QStringLiteral("ping answers in ms: ") + parts.join(QLatin1String(", "));
}

// A body far larger than a pseudo-terminal holds (about 18 KB): a job lasts while the printer
// takes it, and the window can be watched meanwhile.
QByteArray longBody()
{
    QByteArray body;
    for (int line = 0; body.size() < 80000; ++line)
        body += QByteArray::number(line).rightJustified(5, '0') + ". A LONG BODY FOR A LONG JOB\n";
    return body;
}

} // namespace

class TestEndToEnd : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void pacedReceiptArrivesByteForByte();
    void windowStaysAliveDuringAJob();
    void stalledSerialReaderFailsTheJob();
    void missingDeviceShowsOneErrorWindow();
    void escapeEndsTheProgram();
    void stopSignalDuringAJobLeavesNoLock_data();
    void stopSignalDuringAJobLeavesNoLock();

private:
    void startDemo();
    void click(int x, int y);
    void choosePort(const QString &name);
    void pasteBody(const QByteArray &body);
    void verifyAlive(const char *when);

    QProcess m_windowManager;
    std::unique_ptr<VirtualPrinterProcess> m_pacedPrinter; // COM2: 9600 baud, stalls at 1000 bytes
    std::unique_ptr<VirtualPrinterProcess> m_fastPrinter;  // COM1: 10 kB/s
    QProcess m_demo;
    QString m_window;
};

void TestEndToEnd::initTestCase()
{
    QVERIFY2(!qEnvironmentVariableIsEmpty("DISPLAY"), "run this test on an X display");
    for (const char *tool : {"openbox", "xdotool", "xprop", "xclip"})
        QVERIFY2(!QStandardPaths::findExecutable(QLatin1String(tool)).isEmpty(), tool);

    m_windowManager.setProcessChannelMode(QProcess::MergedChannels);
    m_windowManager.start(QStringLiteral("openbox"), {});
    QVERIFY(m_windowManager.waitForStarted());
    QTRY_VERIFY2_WITH_TIMEOUT(
        run("xprop", {"-root", "_NET_SUPPORTING_WM_CHECK"}).contains("window id"),
        qPrintable(QStringLiteral("openbox did not announce itself; it said: ") +
                   QString::fromLocal8Bit(m_windowManager.readAll()) + QStringLiteral(" state ") +
                   QString::number(m_windowManager.state())),
        10000);

    m_pacedPrinter =
        std::make_unique<VirtualPrinterProcess>("COM2", QStringList{"--stall", "1000"});
    m_fastPrinter =
        std::make_unique<VirtualPrinterProcess>("COM1", QStringList{"--baud", "100000"});
    QVERIFY(m_pacedPrinter->device().startsWith("/dev/pts/"));
    QVERIFY(m_fastPrinter->device().startsWith("/dev/pts/"));

    startDemo();
}

void TestEndToEnd::startDemo()
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("VR2710_COM2"), m_pacedPrinter->device());
    environment.insert(QStringLiteral("VR2710_COM1"), m_fastPrinter->device());
    environment.insert(QStringLiteral("VR2710_LPT1"), QStringLiteral("/dev/vr2710-missing"));
    m_demo.setProcessEnvironment(environment);
    m_demo.setProcessChannelMode(QProcess::ForwardedChannels);
    m_demo.start(qEnvironmentVariable("VR2710_DEMO"), {});
    QVERIFY2(m_demo.waitForStarted(), "set VR2710_DEMO to the built vr2710-demo");
    QTRY_VERIFY_WITH_TIMEOUT(!(m_window = findWindow("^VR2710 Print Demo Program$")).isEmpty(),
                             10000);
    QTRY_VERIFY_WITH_TIMEOUT(run("xdotool", {"getactivewindow"}) == m_window, 10000);
}

void TestEndToEnd::cleanupTestCase()
{
    m_demo.kill();
    m_demo.waitForFinished();
    m_pacedPrinter.reset();
    m_fastPrinter.reset();
    m_windowManager.kill();
    m_windowManager.waitForFinished();
}

void TestEndToEnd::click(int x, int y)
{
    xdotool(
        {"mousemove", "--window", m_window, QString::number(x), QString::number(y), "click", "1"});
}

void TestEndToEnd::choosePort(const QString &name)
{
    click(96 + 40, 56 + 12); // the port box
    xdotool({"key", "ctrl+a"});
    xdotool({"type", name});
}

void TestEndToEnd::pasteBody(const QByteArray &body)
{
    run("xclip", {"-selection", "clipboard", "-i"}, body);
    click(240, 200); // into the body
    xdotool({"key", "ctrl+a", "ctrl+v"});
    QTest::qWait(1500);
}

// The window answers the window manager at once: the job does not hold its event loop.
void TestEndToEnd::verifyAlive(const char *when)
{
    const QList<qint64> times = pingTimes(m_window, 5);
    qInfo().noquote() << describe(times) << when;
    QVERIFY2(times.last() >= 0, qPrintable(describe(times) + QLatin1String(" ") + when));
    QVERIFY2(times.at(times.size() / 2) <= 100, qPrintable(describe(times) + " " + when));
}

void TestEndToEnd::pacedReceiptArrivesByteForByte()
{
    choosePort(QStringLiteral("COM2"));
    click(280 + 28, 56 + 16); // Receipt 12 CPI
    const QByteArray received = m_pacedPrinter->receivedReceipt(20000);
    QCOMPARE(received.size(), 430);
    QCOMPARE(received,
             expectedReceipt(received, Pitch::Cpi12, ReceiptStream::defaultBody().toLatin1()));
}

void TestEndToEnd::windowStaysAliveDuringAJob()
{
    const QByteArray body = longBody();
    pasteBody(body);
    choosePort(QStringLiteral("COM1"));
    click(336 + 28, 56 + 16); // Receipt 8 CPI

    // The status title reaches the window system in both properties while the job runs.
    QTRY_VERIFY2_WITH_TIMEOUT(bothTitlesAre(m_window, QStringLiteral("VR2710 Printing ...")),
                              qPrintable(titles(m_window)), 5000);
    verifyAlive("during the job");
    click(280 + 28, 56 + 16); // Receipt 12 CPI, while the job runs: dropped
    QVERIFY2(bothTitlesAre(m_window, QStringLiteral("VR2710 Printing ...")),
             "the job ended before the window could be watched");

    const QByteArray received = m_fastPrinter->receivedReceipt(60000);
    QVERIFY2(received ==
                 expectedReceipt(received, Pitch::Cpi8, QByteArray(body).replace("\n", "\r\n")),
             qPrintable(QStringLiteral("received %1 bytes").arg(received.size())));
    QTRY_VERIFY2_WITH_TIMEOUT(bothTitlesAre(m_window, DemoCaption), qPrintable(titles(m_window)),
                              10000);
    // A click replayed after the job would start another one now.
    QTest::qWait(1500);
    QVERIFY2(bothTitlesAre(m_window, DemoCaption), qPrintable(titles(m_window)));
}

void TestEndToEnd::stalledSerialReaderFailsTheJob()
{
    // The long body is still in the box; COM2's printer stops reading after 1000 bytes.
    choosePort(QStringLiteral("COM2"));
    QElapsedTimer timer;
    timer.start();
    click(224 + 28, 56 + 16); // Receipt 15 CPI
    QTRY_VERIFY2_WITH_TIMEOUT(bothTitlesAre(m_window, QStringLiteral("VR2710 Printing ...")),
                              qPrintable(titles(m_window)), 5000);
    QTest::qWait(3000);
    verifyAlive("while the printer took nothing");

    QTRY_VERIFY_WITH_TIMEOUT(!findWindow("^Error$").isEmpty(), 30000);
    // About 10 s without progress, after the first 1000 bytes went at 9600 baud.
    QVERIFY2(timer.elapsed() >= 9000 && timer.elapsed() < 25000,
             qPrintable(QStringLiteral("the error came after %1 ms").arg(timer.elapsed())));
    QVERIFY(bothTitlesAre(m_window, DemoCaption));
    xdotool({"key", "Return"}); // OK
    QTRY_VERIFY_WITH_TIMEOUT(findWindow("^Error$").isEmpty(), 5000);
}

void TestEndToEnd::missingDeviceShowsOneErrorWindow()
{
    choosePort(QStringLiteral("LPT1"));
    xdotool({"key", "Return"}); // Enter in the port box prints at 15 CPI

    QTRY_VERIFY_WITH_TIMEOUT(!findWindow("^Error$").isEmpty(), 10000);
    QTest::qWait(500); // a second box would have appeared by now
    QCOMPARE(run("xdotool", {"search", "--onlyvisible", "--name", "^Error$"}).split('\n').size(),
             1);
    QVERIFY(bothTitlesAre(m_window, DemoCaption));
    xdotool({"key", "Return"}); // OK
    QTRY_VERIFY_WITH_TIMEOUT(findWindow("^Error$").isEmpty(), 5000);
}

void TestEndToEnd::escapeEndsTheProgram()
{
    QTRY_VERIFY_WITH_TIMEOUT(run("xdotool", {"getactivewindow"}) == m_window, 5000);
    xdotool({"key", "Escape"});
    QVERIFY(m_demo.waitForFinished(10000));
    QCOMPARE(m_demo.exitStatus(), QProcess::NormalExit);
    QCOMPARE(m_demo.exitCode(), 0);
}

void TestEndToEnd::stopSignalDuringAJobLeavesNoLock_data()
{
    QTest::addColumn<int>("signal");
    QTest::newRow("SIGINT (Ctrl+C in its terminal)") << int(SIGINT);
    QTest::newRow("SIGTERM (kill)") << int(SIGTERM);
}

void TestEndToEnd::stopSignalDuringAJobLeavesNoLock()
{
    QFETCH(int, signal);
    const QByteArray lockFolder = UucpLock::defaultFolder();
    if (lockFolder.isEmpty() || ::access(lockFolder.constData(), W_OK) != 0)
        QSKIP("no writable lock folder: the demo takes no lock here");
    const QString lockFile = QFile::decodeName(
        lockFolder + '/' + UucpLock::lockFileName(m_pacedPrinter->device().toUtf8()));
    startDemo();
    // COM2's printer has stopped reading for good: the long job stalls, holding the line.
    pasteBody(longBody());
    choosePort(QStringLiteral("COM2"));
    click(224 + 28, 56 + 16); // Receipt 15 CPI
    QTRY_VERIFY_WITH_TIMEOUT(QFileInfo::exists(lockFile), 5000);

    const qint64 pid = m_demo.processId();
    QVERIFY(pid > 0 && m_demo.state() == QProcess::Running);
    ::kill(pid_t(pid), signal);
    QVERIFY(m_demo.waitForFinished(3000));
    QCOMPARE(m_demo.exitStatus(), QProcess::NormalExit);
    QCOMPARE(m_demo.exitCode(), 128 + signal);
    QVERIFY2(!QFileInfo::exists(lockFile), qPrintable(lockFile));
    QVERIFY(findWindow("^Error$").isEmpty()); // ended without a box to wait for
}

QTEST_GUILESS_MAIN(TestEndToEnd)
#include "tst_endtoend.moc"
