// SPDX-FileCopyrightText: 2026 The VR2710 Demo Developers
// SPDX-License-Identifier: MIT
// Bounded random-input test of the virtual printer's decoder, layout and renderer, built
// with AddressSanitizer and UndefinedBehaviorSanitizer. Inputs lean towards the bytes the
// decoder cares about and towards damaged copies of a real receipt; every input is fed in
// random pieces. Any crash, sanitizer report or broken invariant fails the run.
//
// Usage: fuzz_receiptdecoder [iterations] [seed]
#include "protocol/receiptstream.h"
#include "renderer/receiptdecoder.h"
#include "renderer/receiptimage.h"

#include <QGuiApplication>

#include <cstdio>
#include <cstdlib>
#include <random>

namespace {

const unsigned char Interesting[] = {0x07, 0x0a, 0x0c, 0x0d, 0x0e, 0x14, 0x1b, 0x1b,
                                     0x1b, '-',  '0',  '1',  'M',  'P',  ':',  0x00,
                                     0x01, 0x7f, 0x80, 0xff, ' ',  'A'};

QByteArray randomInput(std::mt19937 &random, const QByteArray &receipt)
{
    std::uniform_int_distribution<int> kind(0, 2);
    std::uniform_int_distribution<int> anyByte(0, 255);
    std::uniform_int_distribution<int> pick(0, sizeof Interesting - 1);
    QByteArray input;
    if (kind(random) == 0) {
        // A real receipt with a few bytes changed, dropped or cut off.
        input = receipt;
        const int damage = std::uniform_int_distribution<int>(1, 8)(random);
        for (int i = 0; i < damage && !input.isEmpty(); ++i) {
            const int at = std::uniform_int_distribution<int>(0, input.size() - 1)(random);
            switch (kind(random)) {
            case 0:
                input[at] = char(Interesting[pick(random)]);
                break;
            case 1:
                input.remove(at, 1);
                break;
            default:
                input.truncate(at);
                break;
            }
        }
        return input;
    }
    const int length = std::uniform_int_distribution<int>(0, 700)(random);
    const bool skewed = kind(random) != 0;
    for (int i = 0; i < length; ++i)
        input.append(char(skewed && random() % 3 ? Interesting[pick(random)] : anyByte(random)));
    return input;
}

[[noreturn]] void broken(const char *what, unsigned seed, int iteration)
{
    std::fprintf(stderr, "invariant broken (%s) at seed %u, iteration %d\n", what, seed, iteration);
    std::exit(1);
}

} // namespace

int main(int argc, char *argv[])
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    const int iterations = argc > 1 ? std::atoi(argv[1]) : 3000;
    const unsigned seed = argc > 2 ? unsigned(std::strtoul(argv[2], nullptr, 10)) : 2710u;
    std::mt19937 random(seed);

    const CodePage page = *CodePage::fromName(QStringLiteral("1252")); // has undefined bytes
    const QByteArray receipt = ReceiptStream::join(
        ReceiptStream(Pitch::Cpi8, ReceiptStream::defaultBody(), QDateTime::currentDateTime(), page)
            .serialChunks());
    PaperSpec narrow;
    narrow.rollWidthMm = 20;
    // The most cells the line under the head may hold: as many of the narrowest as fit.
    const qsizetype mostCells = qCeil(PaperSpec().printWidthInch() * 15) + 1;

    for (int iteration = 0; iteration < iterations; ++iteration) {
        const QByteArray input = randomInput(random, receipt);
        ReceiptDecoder decoder(page);
        QList<PrintedReceipt> printed;
        for (qsizetype at = 0; at < input.size();) {
            const qsizetype piece = std::uniform_int_distribution<int>(1, 64)(random);
            printed += decoder.feed(input.mid(at, piece));
            at += piece;
            if (decoder.openLine().cells.size() > mostCells)
                broken("the line under the head outgrew the paper", seed, iteration);
        }
        if (auto pending = decoder.finish())
            printed << *pending;

        qint64 seen = 0;
        for (const PrintedReceipt &receipt : printed) {
            seen += receipt.byteCount;
            if (receipt.lines.size() > PrintedReceipt::MaxKeptLines)
                broken("more lines kept than the bound", seed, iteration);
            for (const PaperSpec &paper : {PaperSpec{}, narrow})
                for (const PlacedLine &line : layOut(receipt, paper))
                    if (line.cells.size() > 1 && line.width() > paper.printWidthInch() + 1e-9)
                        broken("a wrapped line is wider than the paper", seed, iteration);
            if (iteration % 40 == 0 && ReceiptImage().render(receipt).isNull())
                broken("no image", seed, iteration);
        }
        if (seen != input.size())
            broken("bytes lost or invented", seed, iteration);
    }
    std::printf("%d inputs decoded, laid out and (in part) rendered without a fault\n", iterations);
    return 0;
}
