// SPDX-FileCopyrightText: 2026 The VR2710 Demo Developers
// SPDX-License-Identifier: MIT
// The settings a job runs with: each port's target from the environment, the settings file
// $XDG_CONFIG_HOME/vr2710/ports.conf or the default; the code page; how a file that cannot be
// used is reported; advice that names where a target was set; and the socket:// addresses a
// target may be.
#include "ports/networkport.h"
#include "ports/serialport.h"
#include "settings/settingsfile.h"
#include "testsupport.h"

#include <QByteArrayList>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QStringList>
#include <QTest>

#include <sys/stat.h>

namespace {

const QByteArray NoFile = "<no file>";
const QByteArray Folder = "<a folder>";
const QByteArray Fifo = "<a FIFO>";

void writeSettingsFile(const QByteArray &contents)
{
    const QString path = QFile::decodeName(SettingsFile::path());
    QVERIFY(QDir().mkpath(QFileInfo(path).path()));
    if (contents == Folder) {
        QVERIFY(QDir().mkpath(path));
    } else if (contents == Fifo) {
        QCOMPARE(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
    } else if (contents != NoFile) {
        QFile settings(path);
        QVERIFY(settings.open(QIODevice::WriteOnly));
        settings.write(contents);
    }
}

void setEnvironment(const QStringList &assignments)
{
    for (const QString &assignment : assignments)
        qputenv(assignment.section('=', 0, 0).toLatin1(), assignment.section('=', 1).toUtf8());
}

} // namespace

class TestPortSettings : public QObject
{
    Q_OBJECT

private slots:
    void cleanup();
    void defaultTargets_data();
    void defaultTargets();
    void settingsFile_data();
    void settingsFile();
    void adviceNamesWhereTheTargetWasSet_data();
    void adviceNamesWhereTheTargetWasSet();
    void networkAddress_data();
    void networkAddress();
};

void TestPortSettings::cleanup()
{
    const QString path = QFile::decodeName(SettingsFile::path());
    QDir(path).removeRecursively();
    QFile::remove(path);
    for (const char *variable : {"VR2710_COM1", "VR2710_COM2", "VR2710_LPT1", "VR2710_CODEPAGE"})
        qunsetenv(variable);
}

void TestPortSettings::defaultTargets_data()
{
    QTest::addColumn<QString>("port");
    QTest::addColumn<QByteArray>("override");
    QTest::addColumn<QByteArrayList>("existing");
    QTest::addColumn<QByteArray>("target");

    const QByteArrayList none;
    QTest::newRow("COM1") << "COM1" << QByteArray() << none << QByteArray("/dev/ttyS0");
    QTest::newRow("COM2") << "COM2" << QByteArray() << none << QByteArray("/dev/ttyS1");
    QTest::newRow("LPT1 parallel port present")
        << "LPT1" << QByteArray() << QByteArrayList{"/dev/lp0", "/dev/usb/lp0"}
        << QByteArray("/dev/lp0");
    QTest::newRow("LPT1 only a USB printer")
        << "LPT1" << QByteArray() << QByteArrayList{"/dev/usb/lp0"} << QByteArray("/dev/usb/lp0");
    QTest::newRow("LPT1 nothing present")
        << "LPT1" << QByteArray() << none << QByteArray("/dev/lp0");
    QTest::newRow("LPT1 overridden to a file")
        << "LPT1" << QByteArray("/tmp/receipt.prn") << QByteArrayList{"/dev/lp0"}
        << QByteArray("/tmp/receipt.prn");
    QTest::newRow("override with bytes that are not UTF-8")
        << "LPT1" << QByteArray("/tmp/\xff\xfe-x.prn") << none << QByteArray("/tmp/\xff\xfe-x.prn");
    QTest::newRow("empty override is ignored")
        << "COM1" << QByteArray("") << none << QByteArray("/dev/ttyS0");
    QTest::newRow("lower case is no port") << "com1" << QByteArray() << none << QByteArray();
    QTest::newRow("COM3 is no port") << "COM3" << QByteArray() << none << QByteArray();
}

void TestPortSettings::defaultTargets()
{
    QFETCH(QString, port);
    QFETCH(QByteArray, override);
    QFETCH(QByteArrayList, existing);
    QFETCH(QByteArray, target);

    if (!override.isNull())
        qputenv(("VR2710_" + port).toLatin1().constData(), override);
    const PrintSettings settings =
        PrintSettings::load([&](const QByteArray &path) { return existing.contains(path); });
    QCOMPARE(settings.target(port).target, target);
}

void TestPortSettings::settingsFile_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QStringList>("environment");
    QTest::addColumn<QStringList>("targets"); // COM1, COM2, LPT1
    QTest::addColumn<QString>("codePage");
    QTest::addColumn<int>("failure");
    QTest::addColumn<QString>("saying");

