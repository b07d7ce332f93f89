// SPDX-FileCopyrightText: 2026 The VR2710 Demo Developers
// SPDX-License-Identifier: MIT
#pragma once

#include "ippsession.h"
#include "ports/porterror.h"

#include <QStringList>

#include <chrono>

// What the server says about a job or a queue, as far as it says anything.
struct ServerState
{
    int state = 0;
    QString message;
    QStringList reasons;
};

// Every text a print-server job shows when it fails, each saying what happened and what to do.
// The job decides which failure it is; this only words it.
class PrintServerFailures
{
public:
    PrintServerFailures(const PortLocation &where, const QueueAddress &address,
                        std::chrono::milliseconds limit);

    static LastError invalidTarget(const PortLocation &where);
    // The module was built for another version of the program that loaded it.
    static LastError otherVersion(const PortLocation &where);

    // An exchange that did not give an answer; `step` names it ("Creating the job").
    LastError exchangeFailed(const QString &step, const ExchangeOutcome &outcome) const;
    // An answer that refuses the request, with the server's own words.
    LastError refused(const QString &step, ipp_status_t status, const QString &says) const;
    LastError jobCancelled(const QString &says) const;
    LastError jobAborted(const QString &says) const;
    LastError notCompleted(const ServerState &job, const ServerState &queue,
                           std::chrono::milliseconds allowed) const;
    LastError stopped(bool serverHadReceipt) const;

    // What became of the job on the server after a failure, added to its text: cancelled
    // (problem empty), or why that failed and how to do it by hand.
    static LastError withCancel(LastError failure, int jobId, const QString &problem);
    // Why an exchange gave no usable answer, in a few words, for withCancel().
    QString shortly(const ExchangeOutcome &outcome, ipp_status_t status) const;

private:
    QString server() const;
    QString settings() const;
    QString bound(std::chrono::milliseconds limit) const;
    QString whatTheServerDid(const ExchangeOutcome &outcome) const;

    PortLocation m_where;
    QueueAddress m_address;
    std::chrono::milliseconds m_limit;
};
