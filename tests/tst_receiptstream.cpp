// SPDX-FileCopyrightText: 2026 The VR2710 Demo Developers
// SPDX-License-Identifier: MIT
#include "protocol/codepage.h"
#include "protocol/receiptstream.h"
#include "testsupport.h"

#include <QDateTime>
#include <QStringList>
#include <QTest>

using ByteList = QList<QByteArray>;
using Lengths = QList<int>;

namespace {

const QDateTime SomeMoment(QDate(2026, 12, 7), QTime(14, 35, 9));

CodePage page(const char *name)
{
    return *CodePage::fromName(QString::fromLatin1(name));
}

Lengths lengthsOf(const ByteList &chunks)
{
    Lengths lengths;
    for (const QByteArray &chunk : chunks)
        lengths << int(chunk.size());
    return lengths;
}

Lengths lengthsOf(const QList<Chunk> &chunks)
{
    Lengths lengths;
    for (const Chunk &chunk : chunks)
        lengths << int(chunk.bytes().size());
    return lengths;
}

} // namespace

class TestReceiptStream : public QObject
{
    Q_OBJECT

private slots:
    void chunkLengths_data();
    void chunkLengths();
    void wholeStream_data();
    void wholeStream();
    void parallelLineEndFlags();
    void dateLine_data();
    void dateLine();
    void defaultBody();
    void encodeBody_data();
    void encodeBody();
    void decodeReversesEncode_data();
    void decodeReversesEncode();
    void codePageFromEnvironment_data();
    void codePageFromEnvironment();
};

void TestReceiptStream::chunkLengths_data()
{
    QTest::addColumn<QString>("pitch");
    QTest::addColumn<QString>("body");
    QTest::addColumn<Lengths>("serial");
    QTest::addColumn<Lengths>("parallel");

    const Lengths defaultSerial{3, 18, 3, 38, 346, 2, 18, 1, 1};
    const Lengths defaultParallel{5, 18, 3, 38, 348, 18, 1, 1};
    const QString body = ReceiptStream::defaultBody();
    QTest::newRow("default body, 15 CPI")
        << Pitch::Cpi15 << body << defaultSerial << defaultParallel;
    QTest::newRow("default body, 12 CPI")
        << Pitch::Cpi12 << body << defaultSerial << defaultParallel;
    QTest::newRow("default body, 8 CPI") << Pitch::Cpi8 << body << defaultSerial << defaultParallel;
    QTest::newRow("empty body") << Pitch::Cpi15 << QString()
                                << Lengths{3, 18, 3, 38, 3, 2, 18, 1, 1}
                                << Lengths{5, 18, 3, 38, 5, 18, 1, 1};
    QTest::newRow("two-character pitch text")
        << QStringLiteral("MP") << body << Lengths{4, 18, 3, 38, 346, 2, 18, 1, 1}
        << Lengths{6, 18, 3, 38, 348, 18, 1, 1};
}

void TestReceiptStream::chunkLengths()
{
    QFETCH(QString, pitch);
    QFETCH(QString, body);
    QFETCH(Lengths, serial);
    QFETCH(Lengths, parallel);

    const ReceiptStream stream(pitch, body, SomeMoment, page("437"));
    QCOMPARE(lengthsOf(stream.serialChunks()), serial);
    QCOMPARE(lengthsOf(stream.parallelChunks()), parallel);
}