    const QByteArray everyKey = "; the shop's printers\n"
                                "[ports]\n"
                                "COM1 = /dev/ttyUSB0\n"
                                "COM2=socket://printer.local\n"
                                "LPT1=/tmp/receipts.prn\n"
                                "\n"
                                "[printing]\n"
                                "# the body's characters\n"
                                "codepage=850\n";
    const QStringList fromFile{"/dev/ttyUSB0", "socket://printer.local", "/tmp/receipts.prn"};
    QTest::newRow("missing: the defaults")
        << NoFile << QStringList() << QStringList{"/dev/ttyS0", "/dev/ttyS1"} << "437" << 0 << "";
    QTest::newRow("each key") << everyKey << QStringList() << fromFile << "850" << 0 << "";
    QTest::newRow("a byte order mark before the first line")
        << "\xef\xbb\xbf" + everyKey << QStringList() << fromFile << "850" << 0 << "";
    QTest::newRow("CR LF line ends and blanks around lines, keys and values")
        << QByteArray("\r\n [ports] \r\n\tCOM1 = /dev/ttyUSB0 \r\n COM2=socket://printer.local\r\n"
                      "LPT1\t=\t/tmp/receipts.prn  \r\n  [printing]\r\n  codepage = 850\r\n")
        << QStringList() << fromFile << "850" << 0 << "";
    // "@" is the test's own settings folder: the relative path leads to it from wherever the
    // test runs, and is ignored all the same, as the XDG rules say.
    QTest::newRow("a relative XDG_CONFIG_HOME")
        << everyKey
        << QStringList{"XDG_CONFIG_HOME=" + QString("../").repeated(20) + "@", "HOME=@/home"}
        << QStringList{"/dev/ttyS0", "/dev/ttyS1"} << "437" << 0 << "";
    QTest::newRow("the environment wins")
        << everyKey << QStringList{"VR2710_COM1=/dev/ttyACM0", "VR2710_CODEPAGE=1252"}
        << QStringList{"/dev/ttyACM0", "socket://printer.local", "/tmp/receipts.prn"} << "1252" << 0
        << "";
    QTest::newRow("unreadable") << Folder << QStringList() << QStringList() << "" << 9008
                                << "cannot be read: Is a directory";
    QTest::newRow("a FIFO, which must not hang the reader")
        << Fifo << QStringList() << QStringList() << "" << 9008 << "not a regular file";
    QTest::newRow("malformed: a line that is no setting")
        << QByteArray("[ports]\nCOM1 /dev/ttyUSB0\n") << QStringList() << QStringList() << ""
        << 9008 << "on line 2";
    QTest::newRow("malformed: an unknown key")
        << QByteArray("[printing]\ncode page=850\n") << QStringList() << QStringList() << "" << 9008
        << "unknown key \"code page\" on line 2";
    QTest::newRow("malformed: a port the programs do not offer")
        << QByteArray("[ports]\nCOM1=/dev/ttyS0\nLPT2=/dev/lp1\n") << QStringList() << QStringList()
        << "" << 9008 << "unknown key \"LPT2\" on line 3";
    QTest::newRow("malformed: a NUL byte")
        << QByteArray("[ports]\nLPT1=/tmp/a\0junk\n", 25) << QStringList() << QStringList() << ""
        << 9008 << "NUL byte on line 2";
    QTest::newRow("a code page it does not know")
        << QByteArray("[printing]\ncodepage=999\n") << QStringList() << QStringList() << "" << 9005
        << "codepage to \"999\" on line 2";
}

