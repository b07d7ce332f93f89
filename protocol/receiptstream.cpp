// SPDX-FileCopyrightText: 2026 The VR2710 Demo Developers
// SPDX-License-Identifier: MIT
#include "receiptstream.h"

#include "commandset.h"

namespace {

using namespace CommandSet;

const QByteArray Bell(1, Bel);
const QByteArray Escape(1, Esc);
const QByteArray WideOn(1, DoubleWidthOn);
const QByteArray WideOff(1, DoubleWidthOff);
const QByteArray UnderlineOn = Escape + Underline + UnderlineOnArgument;
const QByteArray UnderlineOff = Escape + Underline + UnderlineOffArgument;
const QByteArray LineEnd = QByteArray(1, CarriageReturn) + LineFeed;
const QByteArray FormFeedByte(1, FormFeed);

const QByteArray Title = WideOn + "KORiVANT VR2710" + LineEnd;
const QByteArray Closing = WideOn + "-- Thank You --" + LineEnd;

QByteArray twoDigits(int value)
{
    return QByteArray::number(value).rightJustified(2, '0');
}

} // namespace

QDateTime systemDateTime()
{
    return QDateTime::currentDateTime();
}

ReceiptStream::ReceiptStream(const PitchCode &pitchCode, const QString &body, const QDateTime &now,
                             const CodePage &codePage)
    : m_pitchSelection(Bell + Escape + codePage.encode(pitchCode))
    // Date and time come from one reading, so a job running across midnight cannot pair
    // one day's date with the next day's time.
    , m_dateLine(UnderlineOn + "DATE : " + dateText(now.date()) + ' ' +
                 "TIME : " + timeText(now.time()) + LineEnd)
    , m_body(UnderlineOff + codePage.encode(body))
{
}

QList<QByteArray> ReceiptStream::serialChunks() const
{
    return {m_pitchSelection, Title,   WideOff + LineEnd, m_dateLine,  m_body,
            LineEnd,          Closing, WideOff,           FormFeedByte};
}

QList<Chunk> ReceiptStream::parallelChunks() const
{
    return {{m_pitchSelection, true}, {Title, false},   {WideOff, true},  {m_dateLine, false},
            {m_body, true},           {Closing, false}, {WideOff, false}, {FormFeedByte, false}};
}

QByteArray ReceiptStream::join(const QList<QByteArray> &chunks)
{
    QByteArray all;
    for (const QByteArray &chunk : chunks)
        all += chunk;
    return all;
}

QByteArray ReceiptStream::join(const QList<Chunk> &chunks)
{
    QByteArray all;
    for (const Chunk &chunk : chunks)
        all += chunk.bytes();
    return all;
}

QString ReceiptStream::defaultBody()
{
    static const char *const lines[] = {
        "1. SODA POP           *1   $3.25", "2. PAPAYA JUICE       *1   $2.50",
        "3. MILK SHAKE         *1   $1.75", "4. COCA COLA          *1   $2.50",
        "6. CREAM SODA         *1   $5.25", "7. GUAVA JUICE        *1   $0.50",
        "8. ALMOND SYRUP       *1   $0.50", " ",
        "TOTAL  :                  $19.50", "CASH   :                  $20.00",
        "CHANGE :                   $0.50",
    };
    QString body;
    for (const char *line : lines)
        body += QLatin1String(line) + QLatin1String("\r\n");
    return body;
}

QByteArray ReceiptStream::dateText(const QDate &date)
{
    return twoDigits(date.month()) + '-' + twoDigits(date.day()) + '-' +
           QByteArray::number(date.year()).rightJustified(4, '0');
}

QByteArray ReceiptStream::timeText(const QTime &time)
{
    return twoDigits(time.hour()) + ':' + twoDigits(time.minute()) + ':' + twoDigits(time.second());
}
