// SPDX-FileCopyrightText: 2026 The VR2710 Demo Developers
// SPDX-License-Identifier: MIT
#pragma once

// Print servers for tests, each the test process's own child in a folder of its own, touching
// nothing of the machine's own CUPS: a private cupsd, an IPP Everywhere printer (ippeveprinter)
// and the virtual printer on a network port behind them.

#include <QByteArray>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

// A cupsd of its own: its folder under /tmp (mode 0755, since cupsd runs backends as "lp"),
// listening on 127.0.0.1 at a free port, no browsing, no web interface, no authentication,
// ErrorPolicy abort-job, and no D-Bus (the system bus address names a socket that does not
// exist). Stopped when destroyed, within 2 s.
class PrivateCupsServer
{
public:
    // extraConfiguration: more cupsd.conf lines (for example a <Location> that asks for a
    // password).
    explicit PrivateCupsServer(const QByteArray &extraConfiguration = {});
    ~PrivateCupsServer();
    PrivateCupsServer(const PrivateCupsServer &) = delete;
    PrivateCupsServer &operator=(const PrivateCupsServer &) = delete;

    // Whether it accepts connections; why not, where it does not.
    bool isRunning() const { return m_error.isEmpty(); }
    QString error() const { return m_error; }

    quint16 port() const { return m_port; }
    QString address() const;                         // "127.0.0.1:PORT", for -h
    QByteArray queueUri(const QString &queue) const; // ipp://127.0.0.1:PORT/printers/QUEUE

    // A raw queue (no model, no filters) sending to deviceUri, enabled and accepting jobs.
    bool addRawQueue(const QString &queue, const QString &deviceUri);
    // A raw queue to a printer at 127.0.0.1:port through the socket backend, which gives up
    // connecting after contimeout seconds.
    bool addSocketQueue(const QString &queue, quint16 port, int contimeout = 3);
    bool pauseQueue(const QString &queue);      // cupsdisable: keeps jobs pending
    bool rejectJobs(const QString &queue);      // cupsreject: refuses new jobs
    QStringList queues();                       // lpstat -e: every queue's name
    QStringList jobsLeft(const QString &queue); // lpstat -o: jobs not completed
    QStringList completedJobs(const QString &queue);

    // Runs a CUPS client program (lp, lpstat, lpadmin...) against this server; its exit code,
    // -1 when it could not run or took longer than 5 s.
    int runClient(const QString &program, const QStringList &arguments,
                  QByteArray *output = nullptr) const;
    QByteArray errorLog() const;
    QString folder() const { return m_folder.path(); }

    // Stops it (SIGTERM, then SIGKILL after 2 s); true when it stopped within 2 s.
    bool stop();

private:
    bool waitUntilListening(int timeoutMs);

    QTemporaryDir m_folder;
    QProcess m_process;
    quint16 m_port = 0;
    QString m_error;
};

// An IPP Everywhere printer (ippeveprinter) at ipp://localhost:PORT/ipp/print that takes raw
// jobs and sends them on to a socket:// device. It needs a D-Bus bus to start: it gets a
// dbus-daemon of its own.
class PrivateIppPrinter
{
public:
    PrivateIppPrinter(const QString &name, const QString &deviceUri);
    ~PrivateIppPrinter();
    PrivateIppPrinter(const PrivateIppPrinter &) = delete;
    PrivateIppPrinter &operator=(const PrivateIppPrinter &) = delete;

    bool isRunning() const { return m_error.isEmpty(); }
    QString error() const { return m_error; }
    QByteArray uri() const;

private:
    QTemporaryDir m_folder;
    QProcess m_bus;
    QProcess m_printer;
    quint16 m_port = 0;
    QString m_error;
};

// vr2710-virtual-printer (VR2710_VIRTUAL_PRINTER) offering LPT1 as a raw network printer on a
// free port of 127.0.0.1, unpaced, keeping each receipt's bytes.
class VirtualNetworkPrinter
{
public:
    explicit VirtualNetworkPrinter(const QStringList &moreOptions = {});
    ~VirtualNetworkPrinter();
    VirtualNetworkPrinter(const VirtualNetworkPrinter &) = delete;
    VirtualNetworkPrinter &operator=(const VirtualNetworkPrinter &) = delete;

    bool isRunning() const { return m_port != 0; }
    quint16 port() const { return m_port; }
    QString socketUri() const; // socket://127.0.0.1:PORT

    // The bytes of every receipt printed so far, oldest first.
    QList<QByteArray> receipts() const;
    // Waits (at most timeoutMs) until count receipts are there.
    bool waitForReceipts(int count, int timeoutMs = 5000) const;

private:
    QTemporaryDir m_folder;
    QProcess m_process;
    quint16 m_port = 0;
};

// A TCP port on 127.0.0.1 that nothing listens on right now.
quint16 freeLocalPort();
