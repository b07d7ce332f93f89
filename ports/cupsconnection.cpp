// SPDX-FileCopyrightText: 2026 The VR2710 Demo Developers
// SPDX-License-Identifier: MIT
#include "cupsconnection.h"

#include "boundedcall.h"
#include "devicewriter.h"
#include "failure/displaypath.h"
#include "jobstop.h"
#include "serialline.h"

#include <cups/cups.h>

#include <QThread>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <condition_variable>
#include <cstring>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>

#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

using namespace std::chrono;
using SteadyClock = steady_clock;

// Where a target leads: the server to connect to and the queue's address on it.
struct QueueAddress
{
    QByteArray host; // a name, an address, or the path of the server's local socket
    int port = 631;
    QByteArray uri;      // the queue's printer-uri
    QByteArray resource; // the path requests about the queue go to
    QByteArray queue;    // as the user named it, for messages
    bool secure = false; // ipps: TLS from the start
    http_encryption_t encryption = HTTP_ENCRYPTION_IF_REQUESTED;
};

// CUPS refuses these in queue names.
bool isQueueName(const QByteArray &name)
{
    if (name.isEmpty() || name.size() > 127)
        return false;
    return std::none_of(name.begin(), name.end(), [](char c) {
        const auto byte = static_cast<unsigned char>(c);
        return byte <= ' ' || byte >= 0x7f || std::strchr("/\\?'\"#", c) != nullptr;
    });
}

std::optional<QueueAddress> parseTarget(const QByteArray &device)
{
    QueueAddress address;
    if (device.startsWith("cups:")) {
        address.queue = device.mid(5);
        if (!isQueueName(address.queue))
            return std::nullopt;
        // The default server as every CUPS client finds it: CUPS_SERVER, client.conf, or the
        // local scheduler's socket; looked up afresh for every job, as the settings are.
        cupsSetServer(nullptr);
        address.host = cupsServer();
        address.port = ippPort();
        address.encryption = cupsEncryption();
        const char *uriHost = address.host.startsWith('/') ? "localhost" : address.host.constData();
        char uri[HTTP_MAX_URI];
        if (httpAssembleURIf(HTTP_URI_CODING_ALL, uri, sizeof uri, "ipp", nullptr, uriHost,
                             address.port, "/printers/%s",
                             address.queue.constData()) < HTTP_URI_STATUS_OK)
            return std::nullopt;
        address.uri = uri;
        address.resource = "/printers/" + address.queue;
        return address;
    }
    if (!device.startsWith("ipp://") && !device.startsWith("ipps://"))
        return std::nullopt;
    char scheme[32], user[256], host[256], resource[1024];
    int port = 0;
    if (httpSeparateURI(HTTP_URI_CODING_ALL, device.constData(), scheme, sizeof scheme, user,
                        sizeof user, host, sizeof host, &port, resource,
                        sizeof resource) < HTTP_URI_STATUS_OK)
        return std::nullopt;
    if (host[0] == '\0' || std::strlen(resource) < 2 || port <= 0 || port > 65535)
        return std::nullopt;
    address.host = host;
    address.port = port;
    address.uri = device;
    address.resource = resource;
    address.queue = QByteArray(resource).mid(QByteArray(resource).lastIndexOf('/') + 1);
    address.secure = device.startsWith("ipps://");
    if (address.secure)
        address.encryption = HTTP_ENCRYPTION_ALWAYS;
    return address;
}

using AddressList = std::unique_ptr<http_addrlist_t, void (*)(http_addrlist_t *)>;

// The server's addresses (none where the name is unknown), or nullopt when the lookup took
// longer than `wait` (httpAddrGetList() has no bound of its own).
std::optional<AddressList> lookUp(const QueueAddress &address, milliseconds wait)
{
    return callWithin<AddressList>(
        wait, [host = address.host, port = QByteArray::number(address.port)] {
            return AddressList(httpAddrGetList(host.constData(), AF_UNSPEC, port.constData()),
                               httpAddrFreeList);
        });
}

