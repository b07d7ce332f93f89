// SPDX-FileCopyrightText: 2026 The VR2710 Demo Developers
// SPDX-License-Identifier: MIT
#include "receiptdecoder.h"

#include "protocol/commandset.h"

namespace {

using namespace CommandSet;

// Marker labels for every byte, made once: a marker per input byte must not cost an
// allocation each.
struct MarkerLabels
{
    std::array<QString, 256> hex;
    std::array<QString, 256> escape;
    std::array<QString, 256> escapeDash;

    MarkerLabels()
    {
        for (int byte = 0; byte < 256; ++byte) {
            hex[byte] = QStringLiteral("%1").arg(byte, 2, 16, QLatin1Char('0')).toUpper();
            escape[byte] = QStringLiteral("ESC ") + hex[byte];
            escapeDash[byte] = QStringLiteral("ESC 2D ") + hex[byte];
        }
    }
};

const MarkerLabels &labels()
{
    static const MarkerLabels made;
    return made;
}

} // namespace

ReceiptDecoder::ReceiptDecoder(CodePage codePage, PaperSpec paper)
    : m_paper(paper)
{
    for (int byte = 0; byte < 256; ++byte)
        m_characters[byte] = QString(codePage.decode(static_cast<unsigned char>(byte)));
}

QList<PrintedReceipt> ReceiptDecoder::feed(const QByteArray &bytes)
{
    QList<PrintedReceipt> completed;
    for (const char byte : bytes) {
        ++m_receipt.byteCount;
        decode(static_cast<unsigned char>(byte), completed);
    }
    return completed;
}

void ReceiptDecoder::decode(unsigned char byte, QList<PrintedReceipt> &completed)
{
    switch (m_state) {
    case State::Escape:
        m_state = State::Text;
        switch (char(byte)) {
        case Pitch15Cpi:
            m_style.cpi = 15;
            return;
        case Pitch12Cpi:
            m_style.cpi = 12;
            return;
        case Pitch8Cpi:
            m_style.cpi = 8;
            return;
        case Underline:
            m_state = State::EscapeDash;
            return;
        default:
            putMarker(labels().escape[byte]);
            return;
        }
    case State::EscapeDash:
        m_state = State::Text;
        if (byte == UnderlineOnArgument || byte == 0x01)
            m_style.underline = true;
        else if (byte == UnderlineOffArgument || byte == 0x00)
            m_style.underline = false;
        else
            putMarker(labels().escapeDash[byte]);
        return;
    case State::Text:
        break;
    }

    switch (char(byte)) {
    case Bel:
        putMarker(QStringLiteral("BEL"));
        return;
    case Esc:
        m_state = State::Escape;
        return;
    case DoubleWidthOn:
        m_style.doubleWidth = true;
        return;
    case DoubleWidthOff:
        m_style.doubleWidth = false;
        return;
    case CarriageReturn:
        m_column = 0;
        return;
    case LineFeed:
        endLine();
        return;
    case FormFeed:
        if (!m_line.cells.isEmpty())
            endLine();
        m_receipt.cut = true;
        completed.append(std::move(m_receipt));
        m_receipt = {};
        if (m_observer)
            m_observer->receiptEnded(true);
        return;
    default:
        if (byte < 0x20 || byte == uchar(Delete))
            putMarker(labels().hex[byte]);
        else
            put({PrintedCell::Kind::Character, m_characters[byte], m_style});
        return;
    }
}

void ReceiptDecoder::put(const PrintedCell &cell)
{
    const double width = cellWidthInch(cell);
    if (m_column < m_line.cells.size()) {
        // After a CR the printer prints over what the line already holds.
        m_lineWidth += width - cellWidthInch(m_line.cells[m_column]);
        m_line.cells[m_column] = cell;
    } else {
        if (!m_line.cells.isEmpty() && !fitsOnLine(m_lineWidth, width, m_paper))
            feedLine(); // the line buffer is full: it prints, and this starts the next line
        m_line.cells.append(cell);
        m_lineWidth += width;
    }
    ++m_column;
}

void ReceiptDecoder::putMarker(const QString &label)
{
    put({PrintedCell::Kind::Marker, label, m_style});
}

void ReceiptDecoder::feedLine()
{
    if (m_observer)
        m_observer->lineFed(m_line);
    if (m_receipt.lines.size() < PrintedReceipt::MaxKeptLines)
        m_receipt.lines.append(std::move(m_line));
    else
        ++m_receipt.linesLeftOut;
    m_line = {};
    m_lineWidth = 0;
    m_column = 0;
}

void ReceiptDecoder::endLine()
{
    feedLine();
    m_style.doubleWidth = false; // double width lasts one line at most
}

std::optional<PrintedReceipt> ReceiptDecoder::finish()
{
    if (m_state == State::Escape)
        putMarker(QStringLiteral("ESC"));
    else if (m_state == State::EscapeDash)
        putMarker(QStringLiteral("ESC 2D"));
    m_state = State::Text;
    if (!hasPendingData())
        return std::nullopt;
    if (!m_line.cells.isEmpty())
        endLine();
    PrintedReceipt receipt = std::move(m_receipt);
    m_receipt = {};
    if (m_observer)
        m_observer->receiptEnded(false);
    return receipt;
}
