#include "virtualprinter.h"

#include <QDir>
#include <QFile>
#include <QMetaMethod>

VirtualPrinter::VirtualPrinter(VirtualPrinterOptions options, CodePage codePage, QObject *parent)
    : QObject(parent)
    , m_options(std::move(options))
    , m_codePage(std::move(codePage))
    , m_archive(m_options.outputFolder, m_options.paper, m_options.keepRawBytes)
    , m_fifoFolder(QDir::temp().filePath(QStringLiteral("vr2710-printer-XXXXXX")))
{
}

VirtualPrinter::~VirtualPrinter()
{
    m_inputs.clear(); // close the lines before the FIFO folder goes
}

bool VirtualPrinter::start(QString *error)
{
    if (!m_archive.prepare(error))
        return false;
    for (const QString &port : m_options.ports) {
        std::optional<OfferedInput> input;
        if (port.startsWith(QLatin1String("COM"))) {
            input = offerPseudoTerminal(port, error);
        } else if (port.startsWith(QLatin1String("LPT"))) {
            if (!m_fifoFolder.isValid()) {
                *error = QStringLiteral("cannot create a folder for the printer FIFO: ") +
                         m_fifoFolder.errorString();
                return false;
            }
            input = offerPrinterFifo(port, m_fifoFolder.filePath(port.toLower()),
                                     m_options.printerOffline, error);
        } else {
            *error = QStringLiteral("unknown port \"%1\": use COM1, COM2, ... or LPT1").arg(port);
            return false;
        }
        if (!input)
            return false;
        m_offered.append(*input);
        if (input->readFd < 0)
            continue; // offline: nobody reads
        auto entry = std::make_unique<Input>(
            Input{std::make_unique<PrinterLine>(port, input->readFd, input->keepOpenFd,
                                                m_options.baud, m_options.faults),
                  ReceiptDecoder(m_codePage)});
        Input *raw = entry.get();
        connect(raw->line.get(), &PrinterLine::received, this,
                [this, raw](const QByteArray &bytes) { handle(*raw, bytes); });
        connect(raw->line.get(), &PrinterLine::stalled, this, [this, port, raw] {
            emit notice(QStringLiteral("%1: stopped reading after %2 bytes (--stall)")
                            .arg(port)
                            .arg(raw->line->bytesRead()));
        });
        connect(raw->line.get(), &PrinterLine::hungUp, this, [this, port, raw] {
            emit notice(QStringLiteral("%1: hung up after %2 bytes (--hangup-after)")
                            .arg(port)
                            .arg(raw->line->bytesRead()));
            if (auto pending = raw->decoder.finish())
                keep(port, *pending);
        });
        m_inputs.push_back(std::move(entry));
    }
    return true;
}

QStringList VirtualPrinter::assignments() const
{
    QStringList assignments;
    for (const OfferedInput &input : m_offered)
        assignments << QStringLiteral("VR2710_%1=%2").arg(input.portName, input.path);
    return assignments;
}

void VirtualPrinter::handle(Input &input, const QByteArray &bytes)
{
    const QString port = input.line->name();
    for (const PrintedReceipt &receipt : input.decoder.feed(bytes))
        keep(port, receipt);
    // current() copies the receipt so far: only worth it when something shows it.
    if (input.decoder.hasPendingData() &&
        isSignalConnected(QMetaMethod::fromSignal(&VirtualPrinter::progress)))
        emit progress(port, input.decoder.current());
}

void VirtualPrinter::keep(const QString &portName, const PrintedReceipt &receipt)
{
    QString error;
    const QString path = m_archive.save(portName, receipt, &error);
    if (path.isEmpty())
        emit notice(portName + QStringLiteral(": ") + error);
    emit printed(portName, receipt, path);
}

void VirtualPrinter::finishPending()
{
    for (auto &input : m_inputs)
        if (auto pending = input->decoder.finish())
            keep(input->line->name(), *pending);
}
