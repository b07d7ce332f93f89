// SPDX-FileCopyrightText: 2026 The VR2710 Demo Developers
// SPDX-License-Identifier: MIT
#pragma once

#include "ippsession.h"
#include "ports/location.h"

#include "failure/failure.h"

#include <QStringList>

#include <chrono>

// What the server says about a job or a queue, as far as it says anything.
struct ServerState
{
    int state = 0;
    QString message;
    QStringList reasons;
};

// What went wrong in a print-server job, as the catalogue takes it: the kind, the server and its
// queue, the step, and the server's own words; libcups's types stay here. The job decides which
// failure it is; this only says it in plain values.
class PrintServerFailures
{
public:
    using Step = FailureExchange::Step;

    PrintServerFailures(const PortLocation &where, const QueueAddress &address,
                        std::chrono::milliseconds limit);

    static LastError invalidTarget(const PortLocation &where);
    // The module was built for another version of the program that loaded it.
    static LastError otherVersion(const PortLocation &where);

    // An exchange that did not give an answer.
    Failure exchangeFailed(Step step, const ExchangeOutcome &outcome) const;
    // An answer that refuses the request, with the server's own words.
    Failure refused(Step step, ipp_status_t status, const QString &says) const;
    Failure noJobNumber() const;
    Failure jobCancelled(const QString &says) const;
    Failure jobAborted(const QString &says) const;
    Failure notCompleted(const ServerState &job, const ServerState &queue,
                         std::chrono::milliseconds allowed) const;
    Failure stopped(bool serverHadReceipt) const;

    // What the user sees of a failure.
    LastError report(const Failure &failure) const;
    // What became of the job on the server after a failure: cancelled (problem empty), or why
    // that failed.
    static Failure withCancel(Failure failure, int jobId, const QString &problem);
    // Why an exchange gave no usable answer, in a few words, for withCancel().
    QString shortly(const ExchangeOutcome &outcome, ipp_status_t status) const;

private:
    Failure about(FailureKind kind) const;

    PortLocation m_where;
    QueueAddress m_address;
    std::chrono::milliseconds m_limit;
};