// The system's reason why connecting to the first of these addresses fails (ETIMEDOUT when it
// takes longer than the wait), 0 if it does not.
int whyConnectFails(http_addrlist_t *addresses, milliseconds wait)
{
    if (!addresses)
        return ECONNREFUSED;
    const http_addr_t &address = addresses->addr;
    const int fd = ::socket(httpAddrFamily(const_cast<http_addr_t *>(&address)),
                            SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return errno;
    int error = 0;
    if (::connect(fd, reinterpret_cast<const sockaddr *>(&address),
                  socklen_t(httpAddrLength(&address))) != 0) {
        error = errno;
        if (error == EINPROGRESS) {
            socklen_t size = sizeof error;
            if (pollFor(fd, POLLOUT, wait) <= 0)
                error = ETIMEDOUT;
            else if (::getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &size) != 0)
                error = errno;
        }
    }
    ::close(fd);
    return error ? error : EHOSTDOWN;
}

// No one is there to type a password: a server that asks for one fails the job instead of
// waiting for an answer on a terminal.
const char *noPassword(const char *, http_t *, const char *, const char *, void *)
{
    return nullptr;
}

// A wait on the server that ran out of the bound is the end of that exchange.
int giveUp(http_t *, void *)
{
    return 0;
}

QString text(const char *value)
{
    return QString::fromUtf8(value ? value : "");
}

// A message as a sentence: one full stop at its end.
QString sentence(QString text)
{
    if (!text.endsWith(QLatin1Char('.')))
        text += QLatin1Char('.');
    return text;
}

// What the server says about a job or a queue, as far as it says anything.
struct ServerState
{
    int state = 0;
    QString message;
    QStringList reasons;
    bool accepting = true;
};

ServerState stateFrom(ipp_t *response, const char *stateName, const char *messageName,
                      const char *reasonsName)
{
    ServerState result;
    if (ipp_attribute_t *attribute = ippFindAttribute(response, stateName, IPP_TAG_ENUM))
        result.state = ippGetInteger(attribute, 0);
    if (ipp_attribute_t *attribute = ippFindAttribute(response, messageName, IPP_TAG_TEXT))
        result.message = text(ippGetString(attribute, 0, nullptr));
    if (ipp_attribute_t *attribute = ippFindAttribute(response, reasonsName, IPP_TAG_KEYWORD))
        for (int i = 0; i < ippGetCount(attribute); ++i)
            result.reasons << text(ippGetString(attribute, i, nullptr));
    if (ipp_attribute_t *attribute =
            ippFindAttribute(response, "printer-is-accepting-jobs", IPP_TAG_BOOLEAN))
        result.accepting = ippGetBoolean(attribute, 0);
    return result;
}

LastError invalidTarget(const PortLocation &where);

class PrintServerQueue : public Connection
{
public:
    PrintServerQueue(const PortLocation &where, StallBound &stall, const QueueAddress &address)
        : m_location(where)
        , m_stall(stall)
        , m_address(address)
    {
    }
    ~PrintServerQueue() override
    {
        if (m_info)
            cupsFreeDestInfo(m_info);
        if (m_dest)
            cupsFreeDests(1, m_dest);
        if (m_http)
            httpClose(m_http);
    }

    LastError open();
    LastError write(const QByteArray &bytes) override
    {
        m_document += bytes;
        return {};
    }
    LastError close() override;

private:
    LastError connect();
    LastError submit(int &jobId);
    LastError awaitCompletion(int jobId);
    // Get-Job-Attributes (jobId > 0) or Get-Printer-Attributes: the response, nullptr where the
    // server gave none.
    ipp_t *askFor(ipp_op_t operation, int jobId, std::initializer_list<const char *> wanted);
    ServerState jobState(int jobId);
    ServerState queueState();
    void cancel(int jobId);

    // Failures, each saying what to do.
    LastError requestFailure(const QString &step);
    LastError connectFailure(int errnum) const;
    LastError timeoutFailure(const QString &step) const;
    LastError boundFailure(const ServerState &job, const ServerState &queue,
                           milliseconds allowed) const;
    QString server() const;
    QString settings() const;

    PortLocation m_location;
    StallBound &m_stall;
    QueueAddress m_address;
    http_t *m_http = nullptr;
    cups_dest_t *m_dest = nullptr;
    cups_dinfo_t *m_info = nullptr;
    QByteArray m_document;
    bool m_closed = false;
};

QString PrintServerQueue::server() const
{
    if (m_address.host.startsWith('/'))
        return QStringLiteral("the print server on this computer (%1)")
            .arg(QString::fromUtf8(m_address.host));
    return QStringLiteral("the print server at %1 port %2")
        .arg(QString::fromUtf8(m_address.host))
        .arg(m_address.port);
}

