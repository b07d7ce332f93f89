#pragma once

#include "abstractports.h"
#include "porterror.h"

#include <QObject>
#include <QSerialPort>

// A serial line at 9600 baud, 8 data bits, no parity, one stop bit, no flow control, chosen by
// its port number (n selects COMn). Every write waits, within a bound proportional to its
// length, until its bytes are handed to the system; closing first lets the output drain.
class SerialPort : public QObject, public AbstractSerialPort
{
    Q_OBJECT

public:
    static constexpr qint32 BaudRate = 9600;
    // Time a byte takes on the line: start bit, 8 data bits, stop bit.
    static constexpr double MillisecondsPerByte = 10.0 * 1000.0 / BaudRate;

    explicit SerialPort(QObject *parent = nullptr);

    LastError setPortNumber(qint16 number) override;
    LastError open() override;
    LastError write(const QByteArray &bytes) override;
    LastError close() override;
    bool isOpen() const override { return m_port.isOpen(); }

    qint16 portNumber() const { return m_portNumber; }
    QString portName() const;
    // How long a write or the drain of `bytes` bytes may take before it counts as failed.
    static qint64 boundFor(qint64 bytes);

private:
    PortLocation locate() const;
    LastError failureFromPort(int savedErrno);
    LastError drainOutput();

    QSerialPort m_port;
    qint16 m_portNumber = 1;
    PortLocation m_location{{}, {}, DeviceKind::SerialLine};
    QString m_openFailure;
};
