#include "serialport.h"

#include "portdevices.h"

#include <QDeadlineTimer>
#include <QThread>

#include <algorithm>
#include <cerrno>
#include <sys/ioctl.h>
#include <termios.h>

namespace {

constexpr qint64 BoundMarginMs = 2000;

int errnoFor(QSerialPort::SerialPortError error)
{
    switch (error) {
    case QSerialPort::DeviceNotFoundError:
        return ENOENT;
    case QSerialPort::PermissionError:
        return EACCES;
    case QSerialPort::ResourceError:
        return EIO;
    default:
        return 0;
    }
}

} // namespace

SerialPort::SerialPort(QObject *parent)
    : QObject(parent)
{
    m_port.setBaudRate(BaudRate);
    m_port.setDataBits(QSerialPort::Data8);
    m_port.setParity(QSerialPort::NoParity);
    m_port.setStopBits(QSerialPort::OneStop);
    m_port.setFlowControl(QSerialPort::NoFlowControl);
    m_location = locate();
}

PortLocation SerialPort::locate() const
{
    return {portName(), devicePathForPort(portName()), DeviceKind::SerialLine};
}

QString SerialPort::portName() const
{
    return QStringLiteral("COM%1").arg(m_portNumber);
}

qint64 SerialPort::boundFor(qint64 bytes)
{
    return qint64(2 * bytes * MillisecondsPerByte) + BoundMarginMs;
}

LastError SerialPort::setPortNumber(qint16 number)
{
    if (isOpen())
        return portFailure(ErrorNumber::PortAlreadyOpen,
                           QStringLiteral("The port number cannot change while the port is open."),
                           m_location);
    m_portNumber = number;
    m_location = locate();
    return {};
}

LastError SerialPort::open()
{
    if (isOpen())
        return portFailure(ErrorNumber::PortAlreadyOpen,
                           QStringLiteral("The serial port is already open."), m_location);

    m_openFailure.clear();
    m_location = locate(); // the device variables may have changed since
    if (m_portNumber < 1 || m_location.devicePath.isEmpty()) {
        const LastError failure = portFailure(
            ErrorNumber::InvalidPortNumber,
            QStringLiteral("There is no serial port number %1.").arg(m_portNumber), m_location);
        m_openFailure = failure.description;
        return failure;
    }

    m_port.setPortName(m_location.devicePath);
    m_port.clearError();
    errno = 0;
    if (!m_port.open(QIODevice::WriteOnly)) {
        const LastError failure = failureFromPort(errno);
        m_openFailure = failure.description;
        return failure;
    }
    return {};
}

LastError SerialPort::write(const QByteArray &bytes)
{
    if (!isOpen())
        return notOpenFailure(QStringLiteral("serial port"), m_openFailure, m_location);
    if (bytes.isEmpty())
        return {};

    // QSerialPort only queues the bytes; they reach the system while we wait for them.
    m_port.clearError();
    errno = 0;
    if (m_port.write(bytes) != bytes.size())
        return failureFromPort(errno);

    const qint64 bound = boundFor(bytes.size());
    const QDeadlineTimer deadline(bound);
    while (m_port.isOpen() && m_port.bytesToWrite() > 0) {
        errno = 0;
        if (deadline.hasExpired() || !m_port.waitForBytesWritten(deadline.remainingTime())) {
            const int savedErrno = errno;
            const bool timedOut = m_port.error() == QSerialPort::NoError ||
                                  m_port.error() == QSerialPort::TimeoutError;
            // What failed is dropped, so it cannot turn up later, after the next chunk.
            if (m_port.isOpen())
                m_port.clear(QSerialPort::Output);
            if (timedOut)
                return portFailure(ErrorNumber::Timeout, timeoutDescription(m_location, bound),
                                   m_location);
            return failureFromPort(savedErrno);
        }
    }
    if (!m_port.isOpen())
        return failureFromPort(EIO);
    return {};
}

LastError SerialPort::close()
{
    if (!isOpen())
        return {};
    const LastError drained = drainOutput();
    m_port.close();
    return drained;
}

LastError SerialPort::drainOutput()
{
    // tcdrain() could wait forever on a stalled line; poll the output queue with a bound.
    const int fd = static_cast<int>(m_port.handle());
    int queued = 0;
    if (::ioctl(fd, TIOCOUTQ, &queued) != 0 || queued <= 0)
        return {};
    const qint64 bound = boundFor(queued);
    const QDeadlineTimer deadline(bound);
    while (::ioctl(fd, TIOCOUTQ, &queued) == 0 && queued > 0) {
        if (deadline.hasExpired()) {
            // Drop what cannot leave, or the kernel's own close would wait up to 30 s for it.
            ::tcflush(fd, TCOFLUSH);
            return portFailure(ErrorNumber::Timeout, timeoutDescription(m_location, bound),
                               m_location);
        }
        QThread::msleep(std::clamp(qint64(queued * MillisecondsPerByte), qint64(1), qint64(20)));
    }
    return {};
}

LastError SerialPort::failureFromPort(int savedErrno)
{
    const QSerialPort::SerialPortError error = m_port.error();
    const QString text = m_port.errorString();
    const int errnum = savedErrno != 0 ? savedErrno : errnoFor(error);
    m_port.clearError();
    if (errnum != 0)
        return systemFailure(errnum, m_location);
    return portFailure(ErrorNumber::DeviceFailure, text + QLatin1Char('.'), m_location);
}