void TestReceiptStream::wholeStream_data()
{
    QTest::addColumn<QString>("pitch");
    QTest::addColumn<QString>("body");
    QTest::addColumn<QDateTime>("now");
    QTest::addColumn<QByteArray>("serial");

    // The expected bytes are written out by hand, piece by piece as the printer reads them.
    const QByteArray title = "\x0e"
                             "KORiVANT VR2710\r\n"
                             "\x14\r\n";
    const QByteArray closing = "\x0e"
                               "-- Thank You --\r\n"
                               "\x14"
                               "\x0c";
    const QByteArray dateLine = "\x1b-1DATE : 03-04-2026 TIME : 05:06:07\r\n";
    const QDateTime early(QDate(2026, 3, 4), QTime(5, 6, 7));

    QTest::newRow("body without final CR LF")
        << Pitch::Cpi12 << QStringLiteral("A\r\nB") << early
        << QByteArray("\x07\x1b"
                      "P" +
                      title + dateLine + "\x1b-0A\r\nB" + "\r\n" + closing);
    QTest::newRow("body ending in CR LF gets an empty line")
        << Pitch::Cpi8 << QStringLiteral("A\r\n") << early
        << QByteArray("\x07\x1b:" + title + dateLine + "\x1b-0A\r\n" + "\r\n" + closing);
    QTest::newRow("empty body") << Pitch::Cpi15 << QString() << early
                                << QByteArray("\x07\x1bM" + title + dateLine + "\x1b-0" + "\r\n" +
                                              closing);
    QTest::newRow("unknown pitch text passed through")
        << QStringLiteral("x!") << QStringLiteral("Z") << early
        << QByteArray("\x07\x1bx!" + title + dateLine + "\x1b-0Z" + "\r\n" + closing);
    QTest::newRow("late in the year")
        << Pitch::Cpi15 << QStringLiteral("Z") << QDateTime(QDate(2026, 12, 31), QTime(23, 59, 58))
        << QByteArray("\x07\x1bM" + title + "\x1b-1DATE : 12-31-2026 TIME : 23:59:58\r\n" +
                      "\x1b-0Z" + "\r\n" + closing);
}

void TestReceiptStream::wholeStream()
{
    QFETCH(QString, pitch);
    QFETCH(QString, body);
    QFETCH(QDateTime, now);
    QFETCH(QByteArray, serial);

    const ReceiptStream stream(pitch, body, now, page("437"));
    QCOMPARE(ReceiptStream::join(stream.serialChunks()), serial);

    // The parallel stream differs only by a CR LF right after the pitch selection.
    QByteArray parallel = serial;
    parallel.insert(2 + pitch.size(), "\r\n");
    QCOMPARE(ReceiptStream::join(stream.parallelChunks()), parallel);
    QVERIFY(parallel.endsWith("\x14\x0c"));
}

void TestReceiptStream::parallelLineEndFlags()
{
    const ReceiptStream stream(Pitch::Cpi8, QStringLiteral("X"), SomeMoment, page("437"));
    QList<bool> flags;
    for (const Chunk &chunk : stream.parallelChunks())
        flags << chunk.lineEnd;
    QCOMPARE(flags, (QList<bool>{true, false, true, false, true, false, false, false}));
    QCOMPARE(stream.parallelChunks().first().text, QByteArray("\x07\x1b:"));
}

void TestReceiptStream::dateLine_data()
{
    QTest::addColumn<QDateTime>("now");
    QTest::addColumn<QByteArray>("expected");

    QTest::newRow("single-digit parts")
        << QDateTime(QDate(2027, 1, 2), QTime(3, 4, 5)) << QByteArray("01-02-2027 TIME : 03:04:05");
    QTest::newRow("midnight") << QDateTime(QDate(2026, 10, 10), QTime(0, 0, 0))
                              << QByteArray("10-10-2026 TIME : 00:00:00");
    QTest::newRow("24-hour clock") << QDateTime(QDate(2026, 11, 30), QTime(23, 59, 59))
                                   << QByteArray("11-30-2026 TIME : 23:59:59");
}

void TestReceiptStream::dateLine()
{
    QFETCH(QDateTime, now);
    QFETCH(QByteArray, expected);

    const QByteArray line = ReceiptStream(Pitch::Cpi15, {}, now, page("437")).serialChunks().at(3);
    QCOMPARE(line, "\x1b-1DATE : " + expected + "\r\n");
    QCOMPARE(line.size() - 3 - 2, 33); // between the underline command and CR LF
}

void TestReceiptStream::defaultBody()
{
    const QString body = ReceiptStream::defaultBody();
    QCOMPARE(body.size(), 343);
    const QStringList lines = body.split(QStringLiteral("\r\n"));
    QCOMPARE(lines.size(), 12); // eleven lines, each ending in CR LF
    QVERIFY(lines.last().isEmpty());
    QCOMPARE(lines.at(7), QStringLiteral(" "));
    QCOMPARE(lines.at(4), QStringLiteral("6. CREAM SODA         *1   $5.25"));
    QCOMPARE(lines.at(10), QStringLiteral("CHANGE :                   $0.50"));
}

