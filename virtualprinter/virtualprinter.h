#pragma once

#include "printerinputs.h"
#include "printerline.h"
#include "receiptarchive.h"
#include "receiptdecoder.h"

#include <QObject>
#include <QTemporaryDir>

#include <memory>
#include <vector>

struct VirtualPrinterOptions
{
    QStringList ports{QStringLiteral("COM1"), QStringLiteral("LPT1")};
    bool printerOffline = false; // LPT ports get a FIFO that nobody reads
    qint32 baud = 9600;          // 0: read as fast as possible
    LineFaults faults;
    QString outputFolder = QStringLiteral("receipts");
    PaperSpec paper;
    bool keepRawBytes = false;
};

// Stands in for a VR2710: offers its ports as a pseudo-terminal (COMn) and a FIFO (LPTn),
// decodes what arrives and keeps each finished receipt as an image.
class VirtualPrinter : public QObject
{
    Q_OBJECT

public:
    VirtualPrinter(VirtualPrinterOptions options, CodePage codePage, QObject *parent = nullptr);
    ~VirtualPrinter() override;

    // Opens the ports and the output folder; false with the reason in `error`.
    bool start(QString *error);
    QList<OfferedInput> offered() const { return m_offered; }
    // "VR2710_COM1=/dev/pts/7", one for each offered port
    QStringList assignments() const;
    // "export VR2710_COM1=/dev/pts/7 VR2710_LPT1=/tmp/.../lpt1"
    QString exportLine() const
    {
        return QStringLiteral("export ") + assignments().join(QLatin1Char(' '));
    }
    // Prints what is still pending on every line as an uncut receipt.
    void finishPending();

signals:
    void progress(const QString &portName, const PrintedReceipt &soFar);
    void printed(const QString &portName, const PrintedReceipt &receipt, const QString &imagePath);
    void notice(const QString &text);

private:
    struct Input
    {
        std::unique_ptr<PrinterLine> line;
        ReceiptDecoder decoder;
    };
    void handle(Input &input, const QByteArray &bytes);
    void keep(const QString &portName, const PrintedReceipt &receipt);

    VirtualPrinterOptions m_options;
    CodePage m_codePage;
    ReceiptArchive m_archive;
    QTemporaryDir m_fifoFolder;
    QList<OfferedInput> m_offered;
    std::vector<std::unique_ptr<Input>> m_inputs;
};
