// SPDX-FileCopyrightText: 2026 The VR2710 Demo Developers
// SPDX-License-Identifier: MIT
#include "printserverfailures.h"

#include "failure/displaypath.h"
#include "ports/networkhost.h"

#include <cerrno>
#include <cstring>

using std::chrono::milliseconds;

namespace {

// The same at the start of a sentence.
QString capitalized(QString text)
{
    if (!text.isEmpty())
        text[0] = text[0].toUpper();
    return text;
}

// A message as a sentence: one full stop at its end.
QString sentence(QString text)
{
    if (!text.endsWith(QLatin1Char('.')))
        text += QLatin1Char('.');
    return text;
}

QString systemText(int errnum)
{
    return QString::fromLocal8Bit(std::strerror(errnum));
}

} // namespace

PrintServerFailures::PrintServerFailures(const PortLocation &where, const QueueAddress &address,
                                         milliseconds limit)
    : m_where(where)
    , m_address(address)
    , m_limit(limit)
{
}

QString PrintServerFailures::server() const
{
    if (m_address.isLocalSocket())
        return QStringLiteral("the print server on this computer (%1)")
            .arg(QString::fromUtf8(m_address.host));
    return QStringLiteral("the print server at %1 port %2")
        .arg(QString::fromUtf8(m_address.host))
        .arg(m_address.port);
}

QString PrintServerFailures::settings() const
{
    return whereToSetTarget(m_where);
}

QString PrintServerFailures::bound(milliseconds limit) const
{
    return QString::number(double(limit.count()) / 1000.0, 'g', 3);
}

LastError PrintServerFailures::invalidTarget(const PortLocation &where)
{
    return portFailure(EINVAL,
                       QStringLiteral("\"%1\" is not a print queue's address. Write "
                                      "ipp://SERVER[:PORT]/printers/QUEUE, "
                                      "ipps://SERVER[:PORT]/printers/QUEUE or cups:QUEUE (a queue "
                                      "of this computer's print server) in %2.")
                           .arg(displayPath(where.devicePath), whereToSetTarget(where)),
                       where);
}

LastError PrintServerFailures::otherVersion(const PortLocation &where)
{
    return portFailure(EINVAL,
                       QStringLiteral("The print-server module belongs to another version of "
                                      "this program. Install this program's package "
                                      "(vr2710-demo) again."),
                       where);
}

QString PrintServerFailures::whatTheServerDid(const ExchangeOutcome &outcome) const
{
    const ExchangeWatchdog::Receipt &receipt = outcome.receipt;
    if (outcome.phase == ExchangePhase::Sending)
        return QStringLiteral("it stopped taking what this computer sent");
    if (receipt.bytesReceived == 0)
        return QStringLiteral("it sent no answer");
    if (receipt.bytesReceived < 0)
        return QStringLiteral("its answer did not come whole");
    if (receipt.sinceLastByteMs >= 0 && receipt.sinceLastByteMs < 1000)
        return QStringLiteral("it was still sending its answer a few bytes at a time (%1 bytes "
                              "so far)")
            .arg(receipt.bytesReceived);
    return QStringLiteral("it sent %1 bytes of its answer and then nothing more")
        .arg(receipt.bytesReceived);
}

