// SPDX-FileCopyrightText: 2026 The VR2710 Demo Developers
// SPDX-License-Identifier: MIT
#include "virtualprinter.h"

#include <QMetaMethod>

#include <climits>

// One port of the printer: its line (for a network port, the current job's connection), the
// decoder, the raw bytes of the receipt under way, and what a live view has yet to be told.
class VirtualPrinter::PortInput : public PaperObserver
{
public:
    PortInput(const QString &port, const CodePage &codePage, const PaperSpec &paper,
              std::unique_ptr<RawSpool> spool)
        : name(port)
        , decoder(codePage, paper)
        , spool(std::move(spool))
    {
        decoder.setObserver(this);
    }

    void lineFed(const PrintedLine &line) override
    {
        if (!followed)
            return;
        if (feed.ended) // a receipt ended and the next one began in the same piece
            feed = nextFeed(true);
        if (feed.lines.size() == PrintedReceipt::MaxKeptLines) {
            feed.lines.removeFirst();
            ++feed.linesSkipped;
        }
        feed.lines.append(line);
    }
    void receiptEnded(bool cut) override
    {
        feed.ended = true;
        feed.cut = cut;
    }
    // What the view has not seen yet; the next report starts a new receipt if this one ended.
    PaperFeed takeFeed()
    {
        PaperFeed taken = std::move(feed);
        feed = nextFeed(taken.ended);
        return taken;
    }
    static PaperFeed nextFeed(bool newReceipt)
    {
        PaperFeed next;
        next.newReceipt = newReceipt;
        return next;
    }

    QString name;
    std::unique_ptr<PrinterLine> line;
    ReceiptDecoder decoder;
    std::unique_ptr<RawSpool> spool;
    PaperFeed feed;
    bool followed = false; // a live view listens: collect the lines for it
};

VirtualPrinter::VirtualPrinter(VirtualPrinterOptions options, const CodePage &codePage,
                               QObject *parent)
    : QObject(parent)
    , m_options(std::move(options))
    , m_codePage(codePage)
    , m_archive(m_options.outputFolder, m_options.paper, m_options.keepRawBytes)
{
    m_archive.setGiveUp([this] { return m_stopped && m_sinceStopped.elapsed() > StopBudgetMs; });
    m_stopBound.setSingleShot(true);
    connect(&m_stopBound, &QTimer::timeout, this, [this] {
        for (auto &input : m_inputs)
            if (input->line)
                input->line->stopDraining(); // what still comes is no longer read
        checkStopped();
    });
}

VirtualPrinter::~VirtualPrinter()
{
    m_inputs.clear(); // close the lines before the FIFO folder goes
    m_listener.reset();
    if (!m_ready)
        m_archive.removeCreatedFolders();
}

bool VirtualPrinter::start(QString *error)
{
    if (!m_archive.prepare(error))
        return false;
    for (const QString &port : m_options.ports) {
        // With --tcp, LPT1 is the network printer.
        if (!(m_options.tcp && port == QLatin1String("LPT1")) && !offer(port, error))
            return false;
    }
    return !m_options.tcp || offerNetwork(error);
}

bool VirtualPrinter::offer(const QString &port, QString *error)
{
    const std::optional<OfferedInput> input =
        port.startsWith(QLatin1String("COM"))
            ? offerPseudoTerminal(port, error)
            : offerPrinterFifo(port, m_fifoFolder, m_options.printerOffline, error);
    if (!input)
        return false;
    m_offered.append(*input);
    if (input->offline)
        return true; // nobody reads
    follow(addInput(port), std::make_unique<PrinterLine>(port, input->readFd, input->keepOpenFd,
                                                         m_options.baud, m_options.faults));
    return true;
}

bool VirtualPrinter::offerNetwork(QString *error)
{
    const QString port = QStringLiteral("LPT1");
    m_listener = JobListener::listen(*m_options.tcp, error);
    if (!m_listener)
        return false;
    m_offered.append(OfferedInput{port, m_listener->url()});
    PortInput *input = &addInput(port);
    connect(m_listener.get(), &JobListener::jobArrived, this, [this, input](int fd) {
        auto line = std::make_unique<PrinterLine>(input->name, fd, -1, m_options.baud,
                                                  m_options.faults, PrinterLine::AtEnd::EndJob);
        line->setIdleLimit(m_options.tcpIdleSeconds * 1000);
        connect(line.get(), &PrinterLine::idled, this, [this, input] {
            emit notice(QStringLiteral("%1: the connection sent nothing for %2 s; its job is "
                                       "over (--tcp-idle)")
                            .arg(input->name)
                            .arg(m_options.tcpIdleSeconds));
            endJob(*input);
        });
        follow(*input, std::move(line));
    });
    return true;
}

VirtualPrinter::PortInput &VirtualPrinter::addInput(const QString &port)
{
    m_inputs.push_back(
        std::make_unique<PortInput>(port, m_codePage, m_options.paper, m_archive.newSpool()));
    return *m_inputs.back();
}