// The same at the start of a sentence.
QString capitalized(QString text)
{
    if (!text.isEmpty())
        text[0] = text[0].toUpper();
    return text;
}

QString PrintServerQueue::settings() const
{
    return whereToSetTarget(m_location);
}

LastError PrintServerQueue::open()
{
    cupsSetPasswordCB2(noPassword, nullptr);
    m_stall.progressed();
    if (const LastError failure = connect(); failure.isFailure())
        return failure;
    m_dest = cupsGetDestWithURI(nullptr, m_address.uri.constData());
    if (!m_dest)
        return invalidTarget(m_location);
    // Named as the queue's own address: a destination known only by a device address would
    // make libcups set up a temporary queue for it on the default server.
    m_dest->num_options = cupsAddOption("printer-uri-supported", m_address.uri.constData(),
                                        m_dest->num_options, &m_dest->options);
    // Get-Printer-Attributes: the queue exists and what it supports.
    m_info = cupsCopyDestInfo(m_http, m_dest);
    if (!m_info)
        return requestFailure(QStringLiteral("Asking for the queue"));
    m_stall.progressed();
    return {};
}

LastError PrintServerQueue::connect()
{
    const std::optional<AddressList> lookup = lookUp(m_address, m_stall.remaining());
    if (!lookup)
        return lookupTimeoutFailure(m_location, m_address.host, QStringLiteral("print server"),
                                    m_stall.limit().count());
    if (!*lookup)
        return portFailure(ErrorNumber::HostNotFound,
                           QStringLiteral("host not found: %1. Check the print server's name "
                                          "in %2, or give its IP address.")
                               .arg(QString::fromUtf8(m_address.host), settings()),
                           m_location);
    // Created without connecting (no wait given), so that the bound on every wait is set
    // before the connection and its TLS handshake.
    m_http = httpConnect2(m_address.host.constData(), m_address.port, lookup->get(), AF_UNSPEC,
                          HTTP_ENCRYPTION_IF_REQUESTED, 1, 0, nullptr);
    if (!m_http)
        return systemFailure(ENOMEM, m_location);
    httpSetTimeout(m_http, double(m_stall.limit().count()) / 1000.0, giveUp, nullptr);
    const int wait = int(std::max(m_stall.remaining(), milliseconds(1)).count());
    if (httpReconnect2(m_http, wait, nullptr) != 0) {
        int errnum = httpError(m_http) ? httpError(m_http) : ECONNREFUSED;
        // libcups reports every address that failed as "host is down"; one more try says why.
        if (errnum == EHOSTDOWN)
            errnum = whyConnectFails(lookup->get(), m_stall.remaining());
        return connectFailure(errnum);
    }
    m_stall.progressed();
    if (m_address.encryption == HTTP_ENCRYPTION_ALWAYS ||
        m_address.encryption == HTTP_ENCRYPTION_REQUIRED) {
        if (httpEncryption(m_http, m_address.encryption) != 0) {
            if (httpError(m_http) == ETIMEDOUT)
                return timeoutFailure(QStringLiteral("The secure (TLS) connection"));
            return portFailure(
                ErrorNumber::SecureConnection,
                QStringLiteral("The secure (TLS) connection to %1 failed: %2 Check that the "
                               "server takes ipps:// there (or use ipp://), and that its "
                               "certificate is valid for that name; a certificate that "
                               "changed may have to be removed from ~/.cups/ssl.")
                    .arg(server(), sentence(text(cupsLastErrorString()))),
                m_location);
        }
        m_stall.progressed();
    }
    return {};
}

LastError PrintServerQueue::close()
{
    if (m_closed)
        return {};
    m_closed = true;
    if (JobStop::requested())
        return stoppedFailure(m_location); // nothing was submitted, nothing will print
    cupsSetPasswordCB2(noPassword, nullptr);
    int jobId = 0;
    if (const LastError failure = submit(jobId); failure.isFailure()) {
        if (jobId > 0)
            cancel(jobId); // half a job must not print later
        return failure;
    }
    return awaitCompletion(jobId);
}

