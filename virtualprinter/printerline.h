// SPDX-FileCopyrightText: 2026 The VR2710 Demo Developers
// SPDX-License-Identifier: MIT
#pragma once

#include <QByteArray>
#include <QElapsedTimer>
#include <QObject>
#include <QSocketNotifier>
#include <QTimer>

// Faults to test the sender with.
struct LineFaults
{
    qint64 stallAfter = -1;  // stop reading after this many bytes (-1: never)
    qint64 hangupAfter = -1; // close the line after this many bytes (-1: never)
};

// One input of the virtual printer: reads a descriptor (a pseudo-terminal's master, a FIFO or
// a network connection) at the line's rate, 10 bits a byte, or as fast as it can when unpaced.
class PrinterLine : public QObject
{
    Q_OBJECT

public:
    // What the end of the sender's data means: the line waits for the next sender (a
    // pseudo-terminal or FIFO, which outlive their senders) or the job is over (a connection).
    enum class AtEnd { WaitForNextSender, EndJob };

    // Takes ownership of the descriptors: `fd` is read, `keepOpen` (or -1) is only held, so
    // the line stays up while senders come and go.
    PrinterLine(const QString &name, int fd, int keepOpen, qint32 baud, LineFaults faults,
                AtEnd atEnd = AtEnd::WaitForNextSender, QObject *parent = nullptr);
    ~PrinterLine() override;

    QString name() const { return m_name; }
    bool endsJobs() const { return m_atEnd == AtEnd::EndJob; }
    qint64 bytesRead() const { return m_bytesRead; }
    // AtEnd::EndJob: a sender that sends nothing for `ms` ends its job as if it had closed its
    // end, so that a silent connection cannot hold up the jobs after it.
    void setIdleLimit(int ms);

    // Bytes waiting to be read now (FIONREAD); 0 on a closed line. A pseudo-terminal counts
    // only what its line discipline holds (at most 4 KB); more may wait behind that.
    qint64 pendingBytes() const;
    // The printer is stopping: from now on the line reads what was sent to it at once, no
    // longer at its rate (faults still apply), until nothing has come for `quietMs`; then it
    // reads no more and emits drained(). A line that is or gets closed is drained without
    // that signal (the owner hears of the closing from ended(), hungUp() or idled()).
    void drain(int quietMs);
    // Stops reading now, drained or not; emits drained() if it was still draining.
    void stopDraining();
    bool isDraining() const { return m_draining; }
    bool isDrained() const { return m_drained; }

signals:
    void received(const QByteArray &bytes);
    void stalled(); // the stall fault took effect
    void hungUp();  // the hang-up fault closed the line
    void ended();   // AtEnd::EndJob: the sender closed its end (or it broke); the line is closed
    void idled();   // the sender sent nothing within the idle limit; the line is closed
    void drained(); // drain(): nothing more came within the quiet time; the line reads no more

private:
    void readAvailable();
    // Applies a fault whose byte count is reached; true when the line reads no more.
    bool applyFaults();
    bool stalledForGood() const;
    qint64 allowance();
    void checkIdle();
    void closeLine();

    QString m_name;
    int m_fd;
    int m_keepOpen;
    double m_bytesPerMs; // 0: unpaced
    LineFaults m_faults;
    AtEnd m_atEnd;
    QSocketNotifier m_notifier;
    QTimer m_paceTimer;
    QTimer m_idleTimer;
    QTimer m_quietTimer;   // drain(): nothing came for the quiet time
    int m_idleLimitMs = 0; // 0: no limit
    qint64 m_lastArrival = 0;
    QElapsedTimer m_clock;
    double m_credit = 0;
    qint64 m_lastRefill = 0;
    qint64 m_bytesRead = 0;
    bool m_draining = false;
    bool m_drained = false;
};
