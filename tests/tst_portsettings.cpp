// SPDX-FileCopyrightText: 2026 The VR2710 Demo Developers
// SPDX-License-Identifier: MIT
// The settings file $XDG_CONFIG_HOME/vr2710/ports.conf: what it sets, what the environment
// overrides, and how a file that cannot be used is reported; and the socket:// addresses a
// port's device may be, there or in the environment.
#include "ports/networkport.h"
#include "ports/portdevices.h"
#include "ports/portsettings.h"

#include <QtTest>

namespace {

const QByteArray NoFile = "<no file>";
const QByteArray Folder = "<a folder>";

} // namespace

class TestPortSettings : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void settingsFile_data();
    void settingsFile();
    void networkAddress_data();
    void networkAddress();

private:
    std::unique_ptr<QTemporaryDir> m_config;
    QStringList m_variables;
};

void TestPortSettings::init()
{
    m_config = std::make_unique<QTemporaryDir>();
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(m_config->path()));
    m_variables = {"VR2710_COM1", "VR2710_COM2", "VR2710_LPT1", "VR2710_CODEPAGE"};
    for (const QString &variable : m_variables)
        qunsetenv(variable.toLatin1());
}

void TestPortSettings::cleanup()
{
    for (const QString &variable : m_variables)
        qunsetenv(variable.toLatin1());
    qunsetenv("XDG_CONFIG_HOME");
}

void TestPortSettings::settingsFile_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QStringList>("environment");
    QTest::addColumn<QStringList>("devices"); // COM1, COM2, LPT1 ("" for LPT1: not checked)
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
    QTest::newRow("missing: the defaults")
        << NoFile << QStringList() << QStringList{"/dev/ttyS0", "/dev/ttyS1", ""} << "437" << 0
        << "";
    QTest::newRow("each key") << everyKey << QStringList()
                              << QStringList{"/dev/ttyUSB0", "socket://printer.local",
                                             "/tmp/receipts.prn"}
                              << "850" << 0 << "";
    QTest::newRow("the environment wins")
        << everyKey << QStringList{"VR2710_COM1=/dev/ttyACM0", "VR2710_CODEPAGE=1252"}
        << QStringList{"/dev/ttyACM0", "socket://printer.local", "/tmp/receipts.prn"} << "1252" << 0
        << "";
    QTest::newRow("unreadable") << Folder << QStringList() << QStringList() << "" << 9008
                                << "cannot be read: Is a directory";
    QTest::newRow("malformed: a line that is no setting")
        << QByteArray("[ports]\nCOM1 /dev/ttyUSB0\n") << QStringList() << QStringList() << ""
        << 9008 << "on line 2";
    QTest::newRow("malformed: an unknown key")
        << QByteArray("[printing]\ncode page=850\n") << QStringList() << QStringList() << "" << 9008
        << "unknown key \"code page\" on line 2";
    QTest::newRow("malformed: a code page it does not know")
        << QByteArray("[printing]\ncodepage=999\n") << QStringList() << QStringList() << "" << 9005
        << "codepage to \"999\" on line 2";
}

void TestPortSettings::settingsFile()
{
    QFETCH(QByteArray, file);
    QFETCH(QStringList, environment);
    QFETCH(QStringList, devices);
    QFETCH(QString, codePage);
    QFETCH(int, failure);
    QFETCH(QString, saying);

    const QString path = QFile::decodeName(PortSettings::filePath());
    QCOMPARE(path, m_config->filePath("vr2710/ports.conf"));
    QVERIFY(QDir().mkpath(QFileInfo(path).path()));
    if (file == Folder) {
        QVERIFY(QDir().mkpath(path));
    } else if (file != NoFile) {
        QFile settings(path);
        QVERIFY(settings.open(QIODevice::WriteOnly));
        settings.write(file);
    }
    for (const QString &assignment : environment)
        qputenv(assignment.section('=', 0, 0).toLatin1(), assignment.section('=', 1).toUtf8());

    const QStringList ports{"COM1", "COM2", "LPT1"};
    for (qsizetype i = 0; i < devices.size(); ++i)
        if (!devices.at(i).isEmpty())
            QCOMPARE(devicePathForPort(ports.at(i)), devices.at(i).toUtf8());
    const CodePageSetting chosen = chosenCodePage();
    QCOMPARE(chosen.failure.number, failure);
    if (failure == 0) {
        QVERIFY(chosen.page);
        QCOMPARE(chosen.page->name(), codePage);
    } else {
        QVERIFY(!chosen.page);
        QCOMPARE(chosen.failure.source, path);
        QVERIFY2(chosen.failure.description.contains(saying),
                 qPrintable(chosen.failure.description));
    }
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