LastError PrintServerQueue::submit(int &jobId)
{
    if (cupsCreateDestJob(m_http, m_dest, m_info, &jobId, "VR2710 receipt", 0, nullptr) >
            IPP_STATUS_OK_CONFLICTING ||
        jobId <= 0)
        return requestFailure(QStringLiteral("Creating the job"));
    m_stall.progressed();
    // The receipt unchanged, as one raw document: no filter may touch a control byte.
    if (cupsStartDestDocument(m_http, m_dest, m_info, jobId, "receipt", CUPS_FORMAT_RAW, 0, nullptr,
                              1) != HTTP_STATUS_CONTINUE)
        return requestFailure(QStringLiteral("Sending the receipt"));
    if (!m_document.isEmpty() &&
        cupsWriteRequestData(m_http, m_document.constData(), size_t(m_document.size())) !=
            HTTP_STATUS_CONTINUE) {
        cupsFinishDestDocument(m_http, m_dest, m_info);
        return requestFailure(QStringLiteral("Sending the receipt"));
    }
    if (cupsFinishDestDocument(m_http, m_dest, m_info) > IPP_STATUS_OK_CONFLICTING)
        return requestFailure(QStringLiteral("Sending the receipt"));
    m_stall.progressed(m_document.size());
    return {};
}

LastError PrintServerQueue::awaitCompletion(int jobId)
{
    // The server holds the whole receipt now: the printer takes it at its line's pace, and
    // may take the stall bound to start.
    const milliseconds allowed = printerLineTime(m_document.size()) + m_stall.limit();
    const SteadyClock::time_point deadline = SteadyClock::now() + allowed;
    milliseconds pause(2);
    for (;;) {
        const ServerState job = jobState(jobId);
        if (job.state == 0) {
            const LastError failure = requestFailure(QStringLiteral("Asking for the job's state"));
            cancel(jobId);
            return failure;
        }
        m_stall.progressed();
        switch (job.state) {
        case IPP_JSTATE_COMPLETED:
            return {};
        case IPP_JSTATE_CANCELED:
            return portFailure(
                ErrorNumber::PrintJobAborted,
                QStringLiteral("The job was cancelled on %1%2, so the receipt did "
                               "not print. Print it again if it is still needed.")
                    .arg(server(), job.message.isEmpty()
                                       ? QString()
                                       : QStringLiteral(" (\"%1\")").arg(job.message)),
                m_location);
        case IPP_JSTATE_ABORTED:
            return portFailure(ErrorNumber::PrintJobAborted,
                               QStringLiteral("%1 gave the job up: \"%2\". Check that the printer "
                                              "is switched on, connected and reachable from the "
                                              "server, then print again.")
                                   .arg(capitalized(server()), job.message.isEmpty()
                                                                   ? QStringLiteral("job aborted")
                                                                   : job.message),
                               m_location);
        default:
            break;
        }
        // Stopped by a signal: the server has the whole receipt and prints it; stop waiting.
        if (JobStop::requested())
            return stoppedFailure(m_location);
        const auto left = duration_cast<milliseconds>(deadline - SteadyClock::now());
        if (left <= milliseconds(0)) {
            // What the queue says about the printer before the cancel changes it.
            const ServerState queue = queueState();
            cancel(jobId);
            return boundFailure(job, queue, allowed);
        }
        // A job on a local server completes within milliseconds; a busy printer is asked
        // less often.
        QThread::msleep(static_cast<unsigned long>(std::min(pause, left).count()));
        pause = std::min(pause * 2, milliseconds(100));
    }
}

ipp_t *PrintServerQueue::askFor(ipp_op_t operation, int jobId,
                                std::initializer_list<const char *> wanted)
{
    ipp_t *request = ippNewRequest(operation);
    ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_URI, "printer-uri", nullptr,
                 m_address.uri.constData());
    if (jobId > 0)
        ippAddInteger(request, IPP_TAG_OPERATION, IPP_TAG_INTEGER, "job-id", jobId);
    ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_NAME, "requesting-user-name", nullptr,
                 cupsUser());
    ippAddStrings(request, IPP_TAG_OPERATION, IPP_TAG_KEYWORD, "requested-attributes",
                  int(wanted.size()), nullptr, wanted.begin());
    ipp_t *response = cupsDoRequest(m_http, request, m_address.resource.constData());
    if (response && cupsLastError() <= IPP_STATUS_OK_CONFLICTING)
        return response;
    ippDelete(response);
    return nullptr;
}

