// The virtual printer as a program: the ports it offers, pacing, its fault modes and its
// clean-up, driven through the demo's own ports.
#include "ports/parallelport.h"
#include "ports/serialport.h"
#include "receipt/receiptstream.h"
#include "testsupport.h"

#include <QImage>
#include <QtTest>

#include <cerrno>
#include <csignal>

using namespace std::chrono_literals;

namespace {

class PrinterProcess
{
public:
    explicit PrinterProcess(const QStringList &options)
    {
        m_process.setProcessChannelMode(QProcess::MergedChannels);
        m_process.start(qEnvironmentVariable("VR2710_VIRTUAL_PRINTER"),
                        QStringList{"--quiet", "--raw", "--output", receiptsFolder(), "--env-file",
                                    m_folder.filePath("env")} +
                            options);
        QElapsedTimer timer;
        timer.start();
        while (!QFile::exists(m_folder.filePath("env")) && timer.elapsed() < 10000)
            QTest::qWait(10);
        QFile env(m_folder.filePath("env"));
        if (env.open(QIODevice::ReadOnly))
            for (const QString &line :
                 QString::fromLocal8Bit(env.readAll()).split('\n', Qt::SkipEmptyParts))
                m_devices.insert(line.section('=', 0, 0), line.section('=', 1));
    }
    ~PrinterProcess()
    {
        m_process.kill();
        m_process.waitForFinished();
    }

    QString device(const QString &port) const { return m_devices.value("VR2710_" + port); }
    QString receiptsFolder() const { return m_folder.filePath("receipts"); }
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
            m_output += m_process.readAll();
        }
        return m_output.contains(text);
    }
    QProcess &process() { return m_process; }

private:
    QTemporaryDir m_folder;
    QProcess m_process;
    QMap<QString, QString> m_devices;
    QByteArray m_output;
};

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
    void cleanup();
    void pacedSerialReceipt();
    void unpacedPrinterDeviceReceipt();
    void offlinePrinterRefusesTheOpen();
    void stallMakesTheSenderTimeOut();
    void hangupFailsTheSendersWrites();
    void stopsCleanly();
};

void TestVirtualPrinter::initTestCase()
{
    QVERIFY2(QFileInfo(qEnvironmentVariable("VR2710_VIRTUAL_PRINTER")).isExecutable(),
             "set VR2710_VIRTUAL_PRINTER to the built vr2710-virtual-printer");
}

void TestVirtualPrinter::cleanup()
{
    qunsetenv("VR2710_COM1");
    qunsetenv("VR2710_LPT1");
}

void TestVirtualPrinter::pacedSerialReceipt()
{
    PrinterProcess printer({"--ports", "COM1"});
    QVERIFY(printer.device("COM1").startsWith("/dev/pts/"));
    qputenv("VR2710_COM1", QFile::encodeName(printer.device("COM1")));

    SerialPort port;
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
    QVERIFY(printer.device("LPT1").endsWith("/lpt1"));
    qputenv("VR2710_LPT1", QFile::encodeName(printer.device("LPT1")));

    ParallelPort port;
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
    qputenv("VR2710_LPT1", QFile::encodeName(printer.device("LPT1")));
    ParallelPort port;
    QCOMPARE(port.open(QStringLiteral("LPT1")).number, ENXIO);
}

void TestVirtualPrinter::stallMakesTheSenderTimeOut()
{
    PrinterProcess printer({"--ports", "LPT1", "--no-pacing", "--stall", "100"});
    qputenv("VR2710_LPT1", QFile::encodeName(printer.device("LPT1")));
    ParallelPort port;
    port.setStallTimeout(500ms);
    QCOMPARE(port.open(QStringLiteral("LPT1")).number, 0);
    QCOMPARE(port.print(QByteArray(1 << 20, 'x'), true).number, ErrorNumber::Timeout);
    port.close();
    QVERIFY(printer.waitForOutput("stopped reading after 100 bytes"));
}

void TestVirtualPrinter::hangupFailsTheSendersWrites()
{
    PrinterProcess printer({"--ports", "COM1", "--no-pacing", "--hangup-after", "10"});
    qputenv("VR2710_COM1", QFile::encodeName(printer.device("COM1")));
    SerialPort port;
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
    const QString fifo = printer.device("LPT1");
    QVERIFY(QFileInfo(fifo).exists());
    ::kill(printer.process().processId(), SIGTERM);
    QVERIFY(printer.process().waitForFinished(5000));
    QCOMPARE(printer.process().exitCode(), 0);
    QVERIFY(!QFileInfo::exists(fifo));
    QVERIFY(!QFileInfo::exists(QFileInfo(fifo).path()));
}

QTEST_GUILESS_MAIN(TestVirtualPrinter)
#include "tst_virtualprinter.moc"
