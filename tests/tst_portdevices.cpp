// SPDX-FileCopyrightText: 2026 The VR2710 Demo Developers
// SPDX-License-Identifier: MIT
#include "ports/portdevices.h"

#include <QtTest>

class TestPortDevices : public QObject
{
    Q_OBJECT

private slots:
    void mapping_data();
    void mapping();
};

void TestPortDevices::mapping_data()
{
    QTest::addColumn<QString>("port");
    QTest::addColumn<QByteArray>("override");
    QTest::addColumn<QByteArrayList>("existing");
    QTest::addColumn<QByteArray>("device");

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
    QTest::newRow("COM2 overridden")
        << "COM2" << QByteArray("/dev/pts/7") << none << QByteArray("/dev/pts/7");
    QTest::newRow("LPT1 overridden to a file")
        << "LPT1" << QByteArray("/tmp/receipt.prn") << QByteArrayList{"/dev/lp0"}
        << QByteArray("/tmp/receipt.prn");
    QTest::newRow("override with bytes that are not UTF-8")
        << "LPT1" << QByteArray("/tmp/\xff\xfe-x.prn") << none << QByteArray("/tmp/\xff\xfe-x.prn");
    QTest::newRow("empty override is ignored")
        << "COM1" << QByteArray("") << none << QByteArray("/dev/ttyS0");
    QTest::newRow("lower case is no port") << "com1" << QByteArray() << none << QByteArray();
    QTest::newRow("leading space is no port") << " COM1" << QByteArray() << none << QByteArray();
    QTest::newRow("COM0 is no port") << "COM0" << QByteArray() << none << QByteArray();
    QTest::newRow("empty") << "" << QByteArray() << none << QByteArray();
}

void TestPortDevices::mapping()
{
    QFETCH(QString, port);
    QFETCH(QByteArray, override);
    QFETCH(QByteArrayList, existing);
    QFETCH(QByteArray, device);

    const QByteArray variable = portOverrideVariable(port).toLatin1();
    if (!override.isNull())
        qputenv(variable.constData(), override);
    const QByteArray mapped =
        devicePathForPort(port, [&](const QByteArray &path) { return existing.contains(path); });
    qunsetenv(variable.constData());
    QCOMPARE(mapped, device);
}

QTEST_GUILESS_MAIN(TestPortDevices)
#include "tst_portdevices.moc"