ServerState PrintServerQueue::jobState(int jobId)
{
    ipp_t *response = askFor(
        IPP_OP_GET_JOB_ATTRIBUTES, jobId,
        {"job-state", "job-state-message", "job-state-reasons", "job-printer-state-message"});
    if (!response)
        return {};
    ServerState state = stateFrom(response, "job-state", "job-state-message", "job-state-reasons");
    // A job waiting for its printer says nothing itself; the queue says why.
    if (state.message.isEmpty())
        state.message =
            stateFrom(response, "job-state", "job-printer-state-message", "job-state-reasons")
                .message;
    ippDelete(response);
    return state;
}

ServerState PrintServerQueue::queueState()
{
    ipp_t *response = askFor(IPP_OP_GET_PRINTER_ATTRIBUTES, 0,
                             {"printer-state", "printer-state-message", "printer-state-reasons",
                              "printer-is-accepting-jobs"});
    if (!response)
        return {};
    const ServerState state =
        stateFrom(response, "printer-state", "printer-state-message", "printer-state-reasons");
    ippDelete(response);
    return state;
}

void PrintServerQueue::cancel(int jobId)
{
    // Bounded like every exchange; a server that does not answer cannot print it either.
    cupsCancelDestJob(m_http, m_dest, jobId);
}

LastError invalidTarget(const PortLocation &where)
{
    return portFailure(EINVAL,
                       QStringLiteral("\"%1\" is not a print queue's address. Write "
                                      "ipp://SERVER[:PORT]/printers/QUEUE, "
                                      "ipps://SERVER[:PORT]/printers/QUEUE or cups:QUEUE (a queue "
                                      "of this computer's print server) in %2.")
                           .arg(displayPath(where.devicePath), whereToSetTarget(where)),
                       where);
}

LastError PrintServerQueue::connectFailure(int errnum) const
{
    const QString system = QString::fromLocal8Bit(std::strerror(errnum));
    switch (errnum) {
    case ETIMEDOUT:
        return timeoutFailure(QStringLiteral("Connecting"));
    case ECONNREFUSED:
    case ENOENT:
        if (m_address.host.startsWith('/'))
            return portFailure(errnum,
                               QStringLiteral("No print server runs on this computer (%1: %2). "
                                              "Start it (sudo systemctl start cups), or name the "
                                              "server with CUPS_SERVER or as ipp://SERVER/printers/"
                                              "QUEUE in %3.")
                                   .arg(QString::fromUtf8(m_address.host), system, settings()),
                               m_location);
        return portFailure(errnum,
                           QStringLiteral("connection refused: no print server answers at %1 "
                                          "port %2. Check that the print server (CUPS) runs "
                                          "there, and its address and port in %3.")
                               .arg(QString::fromUtf8(m_address.host))
                               .arg(m_address.port)
                               .arg(settings()),
                           m_location);
    case EHOSTUNREACH:
    case ENETUNREACH:
        return portFailure(errnum,
                           QStringLiteral("no route: this computer cannot reach the print server "
                                          "%1 (%2). Check its address in %3 and the network "
                                          "connection.")
                               .arg(QString::fromUtf8(m_address.host), system, settings()),
                           m_location);
    default:
        return portFailure(errnum,
                           QStringLiteral("%1 while connecting to %2. Check that the print "
                                          "server runs and is reachable, then print again.")
                               .arg(system, server()),
                           m_location);
    }
}

LastError PrintServerQueue::timeoutFailure(const QString &step) const
{
    return portFailure(ErrorNumber::Timeout,
                       QStringLiteral("%1: %2 answered nothing for %3 s. Check that the print "
                                      "server runs and is reachable, then print again.")
                           .arg(step, server())
                           .arg(double(m_stall.limit().count()) / 1000.0, 0, 'g', 3),
                       m_location);
}

