#include "serialport.h"

#include "portdevices.h"

#include <QSerialPort>
#include <QThread>

#include <cerrno>
#include <sys/ioctl.h>
#include <termios.h>

namespace {

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

std::unique_ptr<QSerialPort> newLine(const QString &devicePath)
{
    auto line = std::make_unique<QSerialPort>();
    line->setPortName(devicePath);
    line->setBaudRate(SerialPort::BaudRate);
    line->setDataBits(QSerialPort::Data8);
    line->setParity(QSerialPort::NoParity);
    line->setStopBits(QSerialPort::OneStop);
    line->setFlowControl(QSerialPort::NoFlowControl);
    return line;
}

} // namespace

SerialPort::SerialPort(QObject *parent)
    : QObject(parent)
{
    m_location = locate();
}

SerialPort::~SerialPort() = default;

PortLocation SerialPort::locate() const
{
    return {portName(), devicePathForPort(portName()), DeviceKind::SerialLine};
}

QString SerialPort::portName() const
{
    return QStringLiteral("COM%1").arg(m_portNumber);
}

bool SerialPort::isOpen() const
{
    return m_port && m_port->isOpen();
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

    m_port = newLine(m_location.devicePath);
    errno = 0;
    if (!m_port->open(QIODevice::WriteOnly)) {
        const LastError failure = failureFromPort(errno);
        m_port.reset();
        m_openFailure = failure.description;
        return failure;
    }
    m_stall.progressed();
    return {};
}

LastError SerialPort::write(const QByteArray &bytes)
{
    if (!isOpen())
        return notOpenFailure(QStringLiteral("serial port"), m_openFailure, m_location);
    if (bytes.isEmpty())
        return {};

    // QSerialPort only queues the bytes; they reach the system while we wait for them.
    m_port->clearError();
    errno = 0;
    if (m_port->write(bytes) != bytes.size())
        return failureFromPort(errno);

    qint64 pending = m_port->bytesToWrite();
    while (m_port->isOpen() && pending > 0) {
        errno = 0;
        m_port->waitForBytesWritten(int(m_stall.remaining().count()));
        const int savedErrno = errno;
        if (m_port->bytesToWrite() < pending) {
            pending = m_port->bytesToWrite();
            m_stall.progressed();
            continue;
        }
        const bool timedOut =
            m_port->error() == QSerialPort::NoError || m_port->error() == QSerialPort::TimeoutError;
        if (timedOut && !m_stall.expired())
            continue;
        // What failed is dropped, so it cannot turn up later, after the next chunk.
        if (m_port->isOpen())
            m_port->clear(QSerialPort::Output);
        return timedOut ? timeoutFailure() : failureFromPort(savedErrno);
    }
    if (!m_port->isOpen())
        return failureFromPort(EIO);
    return {};
}

LastError SerialPort::close()
{
    if (!m_port)
        return {};
    const LastError drained = isOpen() ? drainOutput() : LastError();
    m_port.reset(); // closes the line
    return drained;
}

LastError SerialPort::drainOutput()
{
    // tcdrain() could wait forever on a stalled line; watch the output queue instead.
    const int fd = static_cast<int>(m_port->handle());
    int queued = 0;
    if (::ioctl(fd, TIOCOUTQ, &queued) != 0 || queued <= 0)
        return {};
    int lastQueued = queued;
    while (::ioctl(fd, TIOCOUTQ, &queued) == 0 && queued > 0) {
        if (queued < lastQueued) {
            lastQueued = queued;
            m_stall.progressed();
        } else if (m_stall.expired()) {
            // Drop what cannot leave, or the kernel's own close would wait up to 30 s for it.
            ::tcflush(fd, TCOFLUSH);
            return timeoutFailure();
        }
        QThread::msleep(std::clamp(qint64(queued * MillisecondsPerByte), qint64(1), qint64(20)));
    }
    return {};
}

LastError SerialPort::timeoutFailure() const
{
    return portFailure(ErrorNumber::Timeout,
                       timeoutDescription(m_location, m_stall.limit().count()), m_location);
}

LastError SerialPort::failureFromPort(int savedErrno)
{
    const QSerialPort::SerialPortError error = m_port->error();
    const QString text = m_port->errorString();
    const int errnum = savedErrno != 0 ? savedErrno : errnoFor(error);
    m_port->clearError();
    if (errnum != 0)
        return systemFailure(errnum, m_location);
    return portFailure(ErrorNumber::DeviceFailure, text + QLatin1Char('.'), m_location);
}