void TestPortSettings::settingsFile()
{
    QFETCH(QByteArray, file);
    QFETCH(QStringList, environment);
    QFETCH(QStringList, targets);
    QFETCH(QString, codePage);
    QFETCH(int, failure);
    QFETCH(QString, saying);

    writeSettingsFile(file);
    const QByteArray settingsFolder = qgetenv("XDG_CONFIG_HOME");
    const QByteArray home = qgetenv("HOME");
    const auto restore = qScopeGuard([&] {
        qputenv("XDG_CONFIG_HOME", settingsFolder);
        qputenv("HOME", home);
    });
    setEnvironment(environment.replaceInStrings("@", QFile::decodeName(settingsFolder)));
    QElapsedTimer timer;
    timer.start();
    const PrintSettings settings = PrintSettings::load();
    QVERIFY2(timer.elapsed() < 1000, "reading the settings must never block");

    const QStringList ports{"COM1", "COM2", "LPT1"};
    for (qsizetype i = 0; i < targets.size(); ++i)
        QCOMPARE(settings.target(ports.at(i)).target, targets.at(i).toUtf8());
    QCOMPARE(settings.failure().number, failure);
    if (failure == 0) {
        QVERIFY(settings.codePage());
        QCOMPARE(settings.codePage()->name(), codePage);
    } else {
        QVERIFY(!settings.codePage());
        QCOMPARE(settings.failure().source, QFile::decodeName(SettingsFile::path()));
        QVERIFY2(settings.failure().description.contains(saying),
                 qPrintable(settings.failure().description));
    }
}

void TestPortSettings::adviceNamesWhereTheTargetWasSet_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QStringList>("environment");
    QTest::addColumn<QString>("advice");

    QTest::newRow("the environment") << NoFile << QStringList{"VR2710_COM2=/dev/vr2710-missing"}
                                     << "set VR2710_COM2 to the serial device";
    QTest::newRow("the settings file")
        << QByteArray("[ports]\n\nCOM2=/dev/vr2710-missing\n") << QStringList()
        << "change COM2= on line 3 of the settings file @ to the serial device";
    QTest::newRow("the default")
        << NoFile << QStringList{}
        << "set VR2710_COM2 (or COM2= under [ports] in the settings file @)";
}

void TestPortSettings::adviceNamesWhereTheTargetWasSet()
{
    QFETCH(QByteArray, file);
    QFETCH(QStringList, environment);
    QFETCH(QString, advice);

    if (QFileInfo::exists(QStringLiteral("/dev/ttyS1")) && file == NoFile && environment.isEmpty())
        QSKIP("this machine has a /dev/ttyS1");
    writeSettingsFile(file);
    setEnvironment(environment);
    SerialPort port(PrintSettings::load());
    port.setPortNumber(2);
    const LastError error = port.open();
    QCOMPARE(error.number, ENOENT);
    advice.replace(QLatin1Char('@'), QFile::decodeName(SettingsFile::path()));
    QVERIFY2(error.description.contains(advice), qPrintable(error.description));
}

void TestPortSettings::networkAddress_data()
{
    QTest::addColumn<QByteArray>("device");
    QTest::addColumn<QByteArray>("host"); // empty: not an address
    QTest::addColumn<int>("port");
    QTest::newRow("a name, port 9100")
        << QByteArray("socket://printer.local") << QByteArray("printer.local") << 9100;
    QTest::newRow("a port") << QByteArray("socket://10.0.0.5:9101") << QByteArray("10.0.0.5")
                            << 9101;
    QTest::newRow("IPv6 with a port")
        << QByteArray("socket://[::1]:9102") << QByteArray("::1") << 9102;
    QTest::newRow("IPv6 alone") << QByteArray("socket://[fe80::1]") << QByteArray("fe80::1")
                                << 9100;
    QTest::newRow("no host") << QByteArray("socket://:9100") << QByteArray() << 0;
    QTest::newRow("port 0") << QByteArray("socket://printer:0") << QByteArray() << 0;
    QTest::newRow("port too high") << QByteArray("socket://printer:65536") << QByteArray() << 0;
    QTest::newRow("port not a number") << QByteArray("socket://printer:lpt") << QByteArray() << 0;
    QTest::newRow("IPv6 unclosed") << QByteArray("socket://[::1:9100") << QByteArray() << 0;
    QTest::newRow("a path") << QByteArray("/dev/usb/lp0") << QByteArray() << 0;
}

void TestPortSettings::networkAddress()
{
    QFETCH(QByteArray, device);
    QFETCH(QByteArray, host);
    QFETCH(int, port);
    const std::optional<NetworkAddress> address = NetworkAddress::parse(device);
    QCOMPARE(address.has_value(), !host.isEmpty());
    if (address) {
        QCOMPARE(address->host, host);
        QCOMPARE(int(address->port), port);
    }
}

QTEST_GUILESS_MAIN(TestPortSettings)
#include "tst_portsettings.moc"