void TestReceiptStream::encodeBody_data()
{
    QTest::addColumn<QString>("codePage");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QByteArray>("expected");

    QTest::newRow("ASCII and controls unchanged")
        << "437" << QStringLiteral("A\tb\r\n~") << QByteArray("A\tb\r\n~");
    QTest::newRow("437 accents and box drawing")
        << "437" << QStringLiteral("é£─") << QByteArray("\x82\x9c\xc4");
    QTest::newRow("437 has no euro") << "437" << QStringLiteral("5€") << QByteArray("5?");
    QTest::newRow("850 accents") << "850" << QStringLiteral("éÀ") << QByteArray("\x82\xb7");
    QTest::newRow("858 euro") << "858" << QStringLiteral("€") << QByteArray("\xd5");
    QTest::newRow("1252 euro and accents")
        << "1252" << QStringLiteral("€é") << QByteArray("\x80\xe9");
    QTest::newRow("CJK is not on any page")
        << "1252" << QStringLiteral("a漢b") << QByteArray("a?b");
    QTest::newRow("character outside the BMP is one ?")
        << "850" << QStringLiteral("a😀b") << QByteArray("a?b");
}

void TestReceiptStream::encodeBody()
{
    QFETCH(QString, codePage);
    QFETCH(QString, text);
    QFETCH(QByteArray, expected);

    const auto selected = CodePage::fromName(codePage);
    QVERIFY(selected);
    const ReceiptStream stream(Pitch::Cpi15, text, SomeMoment, *selected);
    QCOMPARE(stream.serialChunks().at(4), "\x1b-0" + expected);
}

void TestReceiptStream::decodeReversesEncode_data()
{
    QTest::addColumn<QString>("codePage");
    for (const QString &name : CodePage::supportedNames())
        QTest::newRow(qPrintable(name)) << name;
}

void TestReceiptStream::decodeReversesEncode()
{
    QFETCH(QString, codePage);
    const CodePage selected = *CodePage::fromName(codePage);
    int defined = 0;
    for (int byte = 0; byte < 256; ++byte) {
        const QChar ch = selected.decode(static_cast<unsigned char>(byte));
        if (ch == QChar::ReplacementCharacter)
            continue;
        ++defined;
        QCOMPARE(selected.encode(QString(ch)), QByteArray(1, char(byte)));
    }
    QVERIFY2(defined >= 251, "a code page left too many bytes undefined");
}

void TestReceiptStream::codePageFromEnvironment_data()
{
    QTest::addColumn<QByteArray>("value");
    QTest::addColumn<QString>("page"); // empty: rejected

    QTest::newRow("unset") << QByteArray() << "437";
    QTest::newRow("850") << QByteArray("850") << "850";
    QTest::newRow("CP prefix") << QByteArray("cp858") << "858";
    QTest::newRow("1252") << QByteArray("1252") << "1252";
    QTest::newRow("unknown number") << QByteArray("866") << QString();
    QTest::newRow("a word") << QByteArray("utf-8") << QString();
}

void TestReceiptStream::codePageFromEnvironment()
{
    QFETCH(QByteArray, value);
    QFETCH(QString, page);

    if (!value.isNull())
        qputenv(CodePage::environmentVariable, value);
    const PrintSettings settings = PrintSettings::load();
    qunsetenv(CodePage::environmentVariable);

    const QString error = settings.failure().description;
    if (page.isEmpty()) {
        QVERIFY(!settings.codePage());
        QVERIFY(error.contains(QLatin1String("VR2710_CODEPAGE")));
        QVERIFY(error.contains(QString::fromLatin1(value)));
        QVERIFY(error.contains(QLatin1String("437, 850, 858 or 1252")));
    } else {
        QVERIFY(settings.codePage());
        QCOMPARE(settings.codePage()->name(), page);
        QVERIFY(error.isEmpty());
    }
}

QTEST_GUILESS_MAIN(TestReceiptStream)
#include "tst_receiptstream.moc"
