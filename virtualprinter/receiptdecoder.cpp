#include "receiptdecoder.h"

namespace {

enum : unsigned char {
    Bel = 0x07,
    Lf = 0x0a,
    Ff = 0x0c,
    Cr = 0x0d,
    So = 0x0e,
    Dc4 = 0x14,
    Esc = 0x1b,
    Del = 0x7f,
};

QString hex(unsigned char byte)
{
    return QStringLiteral("%1").arg(byte, 2, 16, QLatin1Char('0')).toUpper();
}

} // namespace

ReceiptDecoder::ReceiptDecoder(CodePage codePage)
    : m_codePage(std::move(codePage))
{
}

QList<PrintedReceipt> ReceiptDecoder::feed(const QByteArray &bytes)
{
    QList<PrintedReceipt> completed;
    for (const char byte : bytes) {
        m_receipt.bytes.append(byte);
        decode(static_cast<unsigned char>(byte), completed);
    }
    return completed;
}

void ReceiptDecoder::decode(unsigned char byte, QList<PrintedReceipt> &completed)
{
    switch (m_state) {
    case State::Escape:
        m_state = State::Text;
        switch (byte) {
        case 'M':
            m_style.cpi = 15;
            return;
        case 'P':
            m_style.cpi = 12;
            return;
        case ':':
            m_style.cpi = 8;
            return;
        case '-':
            m_state = State::EscapeDash;
            return;
        default:
            putMarker(QStringLiteral("ESC ") + hex(byte));
            return;
        }
    case State::EscapeDash:
        m_state = State::Text;
        if (byte == '1' || byte == 0x01)
            m_style.underline = true;
        else if (byte == '0' || byte == 0x00)
            m_style.underline = false;
        else
            putMarker(QStringLiteral("ESC 2D ") + hex(byte));
        return;
    case State::Text:
        break;
    }

    switch (byte) {
    case Bel:
        putMarker(QStringLiteral("BEL"));
        return;
    case Esc:
        m_state = State::Escape;
        return;
    case So:
        m_style.doubleWidth = true;
        return;
    case Dc4:
        m_style.doubleWidth = false;
        return;
    case Cr:
        m_column = 0;
        return;
    case Lf:
        endLine();
        return;
    case Ff:
        if (!m_line.cells.isEmpty())
            endLine();
        m_receipt.cut = true;
        completed.append(std::move(m_receipt));
        m_receipt = {};
        return;
    default:
        if (byte < 0x20 || byte == Del)
            putMarker(hex(byte));
        else
            put({PrintedCell::Kind::Character, QString(m_codePage.decode(byte)), m_style});
        return;
    }
}

void ReceiptDecoder::put(PrintedCell cell)
{
    // After a CR the printer prints over what the line already holds.
    if (m_column < m_line.cells.size())
        m_line.cells[m_column] = std::move(cell);
    else
        m_line.cells.append(std::move(cell));
    ++m_column;
}

void ReceiptDecoder::putMarker(const QString &label)
{
    put({PrintedCell::Kind::Marker, label, m_style});
}

void ReceiptDecoder::endLine()
{
    m_receipt.lines.append(std::move(m_line));
    m_line = {};
    m_column = 0;
    m_style.doubleWidth = false; // double width lasts one line at most
}

PrintedReceipt ReceiptDecoder::current() const
{
    PrintedReceipt receipt = m_receipt;
    if (!m_line.cells.isEmpty())
        receipt.lines.append(m_line);
    return receipt;
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
    return receipt;
}