LastError PrintServerQueue::requestFailure(const QString &step)
{
    const ipp_status_t status = cupsLastError();
    const QString says = text(cupsLastErrorString());
    const QString queue = QString::fromUtf8(m_address.queue);
    const int errnum = m_http ? httpError(m_http) : 0;
    if (errnum == ETIMEDOUT)
        return timeoutFailure(step);
    switch (status) {
    case IPP_STATUS_ERROR_NOT_FOUND:
        return portFailure(ENOENT,
                           QStringLiteral("%1 has no queue \"%2\" (%3). Check the queue's name "
                                          "in %4; lpstat -h SERVER -p lists the queues there.")
                               .arg(capitalized(server()), queue, says, settings()),
                           m_location);
    case IPP_STATUS_ERROR_NOT_ACCEPTING_JOBS:
        return portFailure(ErrorNumber::PrintServerRefused,
                           QStringLiteral("The queue \"%1\" on %2 does not accept jobs (%3). An "
                                          "administrator lets it take jobs again with "
                                          "cupsaccept %1; then print again.")
                               .arg(queue, server(), says),
                           m_location);
    case IPP_STATUS_ERROR_NOT_AUTHORIZED:
    case IPP_STATUS_ERROR_FORBIDDEN:
    case IPP_STATUS_ERROR_CUPS_AUTHENTICATION_CANCELED:
        return portFailure(EACCES,
                           QStringLiteral("%1 asks for a user name and password (or refuses this "
                                          "user) for the queue \"%2\" (%3), and this program "
                                          "cannot log in. Ask the administrator to let this "
                                          "computer print to the queue without a password "
                                          "(its policy in cupsd.conf).")
                               .arg(capitalized(server()), queue, says),
                           m_location);
    case IPP_STATUS_ERROR_CUPS_PKI:
        return portFailure(ErrorNumber::SecureConnection,
                           QStringLiteral("The secure (TLS) connection to %1 failed: %2. Check "
                                          "the server's certificate, or use ipp://.")
                               .arg(server(), says),
                           m_location);
    default:
        break;
    }
    if (errnum != 0 || status == IPP_STATUS_ERROR_SERVICE_UNAVAILABLE)
        return portFailure(errnum ? errnum : ECONNRESET,
                           QStringLiteral("%1: the connection to %2 was lost (%3). Check that the "
                                          "print server runs and is reachable, then print "
                                          "again.")
                               .arg(step, server(), says),
                           m_location);
    return portFailure(ErrorNumber::PrintServerRefused,
                       QStringLiteral("%1: %2 refused it for the queue \"%3\": %4 (%5). Check "
                                      "the queue on the server, then print again.")
                           .arg(step, server(), queue, text(ippErrorString(status)), says),
                       m_location);
}

LastError PrintServerQueue::boundFailure(const ServerState &job, const ServerState &queue,
                                         milliseconds allowed) const
{
    const QString queueName = QString::fromUtf8(m_address.queue);
    QString says = !job.message.isEmpty() ? job.message : queue.message;
    QString advice;
    if (queue.state == IPP_PSTATE_STOPPED)
        advice = QStringLiteral("The queue \"%1\" is paused: resume it with cupsenable %1 "
                                "on the server, then print again.")
                     .arg(queueName);
    else if (queue.reasons.contains(QStringLiteral("connecting-to-device")) ||
             job.reasons.contains(QStringLiteral("printer-stopped")) ||
             says.contains(QStringLiteral("unavailable")))
        advice = QStringLiteral("The server cannot reach the printer: check that the printer is "
                                "switched on and connected, and the queue's device (lpstat -v "
                                "%1).")
                     .arg(queueName);
    else
        advice = QStringLiteral("Check that the printer is switched on, on line and has paper, "
                                "and that no other job holds up the queue \"%1\".")
                     .arg(queueName);
    return portFailure(ErrorNumber::Timeout,
                       QStringLiteral("%1 did not complete the job within %2 s, so it was "
                                      "cancelled there and will not print later.%3 %4")
                           .arg(capitalized(server()))
                           .arg(double(allowed.count()) / 1000.0, 0, 'g', 3)
                           .arg(says.isEmpty() ? QString()
                                               : QStringLiteral(" The server says: \"%1\"%2")
                                                     .arg(says, says.endsWith('.') ? "" : "."),
                                advice),
                       m_location);
}

} // namespace

std::chrono::milliseconds printerLineTime(qsizetype bytes)
{
    return std::chrono::milliseconds(qint64(std::ceil(bytes * SerialLine::MillisecondsPerByte)));
}

OpenedConnection openPrintServerQueue(const PortLocation &where, StallBound &stall)
{
    const std::optional<QueueAddress> address = parseTarget(where.devicePath);
    if (!address)
        return {nullptr, invalidTarget(where)};
    auto queue = std::make_unique<PrintServerQueue>(where, stall, *address);
    if (LastError failure = queue->open(); failure.isFailure())
        return {nullptr, failure};
    return {std::move(queue), {}};
}
