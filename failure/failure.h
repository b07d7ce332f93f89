// SPDX-FileCopyrightText: 2026 The VR2710 Demo Developers
// SPDX-License-Identifier: MIT
#pragma once

#include "lasterror.h"

#include <QByteArray>
#include <QString>

#include <chrono>

// What happened, as plain data: the transports, the settings and the job report a failure this
// way, and the catalogue (catalogue.h) alone turns it into the number and the words the user
// sees. Each kind reads only the details its comment names.
enum class FailureKind {
    // Opening and using a device or file
    System,            // errnum: a system call failed; the errno is the number
    Busy,              // holder: another program, or another job, holds the device
    Console,           // the device is the system's console
    NotOpen,           // cause: why the port did not open (empty: it was never opened)
    AlreadyOpen,       // an open, or a change of port number, on an open port
    NoSuchPortNumber,  // portNumber: no serial port has it
    PrinterReports,    // errnum, printer: the printer's own words for a failed write
    TimedOut,          // bound, printer (devices), peer (network printers)
    Stopped,           // a stop signal ended the job; serverHadReceipt
    UnknownTargetKind, // detail: the prefixes of the address kinds it knows, one a line
    BadAddress,        // the target is no well-formed address of its kind (peer.kind says which)
    ModuleMissing,     // detail: the module's file; serverSays: why (empty: errnum's words)
    ModuleOtherVersion,
    // Settings
    SettingsFile,    // settings: what is wrong, place.settingsFile, line
    CodePage,        // codePage, line; place.variable, or else place.settingsFile, chose it
    CodePageMissing, // codePage: a page this program knows but the system cannot convert to
    // Reaching a host (peer)
    LookupTimedOut,   // bound
    HostNotFound,     // errnum: getaddrinfo()'s status
    ConnectFailed,    // errnum (ETIMEDOUT, ECONNREFUSED, no route...), bound
    ConnectionClosed, // errnum: the printer hung up before it had everything
    // Print servers: the server, its queue and its own words (serverSays)
    DefaultServerDown, // errnum: no print server answers as this computer's default
    Tls,               // errnum, detail: the TLS library's words
    ExchangeTimedOut,  // step, exchange, bound
    ServerClosed,      // step, exchange.sending, errnum
    ServerRedirect,    // step, detail: where it points to
    ServerHttpError,   // step, httpStatus, detail: the status's words
    ServerNotHttp,     // step
    ServerNotIpp,      // step, detail: the content type it sent
    ServerCutShort,    // step
    NoSuchQueue,       // serverSays
    QueueNotAccepting, // serverSays
    NotAuthorized,     // serverSays
    ServerRefused,     // step, serverSays, detail: the IPP status's name
    NoJobNumber,       // the server created a job but gave no number for it; detail as above
    JobCancelled,      // serverSays
    JobAborted,        // serverSays
    JobNotCompleted,   // bound, serverSays, queue
    ServerStopped,     // a stop signal ended the job; serverHadReceipt
};

// What sort of thing the port's target is, as far as the reporter knows; it decides the advice.
enum class TargetIs {
    File,                // a path outside /dev: LPT1 prints into it, a COM port cannot
    Device,              // a path under /dev
    ControllingTerminal, // /dev/tty: the terminal of whoever opens it
    SystemFile,          // a file of the system's /proc or /sys
    Address,             // a network printer's or print server's address
};

// Where the failure happened: the port, its target and where that target was set.
struct FailurePlace
{
    enum class SetIn { Default, Environment, SettingsFile };

    QString port;      // "COM1"; empty for failures of no port (the settings)
    QByteArray target; // as configured; the messages show this one
    bool serialLine = false;
    TargetIs targetIs = TargetIs::Device;
    SetIn setIn = SetIn::Default;
    QString variable;        // the environment variable that sets it: "VR2710_COM1"
    QByteArray settingsFile; // the settings file's path (for SetIn::Default too: it may go there)
    int line = 0;            // the settings file's line that sets it
};

// Who holds a busy device, as far as a lock file or the system tells.
struct FailureHolder
{
    qint64 pid = 0;       // 0: not known
    QString processName;  // empty: not known
    qint64 reaperPid = 0; // the process has ended and waits for this parent to reap it
    QString reaperName;
    QByteArray lockFile; // a lock file that names no running process, where that is why
    bool lockIsFolder = false;
};

// Who is at the other end of a network connection.
struct FailurePeer
{
    enum class Kind { Printer, PrintServer };
    QByteArray host; // a name, an address, or the path of a print server's local socket
    int port = 0;
    Kind kind = Kind::Printer;
    QByteArray queue; // a print server's queue, as the user named it

    bool isLocalSocket() const { return host.startsWith('/'); }
};

// How far an exchange with a print server got, and what came back.
struct FailureExchange
{
    enum class Step {
        Connecting,
        AskingForQueue,
        CreatingJob,
        SendingReceipt,
        AskingForJobState,
        AskingForQueueState,
        Cancelling
    };
    Step step = Step::Connecting;
    bool sending = false;        // it failed while this computer was still sending
    qint64 bytesReceived = 0;    // of the answer; negative: it did not come whole
    qint64 sinceLastByteMs = -1; // -1: not known
    int httpStatus = 0;
};

// What is wrong with the settings file.
enum class SettingsProblem {
    None,
    Unreadable,   // errnum
    NotRegular,   // neither a file nor a folder: a FIFO, a device
    NulByte,      // line
    UnknownGroup, // line, detail: the group
    NotASetting,  // line, detail: the line
    UnknownKey,   // line, detail: the key
};

// The state of a print server's queue when a job did not complete.
enum class QueueCondition { Unremarkable, Paused, PrinterUnreachable };

// The printer's own report of its state (its status lines).
enum class PrinterCondition { Unknown, Fine, OutOfPaper, OffLine, Error };

struct Failure
{
    explicit Failure(FailureKind kind = FailureKind::System)
        : kind(kind)
    {
    }

    FailureKind kind;
    int errnum = 0; // the system's error, getaddrinfo()'s status for HostNotFound
    FailurePlace place;
    std::chrono::milliseconds bound{0};
    FailureHolder holder;
    PrinterCondition printer = PrinterCondition::Unknown;
    FailurePeer peer;
    FailureExchange exchange;
    QString serverSays; // the server's own words, as it sent them
    QString detail;     // what the kind's comment says
    SettingsProblem settings = SettingsProblem::None;
    int line = 0;     // the settings file's line
    QString codePage; // as written
    int portNumber = 0;
    bool serverHadReceipt = false;
    QueueCondition queue = QueueCondition::Unremarkable;
    LastError cause;       // NotOpen: why opening failed
    int cancelledJob = 0;  // > 0: the job on the print server a cancel was tried for
    QString cancelProblem; // why that cancel failed; empty: cancelled
};