void VirtualPrinter::follow(PortInput &input, std::unique_ptr<PrinterLine> line)
{
    PrinterLine *raw = line.get();
    input.line = std::move(line);
    PortInput *in = &input;
    connect(raw, &PrinterLine::received, this,
            [this, in](const QByteArray &bytes) { handle(*in, bytes); });
    connect(raw, &PrinterLine::stalled, this, [this, in, raw] {
        emit notice(QStringLiteral("%1: stopped reading after %2 bytes (--stall)")
                        .arg(in->name)
                        .arg(raw->bytesRead()));
    });
    connect(raw, &PrinterLine::hungUp, this, [this, in, raw] {
        emit notice(QStringLiteral("%1: hung up after %2 bytes (--hangup-after)")
                        .arg(in->name)
                        .arg(raw->bytesRead()));
        if (raw->endsJobs())
            endJob(*in);
        else
            finish(*in);
        checkStopped();
    });
    connect(raw, &PrinterLine::ended, this, [this, in] { endJob(*in); });
    connect(raw, &PrinterLine::drained, this, &VirtualPrinter::checkStopped);
}

void VirtualPrinter::endJob(PortInput &input)
{
    finish(input);
    input.line.release()->deleteLater(); // it is still sending the signal that got us here
    m_listener->resume();                // unless stopping: then it takes no more jobs
    checkStopped();
}

void VirtualPrinter::stop()
{
    if (m_stopped)
        return;
    if (!m_stopping)
        m_sinceStop.start();
    m_stopping = true;
    if (m_listener)
        m_listener->pause();
    // How long reading what waits would take at the line's rate: the bound for reading it.
    qint64 lineTimeMs = 0;
    for (auto &input : m_inputs) {
        if (!input->line)
            continue;
        if (m_options.baud > 0)
            lineTimeMs =
                qMax(lineTimeMs, (input->line->pendingBytes() * LineRate::BitsPerByte * 1000 +
                                  m_options.baud - 1) /
                                     m_options.baud);
        input->line->drain(QuietMs);
    }
    const qint64 boundAt = m_sinceStop.elapsed() + lineTimeMs + StopMarginMs;
    if (boundAt > m_stopBoundAt) {
        m_stopBoundAt = boundAt;
        m_stopBound.start(int(qMin<qint64>(boundAt - m_sinceStop.elapsed(), INT_MAX)));
    }
    checkStopped();
}

void VirtualPrinter::checkStopped()
{
    if (!m_stopping || m_stopped)
        return;
    for (const auto &input : m_inputs)
        if (input->line && !input->line->isDrained())
            return;
    m_stopped = true;
    m_sinceStopped.start();
    m_stopBound.stop();
    emit stopped();
}

QByteArrayList VirtualPrinter::assignments() const
{
    QByteArrayList assignments;
    for (const OfferedInput &input : m_offered)
        assignments << "VR2710_" + input.portName.toLatin1() + '=' + shellQuoted(input.device);
    return assignments;
}

void VirtualPrinter::handle(PortInput &input, const QByteArray &bytes)
{
    input.followed = isSignalConnected(QMetaMethod::fromSignal(&VirtualPrinter::paperFed));
    const QList<PrintedReceipt> receipts = input.decoder.feed(bytes);
    qsizetype used = 0;
    for (const PrintedReceipt &receipt : receipts) {
        if (input.spool) {
            // The bytes up to the form feed belong to the receipt it ended.
            const qint64 take = receipt.byteCount - input.spool->size();
            input.spool->append(bytes.mid(used, take));
            used += take;
        }
        keep(input, receipt);
    }
    if (input.spool)
        input.spool->append(bytes.mid(used));
    report(input);
}

void VirtualPrinter::report(PortInput &input)
{
    if (!input.followed)
        return;
    const PrintedLine &open = input.decoder.openLine();
    // After the end of a receipt, the line under the head belongs to the next one.
    if (input.feed.ended && !open.cells.isEmpty())
        emit paperFed(input.name, input.takeFeed());
    input.feed.openLine = open;
    const PaperFeed &feed = input.feed;
    if (!feed.lines.isEmpty() || !open.cells.isEmpty() || feed.linesSkipped > 0 || feed.ended)
        emit paperFed(input.name, input.takeFeed());
}

void VirtualPrinter::finish(PortInput &input)
{
    if (std::optional<PrintedReceipt> pending = input.decoder.finish())
        keep(input, *pending);
    report(input);
}

void VirtualPrinter::keep(PortInput &input, const PrintedReceipt &receipt)
{
    QString error;
    const QString path = m_archive.save(input.name, receipt, input.spool.get(), &error);
    if (path.isEmpty())
        emit notice(QStringLiteral("%1: the receipt of %2 bytes was not saved: %3")
                        .arg(input.name)
                        .arg(receipt.byteCount)
                        .arg(error));
    emit printed(input.name, receipt, path);
}

void VirtualPrinter::finishPending()
{
    for (auto &input : m_inputs)
        finish(*input);
}

QByteArray shellQuoted(const QByteArray &value)
{
    static const QByteArray safe = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ"
                                   "0123456789_@%+=:,./-";
    const bool plain = !value.isEmpty() && std::all_of(value.begin(), value.end(),
                                                       [](char c) { return safe.contains(c); });
    if (plain)
        return value;
    QByteArray quoted = "'";
    for (const char c : value)
        quoted += c == '\'' ? QByteArray("'\\''") : QByteArray(1, c);
    return quoted + '\'';
}
