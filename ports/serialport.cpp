// SPDX-FileCopyrightText: 2026 The VR2710 Demo Developers
// SPDX-License-Identifier: MIT
#include "serialport.h"

#include "deviceholders.h"
#include "devicewriter.h"
#include "portdevices.h"

#include <QFile>
#include <QSerialPort>
#include <QThread>

#include <cerrno>
#include <fcntl.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

namespace {

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

// Qt's serial port takes a lock file of its own, named after the path it opens, and reads any
// lock file without its own lines as stale and removes it: opened under the real device's
// name it would remove the lock just taken. It opens the line through our descriptor instead,
// so its lock gets a name of its own. Without /proc it gets the device's path.
QString pathForQt(int descriptor, const QByteArray &resolved)
{
    const QByteArray viaDescriptor =
        "/proc/" + QByteArray::number(qint64(::getpid())) + "/fd/" + QByteArray::number(descriptor);
    if (::access(viaDescriptor.constData(), F_OK) == 0)
        return QString::fromLatin1(viaDescriptor);
    return QFile::decodeName(resolved);
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
    return {portName(), devicePathForPort(portName()), DeviceKind::SerialLine, {}};
}

QString SerialPort::portName() const
{
    return QStringLiteral("COM%1").arg(m_portNumber);
}

bool SerialPort::isOpen() const
{
    return (m_port && m_port->isOpen()) || m_network.isOpen();
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

LastError SerialPort::openFailure(const LastError &failure)
{
    m_lock.reset();
    m_openFailure = failure.description;
    return failure;
}

LastError SerialPort::open()
{
    if (isOpen())
        return portFailure(ErrorNumber::PortAlreadyOpen,
                           QStringLiteral("The serial port is already open."), m_location);

    m_openFailure.clear();
    // Found again on every open: the device variables may have changed since.
    const PortTarget target = m_portNumber < 1 ? PortTarget() : portTarget(portName());
    m_location = {portName(), target.path, DeviceKind::SerialLine, target.resolved};
    if (target.path.isEmpty())
        return openFailure(portFailure(
            ErrorNumber::InvalidPortNumber,
            QStringLiteral("There is no serial port number %1.").arg(m_portNumber), m_location));
    if (NetworkAddress::isNetworkDevice(target.path)) {
        const LastError connected = m_network.open(m_location);
        return connected.isFailure() ? openFailure(connected) : connected;
    }
    if (target.error != 0)
        return openFailure(systemFailure(target.error, m_location));

    // Refused before it is locked or opened: that needs no access to the device.
    struct stat status
    {
    };
    if (::stat(target.resolved.constData(), &status) == 0 && m_console.isConsole(status))
        return openFailure(consoleFailure(m_location));

    m_lock = std::make_unique<UucpLock>(m_lockFolder);
    if (!m_lock->acquire(target.resolved))
        return openFailure(busyFailure(m_location, m_lock->holder()));

    int fd;
    do {
        fd = ::open(target.resolved.constData(), O_WRONLY | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0)
        return openFailure(DeviceHolders::openFailure(errno, m_location));
    termios settings{};
    const int isTerminal = ::tcgetattr(fd, &settings);
    const int notTerminalErrno = errno;
    if (isTerminal != 0) {
        ::close(fd);
        return openFailure(systemFailure(notTerminalErrno, m_location));
    }
    const LastError opened = openLine(fd);
    ::close(fd);
    if (opened.isFailure())
        return openFailure(opened);
    m_stall.progressed();
    return {};
}

LastError SerialPort::openLine(int descriptor)
{
    m_port = newLine(pathForQt(descriptor, m_location.resolvedPath));
    if (!m_port->open(QIODevice::WriteOnly)) {
        // Only Qt's own words: errno no longer belongs to the call that failed.
        QString description = m_port->errorString() + QLatin1Char('.');
        if (m_port->error() == QSerialPort::PermissionError)
            description += QStringLiteral(" Qt's serial port keeps a lock file of its own in "
                                          "/var/lock or /tmp; check that one of them exists "
                                          "and is writable.");
        m_port.reset();
        return portFailure(ErrorNumber::DeviceFailure, description, m_location);
    }
    // Qt asks for exclusive use too, but does not fail when that fails; ask again.
    ::ioctl(int(m_port->handle()), TIOCEXCL);
    m_port->clearError();
    return {};
}

LastError SerialPort::write(const QByteArray &bytes)
{
    if (!isOpen())
        return notOpenFailure(QStringLiteral("serial port"), m_openFailure, m_location);
    if (bytes.isEmpty())
        return {};
    if (m_network.isOpen())
        return m_network.send(bytes);

    // Written straight to the descriptor: Qt's buffered writes need an event loop, and its
    // errors would not carry the errno of the call that failed.
    const int fd = int(m_port->handle());
    const int result = DeviceWriter(DeviceCalls::system(), m_stall).writeAll(fd, bytes);
    if (result == 0)
        return {};
    // What failed is dropped, so it cannot turn up later, after the next chunk.
    ::tcflush(fd, TCOFLUSH);
    return result == DeviceWriter::TimedOut ? timeoutFailure() : systemFailure(result, m_location);
}

LastError SerialPort::close()
{
    if (m_network.isOpen())
        return m_network.close();
    if (!m_port) {
        m_lock.reset();
        return {};
    }
    const LastError drained = isOpen() ? drainOutput() : LastError();
    m_port.reset(); // closes the line
    m_lock.reset(); // and only then gives it up
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
