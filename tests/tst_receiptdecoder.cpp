// SPDX-FileCopyrightText: 2026 The VR2710 Demo Developers
// SPDX-License-Identifier: MIT
#include "renderer/receiptdecoder.h"
#include "testsupport.h"

#include <QStringList>
#include <QTest>

using Receipts = QList<QStringList>;
using Cuts = QList<bool>;

namespace {

CodePage cp437()
{
    return *CodePage::fromName(QStringLiteral("437"));
}

// A printed line in a compact notation: "@15" where the pitch changes away from 12,
// <w>..</w> double width, <u>..</u> underline, [label] a marker.
QString describe(const PrintedLine &line)
{
    QString out;
    PrintStyle previous;
    for (const PrintedCell &cell : line.cells) {
        if (cell.isMarker()) {
            out += QLatin1Char('[') + cell.text + QLatin1Char(']');
            continue;
        }
        const PrintStyle style = cell.style;
        if (previous.underline && !style.underline)
            out += QStringLiteral("</u>");
        if (previous.doubleWidth && !style.doubleWidth)
            out += QStringLiteral("</w>");
        if (style.cpi != previous.cpi)
            out += QLatin1Char('@') + QString::number(style.cpi);
        if (style.doubleWidth && !previous.doubleWidth)
            out += QStringLiteral("<w>");
        if (style.underline && !previous.underline)
            out += QStringLiteral("<u>");
        out += cell.text;
        previous = style;
    }
    if (previous.underline)
        out += QStringLiteral("</u>");
    if (previous.doubleWidth)
        out += QStringLiteral("</w>");
    return out;
}

QStringList describe(const PrintedReceipt &receipt)
{
    QStringList lines;
    for (const PrintedLine &line : receipt.lines)
        lines << describe(line);
    return lines;
}

struct Outcome
{
    Receipts receipts;
    Cuts cuts;
    QList<qint64> byteCounts;
};

// How many bytes each receipt of the stream takes: up to and including each form feed.
QList<qint64> byteCountsOf(const QByteArray &stream)
{
    QList<qint64> counts;
    qsizetype start = 0;
    for (qsizetype formFeed; (formFeed = stream.indexOf('\x0c', start)) >= 0; start = formFeed + 1)
        counts << formFeed + 1 - start;
    if (start < stream.size())
        counts << stream.size() - start;
    return counts;
}

// Feeds the stream in pieces of `piece` bytes (0: all at once), then ends it.
Outcome decode(const QByteArray &stream, int piece)
{
    ReceiptDecoder decoder(cp437());
    QList<PrintedReceipt> printed;
    for (qsizetype at = 0; at<stream.size(); at += piece> 0 ? piece : stream.size())
        printed += decoder.feed(stream.mid(at, piece > 0 ? piece : stream.size()));
    if (auto pending = decoder.finish())
        printed << *pending;
    Outcome outcome;
    for (const PrintedReceipt &receipt : printed) {
        outcome.receipts << describe(receipt);
        outcome.cuts << receipt.cut;
        outcome.byteCounts << receipt.byteCount;
    }
    return outcome;
}

} // namespace

class TestReceiptDecoder : public QObject
{
    Q_OBJECT

private slots:
    void decode_data();
    void decode();
    void defaultReceipt();
    void progressShowsTheOpenLine();
};