LastError PrintServerFailures::exchangeFailed(const QString &step,
                                              const ExchangeOutcome &outcome) const
{
    const NetworkPeer peer{m_address.host, quint16(m_address.port), QStringLiteral("print server")};
    const QString failed = QStringLiteral("%1: the exchange with %2 failed: ").arg(step, server());
    const QString checkServer =
        QStringLiteral(" Check that the print server runs and is reachable, then print again.");
    switch (outcome.trouble) {
    case ExchangeTrouble::None:
        break;
    case ExchangeTrouble::Stopped:
        return stoppedFailure(m_where);
    case ExchangeTrouble::TimeUp:
        if (outcome.phase == ExchangePhase::LookingUp)
            return lookupFailure(m_where, peer, m_limit);
        if (outcome.phase == ExchangePhase::Connecting)
            return connectFailure(m_where, peer, ETIMEDOUT, m_limit);
        return portFailure(ErrorNumber::Timeout,
                           QStringLiteral("%1: the exchange with %2 did not finish within %3 s: "
                                          "%4. Check that the print server runs and is not "
                                          "overloaded, then print again.")
                               .arg(step, server(), bound(m_limit), whatTheServerDid(outcome)),
                           m_where);
    case ExchangeTrouble::HostNotFound:
        return hostNotFoundFailure(m_where, peer, outcome.errnum);
    case ExchangeTrouble::ConnectFailed:
        // cups:QUEUE: the fix is the default server, not the port's target.
        if (m_address.isLocalSocket() || m_address.fromDefaultServer)
            return portFailure(
                outcome.errnum,
                QStringLiteral("%1: no print server answers as this computer's default print "
                               "server (%2). Start it (sudo systemctl start cups), or name the "
                               "print server to use with CUPS_SERVER or with ServerName in "
                               "client.conf (~/.cups/client.conf or /etc/cups/client.conf).")
                    .arg(outcome.errnum == ECONNREFUSED ? QStringLiteral("connection refused")
                                                        : systemText(outcome.errnum),
                         m_address.isLocalSocket() ? QString::fromUtf8(m_address.host)
                                                   : QStringLiteral("%1 port %2")
                                                         .arg(QString::fromUtf8(m_address.host))
                                                         .arg(m_address.port)),
                m_where);
        return connectFailure(m_where, peer, outcome.errnum, m_limit);
    case ExchangeTrouble::Tls:
        return portFailure(
            ErrorNumber::SecureConnection,
            QStringLiteral("The secure (TLS) connection to %1 failed: %2 Check that the server "
                           "takes ipps:// there (or use ipp://), and that its certificate is valid "
                           "for that name; a certificate that changed may have to be removed from "
                           "~/.cups/ssl.")
                .arg(server(), outcome.errnum == EAGAIN
                                   ? QStringLiteral("after the handshake it sent a TLS message "
                                                    "that libcups cannot take (as TLS 1.3 "
                                                    "session tickets are for libcups 2.4).")
                                   : sentence(QString::fromUtf8(outcome.detail))),
            m_where);
    case ExchangeTrouble::Closed:
        return portFailure(ErrorNumber::PrintServerAnswer,
                           failed +
                               (outcome.phase == ExchangePhase::Sending
                                    ? QStringLiteral("it closed the connection before it had the "
                                                     "whole request (%1).")
                                    : QStringLiteral("it closed the connection without answering "
                                                     "(%1)."))
                                   .arg(systemText(outcome.errnum)) +
                               checkServer,
                           m_where);
    case ExchangeTrouble::Redirect: {
        QString target = QString::fromUtf8(outcome.detail);
        QString advice = QStringLiteral("Put the address it points to in %1.").arg(settings());
        if (target.startsWith(QStringLiteral("https://")))
            advice = QStringLiteral("It asks for a secure connection: use ipps:// instead of "
                                    "ipp:// in %1.")
                         .arg(settings());
        return portFailure(
            ErrorNumber::PrintServerAnswer,
            failed + QStringLiteral("it answered with a redirect to %1, which this "
                                    "program does not follow. %2")
                         .arg(target.isEmpty() ? QStringLiteral("nowhere") : target, advice),
            m_where);
    }
    case ExchangeTrouble::HttpError: {
        const QString status =
            QStringLiteral("HTTP status %1 (%2)")
                .arg(outcome.httpStatus)
                .arg(QString::fromUtf8(httpStatus(http_status_t(outcome.httpStatus))));
        switch (outcome.httpStatus) {
        case HTTP_STATUS_UNAUTHORIZED:
        case HTTP_STATUS_FORBIDDEN:
            return refused(step, IPP_STATUS_ERROR_NOT_AUTHORIZED, status);
        case HTTP_STATUS_NOT_FOUND:
            return refused(step, IPP_STATUS_ERROR_NOT_FOUND, status);
        case HTTP_STATUS_UPGRADE_REQUIRED:
            return portFailure(ErrorNumber::PrintServerAnswer,
                               failed +
                                   QStringLiteral("it answered %1: it takes jobs only over a "
                                                  "secure (TLS) connection. Use ipps:// instead "
                                                  "of ipp:// in %2.")
                                       .arg(status, settings()),
                               m_where);
        default:
            return portFailure(ErrorNumber::PrintServerAnswer,
                               failed + QStringLiteral("it answered %1. Check the queue's "
                                                       "address in %2, and the server's error "
                                                       "log.")
                                            .arg(status, settings()),
                               m_where);
        }
    }
    case ExchangeTrouble::NotHttp:
        return portFailure(ErrorNumber::PrintServerAnswer,
                           failed + QStringLiteral("what it answered is not HTTP, so no print "
                                                   "server (IPP) answers there. Check the "
                                                   "address and port in %1.")
                                        .arg(settings()),
                           m_where);
    case ExchangeTrouble::NotIpp:
        return portFailure(ErrorNumber::PrintServerAnswer,
                           failed + QStringLiteral("what it answered is not IPP (%1), so no "
                                                   "print queue answers at that address. Check "
                                                   "the address in %2; a queue's address is "
                                                   "ipp://SERVER:631/printers/QUEUE.")
                                        .arg(outcome.detail.isEmpty()
                                                 ? QStringLiteral("no content type")
                                                 : QString::fromUtf8(outcome.detail),
                                             settings()),
                           m_where);
    case ExchangeTrouble::CutShort:
        return portFailure(ErrorNumber::PrintServerAnswer,
                           failed +
                               QStringLiteral("its answer was cut short: the connection closed "
                                              "before the whole IPP answer came.") +
                               checkServer,
                           m_where);
    }
    return {};
}

