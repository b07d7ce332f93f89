// SPDX-FileCopyrightText: 2026 The VR2710 Demo Developers
// SPDX-License-Identifier: MIT
// The print-server module: a job on a queue of a print server or IPP printer, through libcups.
#include "failure/catalogue.h"
#include "ippsession.h"
#include "ports/jobstop.h"
#include "ports/printservermodule.h"
#include "printserverfailures.h"
#include "protocol/linerate.h"

#include <QThread>

#include <algorithm>

namespace {

using namespace std::chrono;
using SteadyClock = steady_clock;

// A cancel has its own short bound, so that a stopped job still ends within a second.
constexpr milliseconds CancelBound(700);

QString text(const char *value)
{
    return QString::fromUtf8(value ? value : "");
}

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
    return result;
}

// The server's own words about the status of its answer.
QString statusMessage(ipp_t *response)
{
    if (ipp_attribute_t *attribute = ippFindAttribute(response, "status-message", IPP_TAG_TEXT))
        return text(ippGetString(attribute, 0, nullptr));
    return text(ippErrorString(ippGetStatusCode(response)));
}

void requestAttributes(ipp_t *request, std::initializer_list<const char *> wanted)
{
    ippAddStrings(request, IPP_TAG_OPERATION, IPP_TAG_KEYWORD, "requested-attributes",
                  int(wanted.size()), nullptr, wanted.begin());
}

class PrintServerQueue : public Connection
{
public:
    PrintServerQueue(const PortLocation &where, StallBound &stall, const QueueAddress &address)
        : m_where(where)
        , m_stall(stall)
        , m_failures(where, address, stall.limit())
        , m_session(address)
    {
    }

    LastError open();
    LastError write(const QByteArray &bytes) override
    {
        m_document += bytes;
        return {};
    }
    LastError close() override;

private:
    using Step = PrintServerFailures::Step;

    // An exchange whose answer must be a success: the answer, or the failure.
    struct Answer
    {
        IppMessage response{nullptr, ippDelete};
        ipp_status_t status = IPP_STATUS_OK;
        std::optional<Failure> failure;
    };
    Answer ask(Step step, ipp_t *request, const QByteArray &document = {},
               milliseconds bound = milliseconds(0));
    LastError awaitCompletion(int jobId);
    ServerState queueState();
    // Cancel-Job: empty once cancelled, else why it could not be.
    QString cancel(int jobId);
    LastError cancelled(Failure failure, int jobId)
    {
        return m_failures.report(
            PrintServerFailures::withCancel(std::move(failure), jobId, cancel(jobId)));
    }

    PortLocation m_where;
    StallBound &m_stall;
    PrintServerFailures m_failures;
    IppSession m_session;
    QByteArray m_document;
    bool m_closed = false;
};

PrintServerQueue::Answer PrintServerQueue::ask(Step step, ipp_t *request,
                                               const QByteArray &document, milliseconds bound)
{
    Answer answer;
    ExchangeOutcome outcome =
        m_session.exchange(request, document, bound.count() > 0 ? bound : m_stall.limit());
    if (outcome.trouble == ExchangeTrouble::Stopped) {
        const bool documentSent =
            !document.isEmpty() && outcome.phase >= ExchangePhase::AwaitingAnswer;
        answer.failure = m_failures.stopped(documentSent);
    } else if (!outcome.ok()) {
        answer.failure = m_failures.exchangeFailed(step, outcome);
    } else {
        answer.status = ippGetStatusCode(outcome.response.get());
        if (answer.status > IPP_STATUS_OK_CONFLICTING)
            answer.failure =
                m_failures.refused(step, answer.status, statusMessage(outcome.response.get()));
        answer.response = std::move(outcome.response);
        m_stall.progressed();
    }
    return answer;
}

LastError PrintServerQueue::open()
{
    m_stall.progressed();
    const ExchangeOutcome connected = m_session.connect(m_stall.remaining());
    if (!connected.ok())
        return m_failures.report(m_failures.exchangeFailed(Step::Connecting, connected));
    m_stall.progressed();
    // Get-Printer-Attributes: the queue exists.
    ipp_t *request = m_session.newRequest(IPP_OP_GET_PRINTER_ATTRIBUTES);
    requestAttributes(request, {"printer-state"});
    const Answer answer = ask(Step::AskingForQueue, request);
    return answer.failure ? m_failures.report(*answer.failure) : LastError();
}

LastError PrintServerQueue::close()
{
    if (m_closed)
        return {};
    m_closed = true;
    if (JobStop::requested())
        return m_failures.report(m_failures.stopped(false)); // nothing was submitted to print

    ipp_t *create = m_session.newRequest(IPP_OP_CREATE_JOB);
    ippAddString(create, IPP_TAG_OPERATION, IPP_TAG_NAME, "job-name", nullptr, "VR2710 receipt");
    const Answer created = ask(Step::CreatingJob, create);
    if (created.failure)
        return m_failures.report(*created.failure);
    const int jobId =
        ippGetInteger(ippFindAttribute(created.response.get(), "job-id", IPP_TAG_INTEGER), 0);
    if (jobId <= 0)
        return m_failures.report(m_failures.noJobNumber());

    // The receipt unchanged, as one raw document: no filter may touch a control byte.
    ipp_t *send = m_session.newRequest(IPP_OP_SEND_DOCUMENT, jobId);
    ippAddString(send, IPP_TAG_OPERATION, IPP_TAG_NAME, "document-name", nullptr, "receipt");
    ippAddString(send, IPP_TAG_OPERATION, IPP_TAG_MIMETYPE, "document-format", nullptr,
                 CUPS_FORMAT_RAW);
    ippAddBoolean(send, IPP_TAG_OPERATION, "last-document", 1);
    const Answer sent = ask(Step::SendingReceipt, send, m_document);
    if (sent.failure)
        return cancelled(*sent.failure, jobId); // half a job must not print later
    m_stall.progressed(m_document.size());
    return awaitCompletion(jobId);
}

