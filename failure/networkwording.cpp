// SPDX-FileCopyrightText: 2026 The VR2710 Demo Developers
// SPDX-License-Identifier: MIT
// The catalogue's words for network printers and print servers.
#include "catalogue.h"
#include "displaypath.h"
#include "wording.h"

#include <cerrno>
#include <netdb.h>

using namespace Wording;

namespace {

QString hostAndPort(const FailurePeer &peer)
{
    return QStringLiteral("%1 port %2").arg(QString::fromUtf8(peer.host)).arg(peer.port);
}

// "printer", "print server": who the advice is about.
QString whose(const FailurePeer &peer)
{
    return peer.kind == FailurePeer::Kind::Printer ? QStringLiteral("printer")
                                                   : QStringLiteral("print server");
}

QString server(const FailurePeer &peer)
{
    if (peer.isLocalSocket())
        return QStringLiteral("the print server on this computer (%1)")
            .arg(QString::fromUtf8(peer.host));
    return QStringLiteral("the print server at %1").arg(hostAndPort(peer));
}

QString queue(const FailurePeer &peer)
{
    return QString::fromUtf8(peer.queue);
}

// The same failure as another kind: where a network failure is one the catalogue words anyway.
QString describedAs(Failure failure, FailureKind kind)
{
    failure.kind = kind;
    failure.cancelledJob = 0; // told once, by the caller
    return Catalogue::describe(failure).description;
}

QString stepName(FailureExchange::Step step)
{
    switch (step) {
    case FailureExchange::Step::Connecting:
        return QStringLiteral("Connecting");
    case FailureExchange::Step::AskingForQueue:
        return QStringLiteral("Asking for the queue");
    case FailureExchange::Step::CreatingJob:
        return QStringLiteral("Creating the job");
    case FailureExchange::Step::SendingReceipt:
        return QStringLiteral("Sending the receipt");
    case FailureExchange::Step::AskingForJobState:
        return QStringLiteral("Asking for the job's state");
    case FailureExchange::Step::AskingForQueueState:
        return QStringLiteral("Asking for the queue's state");
    case FailureExchange::Step::Cancelling:
        return QStringLiteral("Cancelling");
    }
    return {};
}

QString whatTheServerDid(const FailureExchange &exchange)
{
    if (exchange.sending)
        return QStringLiteral("it stopped taking what this computer sent");
    if (exchange.bytesReceived == 0)
        return QStringLiteral("it sent no answer");
    if (exchange.bytesReceived < 0)
        return QStringLiteral("its answer did not come whole");
    if (exchange.sinceLastByteMs >= 0 && exchange.sinceLastByteMs < 1000)
        return QStringLiteral("it was still sending its answer a few bytes at a time (%1 bytes "
                              "so far)")
            .arg(exchange.bytesReceived);
    return QStringLiteral("it sent %1 bytes of its answer and then nothing more")
        .arg(exchange.bytesReceived);
}

QString connectFailed(const Failure &failure)
{
    const FailurePeer &peer = failure.peer;
    switch (failure.errnum) {
    case ECANCELED:
        return describedAs(failure, FailureKind::Stopped);
    case ETIMEDOUT:
        return QStringLiteral("%1 took no data for %2 s. Nothing answered at %3: check that the "
                              "%4 is switched on and connected to the network.")
            .arg(displayPath(failure.place.target), seconds(failure.bound), hostAndPort(peer),
                 whose(peer));
    case ECONNREFUSED:
        return QStringLiteral("connection refused: nothing takes print jobs at %1. Check that the "
                              "%2 is switched on and running there, and its address and port in "
                              "%3.")
            .arg(hostAndPort(peer), whose(peer), whereToSetTarget(failure.place));
    case EHOSTUNREACH:
    case ENETUNREACH:
        return QStringLiteral("no route: this computer cannot reach %1 (%2). Check the %3's "
                              "address in %4 and the network connection.")
            .arg(hostAndPort(peer), systemText(failure.errnum), whose(peer),
                 whereToSetTarget(failure.place));
    default:
        return describedAs(failure, FailureKind::System);
    }
}

// An exchange that gave no usable answer: "Creating the job: the exchange with ... failed: ".
QString exchangeFailed(const Failure &failure, const QString &what)
{
    return QStringLiteral("%1: the exchange with %2 failed: %3")
        .arg(stepName(failure.exchange.step), server(failure.peer), what);
}

const QString CheckServer =
    QStringLiteral(" Check that the print server runs and is reachable, then print again.");

QString tls(const Failure &failure)
{
    const QString why = failure.errnum == EAGAIN
                            ? QStringLiteral("after the handshake it sent a TLS message that "
                                             "libcups cannot take (as TLS 1.3 session tickets are "
                                             "for libcups 2.4).")
                            : sentence(failure.detail);
    return QStringLiteral("The secure (TLS) connection to %1 failed: %2 Check that the server "
                          "takes ipps:// there (or use ipp://), and that its certificate is valid "
                          "for that name; a certificate that changed may have to be removed from "
                          "~/.cups/ssl.")
        .arg(server(failure.peer), why);
}

QString redirect(const Failure &failure)
{
    const QString settings = whereToSetTarget(failure.place);
    const QString target = failure.detail;
    const QString advice =
        target.startsWith(QStringLiteral("https://"))
            ? QStringLiteral("It asks for a secure connection: use ipps:// instead of ipp:// in "
                             "%1.")
                  .arg(settings)
            : QStringLiteral("Put the address it points to in %1.").arg(settings);
    return exchangeFailed(failure,
                          QStringLiteral("it answered with a redirect to %1, which this "
                                         "program does not follow. %2")
                              .arg(target.isEmpty() ? QStringLiteral("nowhere") : target, advice));
}

QString httpError(Failure failure)
{
    const int status = failure.exchange.httpStatus;
    const QString said = QStringLiteral("HTTP status %1 (%2)").arg(status).arg(failure.detail);
    failure.serverSays = said;
    if (status == 401 || status == 403)
        return describedAs(failure, FailureKind::NotAuthorized);
    if (status == 404)
        return describedAs(failure, FailureKind::NoSuchQueue);
    if (status == 426)
        return exchangeFailed(failure, QStringLiteral("it answered %1: it takes jobs only over a "
                                                      "secure (TLS) connection. Use ipps:// "
                                                      "instead of ipp:// in %2.")
                                           .arg(said, whereToSetTarget(failure.place)));
    return exchangeFailed(failure, QStringLiteral("it answered %1. Check the queue's address in "
                                                  "%2, and the server's error log.")
                                       .arg(said, whereToSetTarget(failure.place)));
}

QString notCompleted(const Failure &failure)
{
    const QString name = queue(failure.peer);
    QString advice;
    switch (failure.queue) {
    case QueueCondition::Paused:
        advice = QStringLiteral("The queue \"%1\" is paused: resume it with cupsenable %1 on the "
                                "server, then print again.")
                     .arg(name);
        break;
    case QueueCondition::PrinterUnreachable:
        advice = QStringLiteral("The server cannot reach the printer: check that the printer is "
                                "switched on and connected, and the queue's device (lpstat -v "
                                "%1).")
                     .arg(name);
        break;
    case QueueCondition::Unremarkable:
        advice = QStringLiteral("Check that the printer is switched on, on line and has paper, "
                                "and that no other job holds up the queue \"%1\".")
                     .arg(name);
        break;
    }
    const QString says =
        failure.serverSays.isEmpty()
            ? QString()
            : QStringLiteral(" The server says: \"%1\"").arg(sentence(failure.serverSays));
    return QStringLiteral("%1 did not complete the job within %2 s.%3 %4")
        .arg(capitalized(server(failure.peer)), seconds(failure.bound), says, advice);
}

QString refused(const Failure &failure, const QString &says)
{
    return QStringLiteral("%1: %2 refused it for the queue \"%3\": \"%4\" (%5). Check the queue "
                          "on the server, then print again.")
        .arg(stepName(failure.exchange.step), server(failure.peer), queue(failure.peer), says,
             failure.detail);
}

QString badAddress(const Failure &failure)
{
    const QString target = displayPath(failure.place.target);
    const QString settings = whereToSetTarget(failure.place);
    if (failure.peer.kind == FailurePeer::Kind::Printer)
        return QStringLiteral("\"%1\" is not a network printer's address. Write socket://HOST or "
                              "socket://HOST:PORT (PORT from 1 to 65535, 9100 when left out) in "
                              "%2.")
            .arg(target, settings);
    return QStringLiteral("\"%1\" is not a print queue's address. Write "
                          "ipp://SERVER[:PORT]/printers/QUEUE, ipps://SERVER[:PORT]/printers/QUEUE "
                          "or cups:QUEUE (a queue of this computer's print server) in %2.")
        .arg(target, settings);
}

QString networkText(const Failure &failure)
{
    const FailurePeer &peer = failure.peer;
    switch (failure.kind) {
    case FailureKind::BadAddress:
        return badAddress(failure);
    case FailureKind::LookupTimedOut:
        return QStringLiteral("Looking up the %1's name %2 took longer than %3 s. Check this "
                              "computer's network connection, or give the %1's IP address.")
            .arg(whose(peer), QString::fromUtf8(peer.host), seconds(failure.bound));
    case FailureKind::HostNotFound:
        return QStringLiteral("host not found: %1 (%2). Check the %3's name in %4, or give its "
                              "IP address.")
            .arg(QString::fromUtf8(peer.host),
                 QString::fromLocal8Bit(::gai_strerror(failure.errnum)), whose(peer),
                 whereToSetTarget(failure.place));
    case FailureKind::ConnectFailed:
        return connectFailed(failure);
    case FailureKind::ConnectionClosed:
        return QStringLiteral("%1. The printer closed the connection before it had the whole "
                              "receipt; check the printer, then print again.")
            .arg(systemText(failure.errnum));
    case FailureKind::DefaultServerDown:
        // cups:QUEUE: the fix is the default server, not the port's target.
        return QStringLiteral("%1: no print server answers as this computer's default print "
                              "server (%2). Start it (sudo systemctl start cups), or name the "
                              "print server to use with CUPS_SERVER or with ServerName in "
                              "client.conf (~/.cups/client.conf or /etc/cups/client.conf).")
            .arg(failure.errnum == ECONNREFUSED ? QStringLiteral("connection refused")
                                                : systemText(failure.errnum),
                 peer.isLocalSocket() ? QString::fromUtf8(peer.host) : hostAndPort(peer));
    case FailureKind::Tls:
        return tls(failure);
    case FailureKind::ExchangeTimedOut:
        return QStringLiteral("%1: the exchange with %2 did not finish within %3 s: %4. Check that "
                              "the print server runs and is not overloaded, then print again.")
            .arg(stepName(failure.exchange.step), server(peer), seconds(failure.bound),
                 whatTheServerDid(failure.exchange));
    case FailureKind::ServerClosed:
        return exchangeFailed(failure,
                              (failure.exchange.sending
                                   ? QStringLiteral("it closed the connection before it had the "
                                                    "whole request (%1).")
                                   : QStringLiteral("it closed the connection without answering "
                                                    "(%1)."))
                                  .arg(systemText(failure.errnum))) +
               CheckServer;
    case FailureKind::ServerRedirect:
        return redirect(failure);
    case FailureKind::ServerHttpError:
        return httpError(failure);
    case FailureKind::ServerNotHttp:
        return exchangeFailed(failure, QStringLiteral("what it answered is not HTTP, so no print "
                                                      "server (IPP) answers there. Check the "
                                                      "address and port in %1.")
                                           .arg(whereToSetTarget(failure.place)));
    case FailureKind::ServerNotIpp:
        return exchangeFailed(
            failure,
            QStringLiteral("what it answered is not IPP (%1), so no print queue answers "
                           "at that address. Check the address in %2; a queue's address "
                           "is ipp://SERVER:631/printers/QUEUE.")
                .arg(failure.detail.isEmpty() ? QStringLiteral("no content type") : failure.detail,
                     whereToSetTarget(failure.place)));
    case FailureKind::ServerCutShort:
        return exchangeFailed(failure, QStringLiteral("its answer was cut short: the connection "
                                                      "closed before the whole IPP answer "
                                                      "came.")) +
               CheckServer;
    case FailureKind::NoSuchQueue:
        return QStringLiteral("%1 has no queue \"%2\" (%3). Check the queue's name in %4; lpstat "
                              "-h SERVER -p lists the queues there.")
            .arg(capitalized(server(peer)), queue(peer), failure.serverSays,
                 whereToSetTarget(failure.place));
    case FailureKind::QueueNotAccepting:
        return QStringLiteral("The queue \"%1\" on %2 does not accept jobs (%3). An administrator "
                              "lets it take jobs again with cupsaccept %1; then print again.")
            .arg(queue(peer), server(peer), failure.serverSays);
    case FailureKind::NotAuthorized:
        return QStringLiteral("%1 asks for a user name and password (or refuses this user) for "
                              "the queue \"%2\" (%3), and this program cannot log in. Ask the "
                              "administrator to let this computer print to the queue without a "
                              "password (its policy in cupsd.conf).")
            .arg(capitalized(server(peer)), queue(peer), failure.serverSays);
    case FailureKind::ServerRefused:
        return refused(failure, failure.serverSays);
    case FailureKind::NoJobNumber:
        return refused(failure, QStringLiteral("its answer has no job number"));
    case FailureKind::JobCancelled:
        return QStringLiteral("The job was cancelled on %1%2, so the receipt did not print. Print "
                              "it again if it is still needed.")
            .arg(server(peer), failure.serverSays.isEmpty()
                                   ? QString()
                                   : QStringLiteral(" (\"%1\")").arg(failure.serverSays));
    case FailureKind::JobAborted:
        return QStringLiteral("%1 gave the job up: \"%2\". Check that the printer is switched on, "
                              "connected and reachable from the server, then print again.")
            .arg(capitalized(server(peer)),
                 failure.serverSays.isEmpty() ? QStringLiteral("job aborted") : failure.serverSays);
    case FailureKind::JobNotCompleted:
        return notCompleted(failure);
    case FailureKind::ServerStopped:
        return failure.serverHadReceipt
                   ? QStringLiteral("The job was stopped after %1 had the whole receipt, before "
                                    "the printer had printed it.")
                         .arg(server(peer))
                   : QStringLiteral("The job was stopped before %1 had the whole receipt.")
                         .arg(server(peer));
    default:
        return {};
    }
}

} // namespace

namespace Wording {

QString networkDescription(const Failure &failure)
{
    QString text = networkText(failure);
    // What became of a job the server had created: cancelled, or why not and how to do it.
    if (failure.cancelledJob <= 0)
        return text;
    if (failure.cancelProblem.isEmpty())
        return text + QStringLiteral(" The job was cancelled on the server: it will not print "
                                     "later.");
    return text + QStringLiteral(" Cancelling the job (number %1) on the server failed (%2), so it "
                                 "may still print: cancel it there with cancel %1.")
                      .arg(failure.cancelledJob)
                      .arg(failure.cancelProblem);
}

} // namespace Wording