LastError PrintServerFailures::refused(const QString &step, ipp_status_t status,
                                       const QString &says) const
{
    const QString queue = QString::fromUtf8(m_address.queue);
    switch (status) {
    case IPP_STATUS_ERROR_NOT_FOUND:
        return portFailure(ENOENT,
                           QStringLiteral("%1 has no queue \"%2\" (%3). Check the queue's name "
                                          "in %4; lpstat -h SERVER -p lists the queues there.")
                               .arg(capitalized(server()), queue, says, settings()),
                           m_where);
    case IPP_STATUS_ERROR_NOT_ACCEPTING_JOBS:
        return portFailure(ErrorNumber::PrintServerRefused,
                           QStringLiteral("The queue \"%1\" on %2 does not accept jobs (%3). An "
                                          "administrator lets it take jobs again with "
                                          "cupsaccept %1; then print again.")
                               .arg(queue, server(), says),
                           m_where);
    case IPP_STATUS_ERROR_NOT_AUTHORIZED:
    case IPP_STATUS_ERROR_FORBIDDEN:
    case IPP_STATUS_ERROR_NOT_AUTHENTICATED:
        return portFailure(EACCES,
                           QStringLiteral("%1 asks for a user name and password (or refuses this "
                                          "user) for the queue \"%2\" (%3), and this program "
                                          "cannot log in. Ask the administrator to let this "
                                          "computer print to the queue without a password "
                                          "(its policy in cupsd.conf).")
                               .arg(capitalized(server()), queue, says),
                           m_where);
    default:
        return portFailure(
            ErrorNumber::PrintServerRefused,
            QStringLiteral("%1: %2 refused it for the queue \"%3\": \"%4\" (%5). "
                           "Check the queue on the server, then print again.")
                .arg(step, server(), queue, says, QString::fromUtf8(ippErrorString(status))),
            m_where);
    }
}

LastError PrintServerFailures::jobCancelled(const QString &says) const
{
    return portFailure(
        ErrorNumber::PrintJobAborted,
        QStringLiteral("The job was cancelled on %1%2, so the receipt did not "
                       "print. Print it again if it is still needed.")
            .arg(server(), says.isEmpty() ? QString() : QStringLiteral(" (\"%1\")").arg(says)),
        m_where);
}

LastError PrintServerFailures::jobAborted(const QString &says) const
{
    return portFailure(
        ErrorNumber::PrintJobAborted,
        QStringLiteral("%1 gave the job up: \"%2\". Check that the printer is "
                       "switched on, connected and reachable from the server, "
                       "then print again.")
            .arg(capitalized(server()), says.isEmpty() ? QStringLiteral("job aborted") : says),
        m_where);
}

LastError PrintServerFailures::notCompleted(const ServerState &job, const ServerState &queue,
                                            milliseconds allowed) const
{
    const QString queueName = QString::fromUtf8(m_address.queue);
    const QString says = !job.message.isEmpty() ? job.message : queue.message;
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
    return portFailure(
        ErrorNumber::Timeout,
        QStringLiteral("%1 did not complete the job within %2 s.%3 %4")
            .arg(capitalized(server()), bound(allowed),
                 says.isEmpty() ? QString()
                                : QStringLiteral(" The server says: \"%1\"").arg(sentence(says)),
                 advice),
        m_where);
}

LastError PrintServerFailures::stopped(bool serverHadReceipt) const
{
    return portFailure(ErrorNumber::Stopped,
                       serverHadReceipt
                           ? QStringLiteral("The job was stopped after %1 had the whole receipt, "
                                            "before the printer had printed it.")
                                 .arg(server())
                           : QStringLiteral("The job was stopped before %1 had the whole "
                                            "receipt.")
                                 .arg(server()),
                       m_where);
}

LastError PrintServerFailures::withCancel(LastError failure, int jobId, const QString &problem)
{
    if (problem.isEmpty())
        failure.description +=
            QStringLiteral(" The job was cancelled on the server: it will not print later.");
    else
        failure.description +=
            QStringLiteral(" Cancelling the job (number %1) on the server failed (%2), so it may "
                           "still print: cancel it there with cancel %1.")
                .arg(jobId)
                .arg(problem);
    return failure;
}

QString PrintServerFailures::shortly(const ExchangeOutcome &outcome, ipp_status_t status) const
{
    if (!outcome.ok())
        return exchangeFailed(QStringLiteral("Cancelling"), outcome).description;
    return QString::fromUtf8(ippErrorString(status));
}
