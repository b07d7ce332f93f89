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
    QTest::addColumn<QStringList>("existing");
    QTest::addColumn<QString>("device");

    const QStringList none;
    QTest::newRow("COM1") << "COM1" << QByteArray() << none << "/dev/ttyS0";
    QTest::newRow("COM2") << "COM2" << QByteArray() << none << "/dev/ttyS1";
    QTest::newRow("LPT1 parallel port present")
        << "LPT1" << QByteArray() << QStringList{"/dev/lp0", "/dev/usb/lp0"} << "/dev/lp0";
    QTest::newRow("LPT1 only a USB printer")
        << "LPT1" << QByteArray() << QStringList{"/dev/usb/lp0"} << "/dev/usb/lp0";
    QTest::newRow("LPT1 nothing present") << "LPT1" << QByteArray() << none << "/dev/lp0";
    QTest::newRow("COM2 overridden") << "COM2" << QByteArray("/dev/pts/7") << none << "/dev/pts/7";
    QTest::newRow("LPT1 overridden to a file") << "LPT1" << QByteArray("/tmp/receipt.prn")
                                               << QStringList{"/dev/lp0"} << "/tmp/receipt.prn";
    QTest::newRow("empty override is ignored") << "COM1" << QByteArray("") << none << "/dev/ttyS0";
    QTest::newRow("lower case is no port") << "com1" << QByteArray() << none << QString();
    QTest::newRow("leading space is no port") << " COM1" << QByteArray() << none << QString();
    QTest::newRow("COM0 is no port") << "COM0" << QByteArray() << none << QString();
    QTest::newRow("empty") << "" << QByteArray() << none << QString();
}

void TestPortDevices::mapping()
{
    QFETCH(QString, port);
    QFETCH(QByteArray, override);
    QFETCH(QStringList, existing);
    QFETCH(QString, device);

    const QByteArray variable = portOverrideVariable(port).toLatin1();
    if (!override.isNull())
        qputenv(variable.constData(), override);
    const QString mapped =
        devicePathForPort(port, [&](const QString &path) { return existing.contains(path); });
    qunsetenv(variable.constData());
    QCOMPARE(mapped, device);
}

QTEST_GUILESS_MAIN(TestPortDevices)
#include "tst_portdevices.moc"
