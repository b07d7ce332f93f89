// SPDX-FileCopyrightText: 2026 The VR2710 Demo Developers
// SPDX-License-Identifier: MIT
#pragma once

#include "abstractports.h"
#include "networkport.h"
#include "porterror.h"
#include "stallbound.h"
#include "systemconsole.h"
#include "uucplock.h"

#include <QObject>

#include <memory>

class QSerialPort;

// A serial line at 9600 baud, 8 data bits, no parity, one stop bit, no flow control, chosen by
// its port number (n selects COMn). The line is locked as Linux serial programs lock it (a uucp
// lock file, TIOCEXCL) and refused when it is the system console. Every write waits until its
// bytes are handed to the system and closing first lets the output drain; either fails once the
// line has taken no byte for the stall bound. The line exists only between open and close, on
// the thread that opened it, and needs no event loop.
class SerialPort : public QObject, public AbstractSerialPort
{
    Q_OBJECT

public:
    static constexpr qint32 BaudRate = 9600;
    // Time a byte takes on the line: start bit, 8 data bits, stop bit.
    static constexpr double MillisecondsPerByte = 10.0 * 1000.0 / BaudRate;

    explicit SerialPort(QObject *parent = nullptr);
    ~SerialPort() override;

    LastError setPortNumber(qint16 number) override;
    LastError open() override;
    LastError write(const QByteArray &bytes) override;
    LastError close() override;
    bool isOpen() const override;

    qint16 portNumber() const { return m_portNumber; }
    QString portName() const;
    void setStallTimeout(std::chrono::milliseconds timeout) { m_stall.setLimit(timeout); }
    void setSystemConsole(const SystemConsole &console) { m_console = console; }
    void setLockFolder(const QByteArray &folder) { m_lockFolder = folder; }

private:
    PortLocation locate() const;
    LastError openFailure(const LastError &failure);
    // Opens the line (already locked and opened once as descriptor) through Qt's serial port.
    LastError openLine(int descriptor);
    LastError timeoutFailure() const;
    LastError drainOutput();

    // The lock outlives the line: declared first, it is released after the line is closed.
    std::unique_ptr<UucpLock> m_lock;
    std::unique_ptr<QSerialPort> m_port;
    qint16 m_portNumber = 1;
    PortLocation m_location{{}, {}, DeviceKind::SerialLine, {}};
    QString m_openFailure;
    StallBound m_stall;
    NetworkConnection m_network{m_stall}; // a socket:// device instead of a serial line
    SystemConsole m_console;
    QByteArray m_lockFolder = UucpLock::defaultFolder();
};
