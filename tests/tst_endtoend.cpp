// Drives the built vr2710-demo in a real X window (the test runs under xvfb-run) with
// xdotool, watches its title from outside with xprop, and prints to the virtual printer,
// which keeps the bytes of every receipt it receives.
#include "receipt/receiptstream.h"
#include "testsupport.h"

#include <QtTest>

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

} // namespace

class TestEndToEnd : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void pacedReceiptArrivesByteForByte();
    void titleShowsPrintingDuringAJob();
    void missingDeviceShowsOneErrorWindow();
    void escapeEndsTheProgram();

private:
    void click(int x, int y);
    void choosePort(const QString &name);

    QProcess m_windowManager;
    std::unique_ptr<VirtualPrinterProcess> m_pacedPrinter; // COM2, at 9600 baud
    std::unique_ptr<VirtualPrinterProcess> m_fastPrinter;  // COM1, at 200 kB/s
    QProcess m_demo;
    QString m_window;
};

void TestEndToEnd::initTestCase()
{
    QVERIFY2(!qEnvironmentVariableIsEmpty("DISPLAY"), "run this test under xvfb-run");
    for (const char *tool : {"openbox", "xdotool", "xprop", "xclip"})
        QVERIFY2(!QStandardPaths::findExecutable(QLatin1String(tool)).isEmpty(), tool);

    m_windowManager.start(QStringLiteral("openbox"), {});
    QVERIFY(m_windowManager.waitForStarted());
    QTRY_VERIFY_WITH_TIMEOUT(
        run("xprop", {"-root", "_NET_SUPPORTING_WM_CHECK"}).contains("window id"), 10000);

    m_pacedPrinter = std::make_unique<VirtualPrinterProcess>("COM2", QStringList());
    m_fastPrinter =
        std::make_unique<VirtualPrinterProcess>("COM1", QStringList{"--baud", "2000000"});
    QVERIFY(m_pacedPrinter->device().startsWith("/dev/pts/"));
    QVERIFY(m_fastPrinter->device().startsWith("/dev/pts/"));

    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("VR2710_COM2"), m_pacedPrinter->device());
    environment.insert(QStringLiteral("VR2710_COM1"), m_fastPrinter->device());
    environment.insert(QStringLiteral("VR2710_LPT1"), QStringLiteral("/dev/vr2710-missing"));
    m_demo.setProcessEnvironment(environment);
    m_demo.setProcessChannelMode(QProcess::ForwardedChannels);
    m_demo.start(qEnvironmentVariable("VR2710_DEMO"), {});
    QVERIFY2(m_demo.waitForStarted(), "set VR2710_DEMO to the built vr2710-demo");
    m_window = run("xdotool", {"search", "--sync", "--name", "^VR2710 Print Demo Program$"})
                   .split('\n')
                   .first();
    QVERIFY(!m_window.isEmpty());
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

void TestEndToEnd::pacedReceiptArrivesByteForByte()
{
    choosePort(QStringLiteral("COM2"));
    click(280 + 28, 56 + 16); // Receipt 12 CPI
    const QByteArray received = m_pacedPrinter->receivedReceipt(20000);
    QCOMPARE(received.size(), 430);
    QCOMPARE(received,
             expectedReceipt(received, Pitch::Cpi12, ReceiptStream::defaultBody().toLatin1()));
}

void TestEndToEnd::titleShowsPrintingDuringAJob()
{
    // A body far larger than a pseudo-terminal holds: the job lasts while the printer takes it,
    // and the title can be watched meanwhile.
    QByteArray body;
    for (int line = 0; body.size() < 400000; ++line)
        body += QByteArray::number(line).rightJustified(6, '0') + ". A LONG BODY FOR A LONG JOB\n";
    run("xclip", {"-selection", "clipboard", "-i"}, body);

    choosePort(QStringLiteral("COM1"));
    click(240, 200); // into the body
    xdotool({"key", "ctrl+a", "ctrl+v"});
    QTest::qWait(1500);
    click(336 + 28, 56 + 16); // Receipt 8 CPI

    // The status title must reach the window system in both properties while the job runs.
    QTRY_VERIFY2_WITH_TIMEOUT(bothTitlesAre(m_window, QStringLiteral("VR2710 Printing ...")),
                              qPrintable(titles(m_window)), 10000);

    const QByteArray received = m_fastPrinter->receivedReceipt(60000);
    QVERIFY2(received ==
                 expectedReceipt(received, Pitch::Cpi8, QByteArray(body).replace("\n", "\r\n")),
             qPrintable(QStringLiteral("received %1 bytes").arg(received.size())));
    QTRY_VERIFY2_WITH_TIMEOUT(bothTitlesAre(m_window, DemoCaption), qPrintable(titles(m_window)),
                              10000);
}

void TestEndToEnd::missingDeviceShowsOneErrorWindow()
{
    choosePort(QStringLiteral("LPT1"));
    xdotool({"key", "Return"}); // Enter in the port box prints at 15 CPI

    QVERIFY(!run("xdotool", {"search", "--sync", "--name", "^Error$"}).isEmpty());
    QTest::qWait(500); // a second box would have appeared by now
    QCOMPARE(run("xdotool", {"search", "--onlyvisible", "--name", "^Error$"}).split('\n').size(),
             1);
    QVERIFY(bothTitlesAre(m_window, DemoCaption));
    xdotool({"key", "Return"}); // OK
    QTRY_VERIFY_WITH_TIMEOUT(
        run("xdotool", {"search", "--onlyvisible", "--name", "^Error$"}).isEmpty(), 5000);
}

void TestEndToEnd::escapeEndsTheProgram()
{
    QTRY_VERIFY_WITH_TIMEOUT(run("xdotool", {"getactivewindow"}) == m_window, 5000);
    xdotool({"key", "Escape"});
    QVERIFY(m_demo.waitForFinished(10000));
    QCOMPARE(m_demo.exitStatus(), QProcess::NormalExit);
    QCOMPARE(m_demo.exitCode(), 0);
}

QTEST_GUILESS_MAIN(TestEndToEnd)
#include "tst_endtoend.moc"
