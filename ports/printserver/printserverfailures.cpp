// SPDX-FileCopyrightText: 2026 The VR2710 Demo Developers
// SPDX-License-Identifier: MIT
#include "printserverfailures.h"

#include "ports/jobstop.h"
#include "ports/portfailure.h"

#include <cerrno>

using std::chrono::milliseconds;

PrintServerFailures::PrintServerFailures(const PortLocation &where, const QueueAddress &address,
                                         milliseconds limit)
    : m_where(where)
    , m_address(address)
    , m_limit(limit)
{
}

LastError PrintServerFailures::invalidTarget(const PortLocation &where)
{
    Failure failure(FailureKind::BadAddress);
    failure.peer.kind = FailurePeer::Kind::PrintServer;
    return failureAt(where, failure);
}

LastError PrintServerFailures::otherVersion(const PortLocation &where)
{
    return failureAt(where, FailureKind::ModuleOtherVersion);
}

Failure PrintServerFailures::about(FailureKind kind) const
{
    Failure failure(kind);
    failure.bound = m_limit;
    failure.peer = {m_address.host, m_address.port, FailurePeer::Kind::PrintServer,
                    m_address.queue};
    return failure;
}

LastError PrintServerFailures::report(const Failure &failure) const
{
    return failureAt(m_where, failure);
}

Failure PrintServerFailures::exchangeFailed(Step step, const ExchangeOutcome &outcome) const
{
    const auto kindOf = [&]() -> FailureKind {
        switch (outcome.trouble) {
        case ExchangeTrouble::None:
        case ExchangeTrouble::Stopped:
            break;
        case ExchangeTrouble::TimeUp:
            if (outcome.phase == ExchangePhase::LookingUp)
                return JobStop::requested() ? FailureKind::Stopped : FailureKind::LookupTimedOut;
            if (outcome.phase == ExchangePhase::Connecting)
                return FailureKind::ConnectFailed; // as ETIMEDOUT
            return FailureKind::ExchangeTimedOut;
        case ExchangeTrouble::HostNotFound:
            return FailureKind::HostNotFound;
        case ExchangeTrouble::ConnectFailed:
            // cups:QUEUE: the fix is the default server, not the port's target.
            return m_address.isLocalSocket() || m_address.fromDefaultServer
                       ? FailureKind::DefaultServerDown
                       : FailureKind::ConnectFailed;
        case ExchangeTrouble::Tls:
            return FailureKind::Tls;
        case ExchangeTrouble::Closed:
            return FailureKind::ServerClosed;
        case ExchangeTrouble::Redirect:
            return FailureKind::ServerRedirect;
        case ExchangeTrouble::HttpError:
            return FailureKind::ServerHttpError;
        case ExchangeTrouble::NotHttp:
            return FailureKind::ServerNotHttp;
        case ExchangeTrouble::NotIpp:
            return FailureKind::ServerNotIpp;
        case ExchangeTrouble::CutShort:
            return FailureKind::ServerCutShort;
        }
        return FailureKind::Stopped;
    };
    Failure failure = about(kindOf());
    failure.errnum = outcome.trouble == ExchangeTrouble::TimeUp ? ETIMEDOUT : outcome.errnum;
    failure.detail = QString::fromUtf8(outcome.detail);
    failure.exchange = {step, outcome.phase == ExchangePhase::Sending,
                        outcome.receipt.bytesReceived, outcome.receipt.sinceLastByteMs,
                        outcome.httpStatus};
    if (outcome.trouble == ExchangeTrouble::HttpError)
        failure.detail = QString::fromUtf8(httpStatus(http_status_t(outcome.httpStatus)));
    return failure;
}

Failure PrintServerFailures::refused(Step step, ipp_status_t status, const QString &says) const
{
    FailureKind kind = FailureKind::ServerRefused;
    switch (status) {
    case IPP_STATUS_ERROR_NOT_FOUND:
        kind = FailureKind::NoSuchQueue;
        break;
    case IPP_STATUS_ERROR_NOT_ACCEPTING_JOBS:
        kind = FailureKind::QueueNotAccepting;
        break;
    case IPP_STATUS_ERROR_NOT_AUTHORIZED:
    case IPP_STATUS_ERROR_FORBIDDEN:
    case IPP_STATUS_ERROR_NOT_AUTHENTICATED:
        kind = FailureKind::NotAuthorized;
        break;
    default:
        break;
    }
    Failure failure = about(kind);
    failure.exchange.step = step;
    failure.serverSays = says;
    failure.detail = QString::fromUtf8(ippErrorString(status));
    return failure;
}

Failure PrintServerFailures::noJobNumber() const
{
    Failure failure = about(FailureKind::NoJobNumber);
    failure.exchange.step = Step::CreatingJob;
    failure.detail = QString::fromUtf8(ippErrorString(IPP_STATUS_ERROR_INTERNAL));
    return failure;
}

Failure PrintServerFailures::jobCancelled(const QString &says) const
{
    Failure failure = about(FailureKind::JobCancelled);
    failure.serverSays = says;
    return failure;
}

Failure PrintServerFailures::jobAborted(const QString &says) const
{
    Failure failure = about(FailureKind::JobAborted);
    failure.serverSays = says;
    return failure;
}

Failure PrintServerFailures::notCompleted(const ServerState &job, const ServerState &queue,
                                          milliseconds allowed) const
{
    Failure failure = about(FailureKind::JobNotCompleted);
    failure.bound = allowed;
    failure.serverSays = !job.message.isEmpty() ? job.message : queue.message;
    if (queue.state == IPP_PSTATE_STOPPED)
        failure.queue = QueueCondition::Paused;
    else if (queue.reasons.contains(QLatin1String("connecting-to-device")) ||
             job.reasons.contains(QLatin1String("printer-stopped")) ||
             failure.serverSays.contains(QLatin1String("unavailable")))
        failure.queue = QueueCondition::PrinterUnreachable;
    return failure;
}

Failure PrintServerFailures::stopped(bool serverHadReceipt) const
{
    Failure failure = about(FailureKind::ServerStopped);
    failure.serverHadReceipt = serverHadReceipt;
    return failure;
}

Failure PrintServerFailures::withCancel(Failure failure, int jobId, const QString &problem)
{
    failure.cancelledJob = jobId;
    failure.cancelProblem = problem;
    return failure;
}

QString PrintServerFailures::shortly(const ExchangeOutcome &outcome, ipp_status_t status) const
{
    if (!outcome.ok())
        return report(exchangeFailed(Step::Cancelling, outcome)).description;
    return QString::fromUtf8(ippErrorString(status));
}