LastError PrintServerQueue::awaitCompletion(int jobId)
{
    // The server holds the whole receipt now: the printer takes it at its line's pace, and
    // may take the stall bound to start.
    const milliseconds allowed = LineRate::lineTime(m_document.size()) + m_stall.limit();
    const SteadyClock::time_point deadline = SteadyClock::now() + allowed;
    milliseconds pause(2);
    for (;;) {
        ipp_t *request = m_session.newRequest(IPP_OP_GET_JOB_ATTRIBUTES, jobId);
        requestAttributes(request, {"job-state", "job-state-message", "job-state-reasons",
                                    "job-printer-state-message"});
        const auto left = duration_cast<milliseconds>(deadline - SteadyClock::now());
        const Answer answer = ask(Step::AskingForJobState, request, {},
                                  std::clamp(left, milliseconds(500), m_stall.limit()));
        // A server that keeps no job history forgets a job once it is done.
        if (answer.status == IPP_STATUS_ERROR_NOT_FOUND)
            return {};
        if (answer.failure) {
            const bool stopped =
                Catalogue::describe(*answer.failure).number == ErrorNumber::Stopped;
            return cancelled(stopped ? m_failures.stopped(true) : *answer.failure, jobId);
        }
        ServerState job =
            stateFrom(answer.response.get(), "job-state", "job-state-message", "job-state-reasons");
        // A job waiting for its printer says nothing itself; the queue says why.
        if (job.message.isEmpty())
            job.message = stateFrom(answer.response.get(), "job-state", "job-printer-state-message",
                                    "job-state-reasons")
                              .message;
        switch (job.state) {
        case IPP_JSTATE_COMPLETED:
            return {};
        case IPP_JSTATE_CANCELED:
            return m_failures.report(m_failures.jobCancelled(job.message));
        case IPP_JSTATE_ABORTED:
            return m_failures.report(m_failures.jobAborted(job.message));
        default:
            break;
        }
        if (JobStop::requested())
            return cancelled(m_failures.stopped(true), jobId);
        if (SteadyClock::now() >= deadline) {
            // What the queue says about the printer before the cancel changes it.
            const ServerState queue = queueState();
            return cancelled(m_failures.notCompleted(job, queue, allowed), jobId);
        }
        // A job on a local server completes within milliseconds; a busy printer is asked less
        // often. Short sleeps: a stop is seen within one.
        const SteadyClock::time_point wake = std::min(SteadyClock::now() + pause, deadline);
        while (SteadyClock::now() < wake && !JobStop::requested())
            QThread::msleep(std::clamp<unsigned long>(
                duration_cast<milliseconds>(wake - SteadyClock::now()).count(), 1,
                JobStop::CheckIntervalMs));
        pause = std::min(pause * 2, milliseconds(100));
    }
}

ServerState PrintServerQueue::queueState()
{
    ipp_t *request = m_session.newRequest(IPP_OP_GET_PRINTER_ATTRIBUTES);
    requestAttributes(request, {"printer-state", "printer-state-message", "printer-state-reasons"});
    const Answer answer = ask(Step::AskingForQueueState, request, {}, CancelBound);
    if (answer.failure)
        return {};
    return stateFrom(answer.response.get(), "printer-state", "printer-state-message",
                     "printer-state-reasons");
}

QString PrintServerQueue::cancel(int jobId)
{
    const ExchangeOutcome outcome =
        m_session.exchange(m_session.newRequest(IPP_OP_CANCEL_JOB, jobId), {}, CancelBound, false);
    const ipp_status_t status =
        outcome.ok() ? ippGetStatusCode(outcome.response.get()) : IPP_STATUS_OK;
    // A job that is already gone has nothing left to print.
    if (outcome.ok() &&
        (status <= IPP_STATUS_OK_CONFLICTING || status == IPP_STATUS_ERROR_NOT_FOUND ||
         status == IPP_STATUS_ERROR_NOT_POSSIBLE))
        return {};
    return m_failures.shortly(outcome, status);
}

} // namespace

extern "C" __attribute__((visibility("default"))) void
vr2710_open_print_server_queue(int version, const std::atomic<bool> *stopFlag,
                               const PortLocation *where, StallBound *stall,
                               OpenedConnection *result)
{
    static_assert(
        std::is_same_v<decltype(&vr2710_open_print_server_queue), PrintServerModule::Factory>);
    if (version != PrintServerModule::Version) {
        result->failure = PrintServerFailures::otherVersion(*where);
        return;
    }
    JobStop::follow(stopFlag);
    const std::optional<QueueAddress> address = QueueAddress::parse(where->devicePath);
    if (!address) {
        result->failure = PrintServerFailures::invalidTarget(*where);
        return;
    }
    auto queue = std::make_unique<PrintServerQueue>(*where, *stall, *address);
    if (LastError failure = queue->open(); failure.isFailure()) {
        result->failure = failure;
        return;
    }
    result->connection = std::move(queue);
}