void TestReceiptDecoder::decode_data()
{
    QTest::addColumn<QByteArray>("stream");
    QTest::addColumn<Receipts>("receipts");
    QTest::addColumn<Cuts>("cuts");

    QTest::newRow("pitch commands")
        << QByteArray("\x1bMa\x1bPb\x1b:c\n") << Receipts{{"@15a@12b@8c"}} << Cuts{false};
    QTest::newRow("double width until DC4") << QByteArray("\x0e"
                                                          "AB\x14"
                                                          "C\n")
                                            << Receipts{{"<w>AB</w>C"}} << Cuts{false};
    QTest::newRow("double width ends with the line") << QByteArray("\x0e"
                                                                   "AB\r\nC\n")
                                                     << Receipts{{"<w>AB</w>", "C"}} << Cuts{false};
    QTest::newRow("underline lasts across lines")
        << QByteArray("\x1b-1A\r\nB\r\n\x1b-0"
                      "C\n")
        << Receipts{{"<u>A</u>", "<u>B</u>", "C"}} << Cuts{false};
    QTest::newRow("underline with bytes 01h and 00h") << QByteArray("\x1b-\x01"
                                                                    "A\x1b-\x00"
                                                                    "B\n",
                                                                    9)
                                                      << Receipts{{"<u>A</u>B"}} << Cuts{false};
    QTest::newRow("bell is a mark") << QByteArray("\x07"
                                                  "A\n")
                                    << Receipts{{"[BEL]A"}} << Cuts{false};
    QTest::newRow("unknown control bytes are shown") << QByteArray("A\x1a"
                                                                   "B\x00\x7f\n",
                                                                   6)
                                                     << Receipts{{"A[1A]B[00][7F]"}} << Cuts{false};
    QTest::newRow("unknown escape sequences are shown")
        << QByteArray("\x1bXA\x1b\x1b"
                      "B\n")
        << Receipts{{"[ESC 58]A[ESC 1B]B"}} << Cuts{false};
    QTest::newRow("bad underline argument is shown")
        << QByteArray("\x1b-2A\n") << Receipts{{"[ESC 2D 32]A"}} << Cuts{false};
    QTest::newRow("CR prints over the line")
        << QByteArray("ABC\rX\n") << Receipts{{"XBC"}} << Cuts{false};
    // 34 characters at 12 CPI fill the 72 mm print area of the 76 mm roll.
    QTest::newRow("a full line prints; CR returns to the start of the next")
        << QByteArray(35, 'A') + "\rB\n"
        << Receipts{{QString(34, 'A'), "B"}} << Cuts{false};
    QTest::newRow("form feed cuts and starts the next receipt")
        << QByteArray("A\r\n\x0c"
                      "B\x0c")
        << Receipts{{"A"}, {"B"}} << Cuts{true, true};
    QTest::newRow("form feed ends an open line")
        << QByteArray("AB\x0c") << Receipts{{"AB"}} << Cuts{true};
    QTest::newRow("stream cut after ESC")
        << QByteArray("A\x1b") << Receipts{{"A[ESC]"}} << Cuts{false};
    QTest::newRow("stream cut after ESC -")
        << QByteArray("A\x1b-") << Receipts{{"A[ESC 2D]"}} << Cuts{false};
    QTest::newRow("code page 437 text")
        << QByteArray("\x82\x9c\xc4\n") << Receipts{{"é£─"}} << Cuts{false};
    QTest::newRow("nothing") << QByteArray() << Receipts{} << Cuts{};
}

void TestReceiptDecoder::decode()
{
    QFETCH(QByteArray, stream);
    QFETCH(Receipts, receipts);
    QFETCH(Cuts, cuts);

    // The same receipts whether the bytes come at once or one by one.
    for (const int piece : {0, 1, 2}) {
        const Outcome outcome = ::decode(stream, piece);
        QCOMPARE(outcome.receipts, receipts);
        QCOMPARE(outcome.cuts, cuts);
        QCOMPARE(outcome.byteCounts, byteCountsOf(stream)); // every byte in exactly one receipt
    }
}

void TestReceiptDecoder::defaultReceipt()
{
    // The demo's serial stream at 12 CPI, built by hand.
    const QByteArray stream = "\x07\x1bP\x0eKORiVANT VR2710\r\n\x14\r\n"
                              "\x1b-1DATE : 12-07-2026 TIME : 09:05:01\r\n"
                              "\x1b-0"
                              "1. SODA POP           *1   $3.25\r\n\r\n"
                              "\x0e-- Thank You --\r\n\x14\x0c";
    const Outcome outcome = ::decode(stream, 0);
    QCOMPARE(
        outcome.receipts,
        (Receipts{{"[BEL]<w>KORiVANT VR2710</w>", "", "<u>DATE : 12-07-2026 TIME : 09:05:01</u>",
                   "1. SODA POP           *1   $3.25", "", "<w>-- Thank You --</w>"}}));
    QCOMPARE(outcome.cuts, Cuts{true});
}

void TestReceiptDecoder::progressShowsTheOpenLine()
{
    ReceiptDecoder decoder(cp437());
    QVERIFY(decoder.feed("A\r\nBC").isEmpty());
    QCOMPARE(describe(decoder.pending()), QStringList{"A"});
    QCOMPARE(describe(decoder.openLine()), QStringLiteral("BC"));
    QVERIFY(decoder.hasPendingData());
    QCOMPARE(decoder.feed("\x0c").size(), 1);
    QVERIFY(!decoder.hasPendingData());
    QVERIFY(!decoder.finish());
}

QTEST_GUILESS_MAIN(TestReceiptDecoder)
#include "tst_receiptdecoder.moc"
