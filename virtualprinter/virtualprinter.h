// SPDX-FileCopyrightText: 2026 The VR2710 Demo Developers
// SPDX-License-Identifier: MIT
#pragma once

#include "joblistener.h"
#include "printerinputs.h"
#include "printerline.h"
#include "protocol/linerate.h"
#include "receiptarchive.h"
#include "renderer/receiptdecoder.h"

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

#include <memory>
#include <vector>

// What the printer is to do, as PrinterOptions read and checked it from the command line.
struct VirtualPrinterOptions
{
    QStringList ports{QStringLiteral("COM1"), QStringLiteral("LPT1")};
    bool printerOffline = false;      // LPT ports get a FIFO that nobody reads
    std::optional<ListenAddress> tcp; // LPT1 is a network printer here instead of a FIFO
    int tcpIdleSeconds = 60;          // a connection that sends nothing this long ends its job
    qint32 baud = LineRate::BaudRate; // 0: read as fast as possible
    LineFaults faults;
    QString outputFolder = QStringLiteral("receipts");
    PaperSpec paper;
    bool keepRawBytes = false;
};

// What one port's paper did since the last report, for a view that follows it live. Its size
// follows what arrived, never the length of the receipt.
struct PaperFeed
{
    bool newReceipt = false;    // the lines begin a new receipt: the one shown before is done
    QList<PrintedLine> lines;   // lines that left the print head, at most MaxKeptLines (the latest)
    qsizetype linesSkipped = 0; // lines of this report before those, not passed on
    PrintedLine openLine;       // the line under the head
    bool ended = false;         // the receipt ended: cut, or the sender went
    bool cut = false;
};

// Stands in for a VR2710: offers its ports as a pseudo-terminal (COMn), a FIFO (LPTn) or a
// network port (LPT1 with --tcp), decodes what arrives and keeps each finished receipt.
// Everything it creates goes when it does; the output folder stays once setReady() was called.
class VirtualPrinter : public QObject
{
    Q_OBJECT

public:
    VirtualPrinter(VirtualPrinterOptions options, const CodePage &codePage,
                   QObject *parent = nullptr);
    ~VirtualPrinter() override;

    // Opens the ports and the output folder; false with the reason in `error`.
    bool start(QString *error);
    // Start-up is complete: the output folder is the user's from now on.
    void setReady() { m_ready = true; }
    QList<OfferedInput> offered() const { return m_offered; }
    // "VR2710_COM1=/dev/pts/7", one for each offered port, the value quoted for a shell.
    QByteArrayList assignments() const;
    // "export VR2710_COM1=/dev/pts/7 VR2710_LPT1='/tmp/with space/lpt1'"
    QByteArray exportLine() const { return "export " + assignments().join(' '); }
    // The printer is asked to stop (a signal): it takes no new network job and reads what was
    // already sent to each line at once, until nothing more has come for QuietMs; stopped()
    // follows, at the latest once the line time of what was waiting (FIONREAD) plus
    // StopMarginMs has passed. Receipts that end meanwhile are saved as usual. Each call
    // counts what is waiting anew and may push that bound later, never earlier.
    void stop();
    // Prints what is still pending on every line as an uncut receipt. An image still being
    // drawn once StopBudgetMs have passed since stopped() is given up, so that the program
    // ends within a second of a stop whatever it was doing.
    void finishPending();

    static constexpr int QuietMs = 100;
    static constexpr int StopMarginMs = 500;
    static constexpr int StopBudgetMs = 500;

signals:
    void paperFed(const QString &portName, const PaperFeed &feed);
    void printed(const QString &portName, const PrintedReceipt &receipt, const QString &imagePath);
    void notice(const QString &text);
    void stopped(); // after stop(): the lines read no more; what they hold is for finishPending()

private:
    class PortInput;
    bool offer(const QString &port, QString *error);
    bool offerNetwork(QString *error);
    PortInput &addInput(const QString &port);
    void follow(PortInput &input, std::unique_ptr<PrinterLine> line);
    void handle(PortInput &input, const QByteArray &bytes);
    void report(PortInput &input);
    void finish(PortInput &input);
    void endJob(PortInput &input);
    void keep(PortInput &input, const PrintedReceipt &receipt);
    void checkStopped();

    VirtualPrinterOptions m_options;
    CodePage m_codePage;
    ReceiptArchive m_archive;
    FifoFolder m_fifoFolder;
    std::unique_ptr<JobListener> m_listener;
    QList<OfferedInput> m_offered;
    std::vector<std::unique_ptr<PortInput>> m_inputs;
    bool m_ready = false;
    bool m_stopping = false;
    bool m_stopped = false;
    QTimer m_stopBound; // the latest stop() may take
    QElapsedTimer m_sinceStop;
    QElapsedTimer m_sinceStopped;
    qint64 m_stopBoundAt = 0; // on m_sinceStop's clock
};

// `value` as a POSIX shell word that stands for exactly these bytes: as it is where that is
// safe, in single quotes otherwise.
QByteArray shellQuoted(const QByteArray &value);
