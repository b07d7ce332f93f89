// Drives the built vr2710-demo in a real X window (the test runs under xvfb-run) with
// xdotool, watches its title from outside with xprop, and reads what it prints from a
// pseudo-terminal standing in for COM2.
#include "receipt/receiptstream.h"
#include "testsupport.h"

#include <QtTest>

#include <atomic>
#include <poll.h>
#include <unistd.h>

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

// Both title properties of a window, as xprop prints them.
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

// Reads the pseudo-terminal's master on a thread, at most `bytesPerSecond`, like a slow printer.
class SlowReader
{
public:
    SlowReader(int fd, int bytesPerSecond)
        : m_fd(fd)
        , m_chunk(bytesPerSecond / 20)
    {
        m_thread = std::thread([this] {
            while (!m_stop) {
                pollfd entry{m_fd, POLLIN, 0};
                if (::poll(&entry, 1, 50) <= 0)
                    continue;
                QByteArray buffer(m_chunk, Qt::Uninitialized);
                const ssize_t got = ::read(m_fd, buffer.data(), buffer.size());
                if (got > 0) {
                    std::lock_guard lock(m_mutex);
                    m_data.append(buffer.constData(), got);
                }
                ::usleep(50000);
            }
        });
    }
    ~SlowReader()
    {
        m_stop = true;
        m_thread.join();
    }
    QByteArray data()
    {
        std::lock_guard lock(m_mutex);
        return m_data;
    }
    // Waits until a whole receipt (ending in DC4 FF) of at least `size` bytes has come.
    QByteArray receipt(qsizetype size, int timeoutMs = 30000)
    {
        QElapsedTimer timer;
        timer.start();
        while (timer.elapsed() < timeoutMs) {
            const QByteArray received = data();
            if (received.size() >= size && received.endsWith("\x14\x0c"))
                return received;
            QTest::qWait(20);
        }
        return data();
    }

private:
    int m_fd;
    int m_chunk;
    std::atomic<bool> m_stop{false};
    std::mutex m_mutex;
    QByteArray m_data;
    std::thread m_thread;
};

} // namespace

class TestEndToEnd : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void printsWhileTheTitleShowsIt();
    void missingDeviceShowsOneErrorWindow();
    void escapeEndsTheProgram();

private:
    void click(int x, int y);

    PseudoTerminal m_pty;
    QProcess m_windowManager;
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

    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("VR2710_COM2"), m_pty.slavePath());
    environment.insert(QStringLiteral("VR2710_COM1"), QStringLiteral("/dev/vr2710-missing"));
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
    m_windowManager.kill();
    m_windowManager.waitForFinished();
}

void TestEndToEnd::click(int x, int y)
{
    xdotool(
        {"mousemove", "--window", m_window, QString::number(x), QString::number(y), "click", "1"});
}

void TestEndToEnd::printsWhileTheTitleShowsIt()
{
    // A body far larger than the pseudo-terminal holds, so that the job lasts while the slow
    // reader takes it, and the title can be watched meanwhile.
    QByteArray body;
    for (int line = 0; body.size() < 400000; ++line)
        body += QByteArray::number(line).rightJustified(6, '0') +
                ". BIG BODY LINE FOR THE SLOW READER\n";
    run("xclip", {"-selection", "clipboard", "-i"}, body);

    SlowReader reader(m_pty.masterFd(), 200000);
    xdotool({"key", "ctrl+a"}); // the port box has the focus at start
    xdotool({"type", "COM2"});
    click(240, 200); // into the body
    xdotool({"key", "ctrl+a", "ctrl+v"});
    QTest::qWait(1500);
    click(280 + 28, 56 + 16); // Receipt 12 CPI

    // The status title must reach the window system in both properties while the job runs.
    QTRY_VERIFY2_WITH_TIMEOUT(bothTitlesAre(m_window, QStringLiteral("VR2710 Printing ...")),
                              qPrintable(titles(m_window)), 10000);

    const QByteArray printedBody = QByteArray(body).replace("\n", "\r\n");
    const QByteArray received = reader.receipt(printedBody.size() + 80);
    const QDateTime printedAt = dateTimeOfReceipt(received);
    QVERIFY2(qAbs(printedAt.secsTo(QDateTime::currentDateTime())) < 120,
             qPrintable(printedAt.toString()));
    const ReceiptStream expected(Pitch::Cpi12, QString::fromLatin1(printedBody), printedAt,
                                 *CodePage::fromName(QStringLiteral("437")));
    QVERIFY2(received == ReceiptStream::join(expected.serialChunks()),
             qPrintable(QStringLiteral("received %1 bytes").arg(received.size())));
    QTRY_VERIFY2_WITH_TIMEOUT(bothTitlesAre(m_window, DemoCaption), qPrintable(titles(m_window)),
                              10000);
}

void TestEndToEnd::missingDeviceShowsOneErrorWindow()
{
    click(96 + 40, 56 + 12); // the port box
    xdotool({"key", "ctrl+a"});
    xdotool({"type", "COM1"});
    xdotool({"key", "Return"}); // Enter in the port box prints at 15 CPI

    const QString boxes = run("xdotool", {"search", "--sync", "--name", "^Error$"});
    QTest::qWait(500); // a second box would have appeared by now
    QCOMPARE(run("xdotool", {"search", "--onlyvisible", "--name", "^Error$"}).split('\n').size(),
             1);
    QVERIFY(!boxes.isEmpty());
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
