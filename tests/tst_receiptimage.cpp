// SPDX-FileCopyrightText: 2026 The VR2710 Demo Developers
// SPDX-License-Identifier: MIT
#include "protocol/receiptstream.h"
#include "renderer/receiptdecoder.h"
#include "renderer/receiptimage.h"
#include "renderer/terminalview.h"
#include "testsupport.h"

#include <QDateTime>
#include <QFile>
#include <QImage>
#include <QTemporaryFile>
#include <QTest>

#include <cerrno>

namespace {

PrintedReceipt decoded(const QByteArray &stream)
{
    ReceiptDecoder decoder(*CodePage::fromName(QStringLiteral("437")));
    QList<PrintedReceipt> receipts = decoder.feed(stream);
    if (auto pending = decoder.finish())
        receipts << *pending;
    return receipts.value(0);
}

// Horizontal extent of the ink (non-white pixels) on one printed line of the image.
int inkWidth(const QImage &image, int line)
{
    const double lineHeight = PaperSpec::LineHeightInch * ReceiptImage::DotsPerInch;
    const int top = ReceiptImage::pixels(0.25) + qRound(line * lineHeight);
    int left = image.width();
    int right = -1;
    for (int y = top; y < top + int(lineHeight) && y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (qGray(image.pixel(x, y)) < 128) {
                left = qMin(left, x);
                right = qMax(right, x);
            }
    return right < 0 ? 0 : right - left + 1;
}

} // namespace

class TestReceiptImage : public QObject
{
    Q_OBJECT

private slots:
    void imageFollowsTheRoll_data();
    void imageFollowsTheRoll();
    void defaultReceiptAtEachPitch_data();
    void defaultReceiptAtEachPitch();
    void pitchSetsCharacterWidth();
    void doubleWidthIsTwiceAsWide();
    void veryLongReceiptIsDrawnInPart();
    void pngWrittenBandByBandIsTheImage();
    void fullDiskIsReportedAsSuch();
    void terminalView_data();
    void terminalView();
};

void TestReceiptImage::imageFollowsTheRoll_data()
{
    QTest::addColumn<double>("millimetres");
    QTest::addColumn<int>("pixels"); // at 200 dots per inch
    QTest::newRow("76 mm, the default") << 76.0 << 598;
    QTest::newRow("58 mm") << 58.0 << 457;
    QTest::newRow("80 mm") << 80.0 << 630;
}

void TestReceiptImage::imageFollowsTheRoll()
{
    QFETCH(double, millimetres);
    QFETCH(int, pixels);
    PaperSpec paper;
    paper.rollWidthMm = millimetres;
    const QImage image = ReceiptImage(paper).render(decoded("A\r\n\x0c"));
    QCOMPARE(image.width(), pixels);
}

void TestReceiptImage::defaultReceiptAtEachPitch_data()
{
    QTest::addColumn<QString>("pitch");
    QTest::addColumn<int>("printedLines"); // lines on the 76 mm roll, wrapped lines included
    QTest::newRow("15 CPI") << Pitch::Cpi15 << 16;
    QTest::newRow("12 CPI") << Pitch::Cpi12 << 16;
    // 22 characters fit a line at 8 CPI: the body, date and double-width lines wrap.
    QTest::newRow("8 CPI") << Pitch::Cpi8 << 29;
}

void TestReceiptImage::defaultReceiptAtEachPitch()
{
    QFETCH(QString, pitch);
    QFETCH(int, printedLines);

    const ReceiptStream stream(pitch, ReceiptStream::defaultBody(), QDateTime::currentDateTime(),
                               *CodePage::fromName(QStringLiteral("437")));
    const PrintedReceipt receipt = decoded(ReceiptStream::join(stream.serialChunks()));
    QVERIFY(receipt.cut);
    const PaperSpec paper;
    const QList<PlacedLine> lines = layOut(receipt, paper);
    QCOMPARE(lines.size(), printedLines);
    for (const PlacedLine &line : lines)
        QVERIFY(line.width() <= paper.printWidthInch() + 1e-9);

    const QImage image = ReceiptImage(paper).render(receipt);
    QCOMPARE(image.width(), 598);
    QVERIFY(image.height() > printedLines * ReceiptImage::pixels(PaperSpec::LineHeightInch));
    QVERIFY(inkWidth(image, 0) > 0); // the title is printed
}

void TestReceiptImage::pitchSetsCharacterWidth()
{
    const QImage image = ReceiptImage().render(decoded("\x1bM1. SODA POP\r\n\x1b:1. SODA POP\r\n"));
    const int at15 = inkWidth(image, 0);
    const int at8 = inkWidth(image, 1);
    QVERIFY(at15 > 0);
    QVERIFY2(qAbs(double(at8) / at15 - 15.0 / 8.0) < 0.12,
             qPrintable(QStringLiteral("15 CPI %1 px, 8 CPI %2 px").arg(at15).arg(at8)));
}

void TestReceiptImage::doubleWidthIsTwiceAsWide()
{
    const QImage image =
        ReceiptImage().render(decoded("\x1bMKORiVANT VR2710\r\n\x0eKORiVANT VR2710\r\n"));
    const int single = inkWidth(image, 0);
    const int doubled = inkWidth(image, 1);
    QVERIFY(single > 0);
    QVERIFY2(qAbs(double(doubled) / single - 2.0) < 0.1,
             qPrintable(QStringLiteral("single %1 px, double %2 px").arg(single).arg(doubled)));
}

void TestReceiptImage::veryLongReceiptIsDrawnInPart()
{
    const QByteArray line("A\r\n");
    const QImage image =
        ReceiptImage().render(decoded(line.repeated(ReceiptImage::MaxLines + 500)));
    const double lineHeight = PaperSpec::LineHeightInch * ReceiptImage::DotsPerInch;
    QVERIFY(image.height() <= (ReceiptImage::MaxLines + 4) * lineHeight);
    QVERIFY(inkWidth(image, ReceiptImage::MaxLines - 1) > inkWidth(image, 0)); // the note
}

void TestReceiptImage::pngWrittenBandByBandIsTheImage()
{
    // 150 lines of markers, underlines and double width: ten bands of the PNG writer.
    const PrintedReceipt receipt = decoded(
        QByteArray("\x1b-1\x07under\x1b-0 \x0ewide\x14 \x1a end\r\n").repeated(150) + "\x0c");
    QTemporaryFile file;
    QVERIFY(file.open());
    int error = 0;
    QVERIFY(ReceiptImage().writePng(receipt, int(file.handle()), {}, &error));
    QCOMPARE(error, 0);
    const QImage written(file.fileName(), "PNG");
    QCOMPARE(written.convertToFormat(QImage::Format_RGB32), ReceiptImage().render(receipt));
    QCOMPARE(written.dotsPerMeterX(), 7874); // 200 dpi
}

void TestReceiptImage::fullDiskIsReportedAsSuch()
{
    QFile full(QStringLiteral("/dev/full"));
    QVERIFY(full.open(QIODevice::WriteOnly));
    int error = 0;
    QVERIFY(!ReceiptImage().writePng(decoded("A\r\n\x0c"), int(full.handle()), {}, &error));
    QCOMPARE(error, ENOSPC);
}

void TestReceiptImage::terminalView_data()
{
    QTest::addColumn<QByteArray>("stream");
    QTest::addColumn<bool>("ansi");
    QTest::addColumn<QString>("text");

    const QByteArray stream = "\x07\x0e"
                              "AB\r\n\x1b-1"
                              "CD\x1b-0"
                              "E\r\n\x0c";
    QTest::newRow("plain: spread, underlined below, markers in brackets")
        << stream << false << "[BEL]A B \nCDE\n--\n- - - - - - - - - - - - - - - - (cut)\n";
    QTest::newRow("ANSI: bold, underline, reverse video")
        << stream << true
        << "\x1b[7m[BEL]\x1b[27m\x1b[1mA \x1b[0m\x1b[1mB \x1b[0m\n\x1b[4mC\x1b[0m\x1b[4mD\x1b[0mE\n"
           "- - - - - - - - - - - - - - - - (cut)\n";
    QTest::newRow("uncut") << QByteArray("A") << false
                           << "A\n(no form feed: the receipt was not cut)\n";
}

void TestReceiptImage::terminalView()
{
    QFETCH(QByteArray, stream);
    QFETCH(bool, ansi);
    QFETCH(QString, text);
    QCOMPARE(::terminalView(decoded(stream), PaperSpec(), ansi), text);
}

QTEST_MAIN(TestReceiptImage)
#include "tst_receiptimage.moc"
