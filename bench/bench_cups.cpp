// SPDX-FileCopyrightText: 2026 The VR2710 Demo Developers
// SPDX-License-Identifier: MIT
// One default receipt through a private cupsd to the virtual printer, from start to "completed",
// side by side: this program's print-server connection, and `lp -o raw` followed by polling
// `lpstat` until the job is no longer listed. Rounds alternate between the two; medians.
//   bench_cups [ROUNDS]      (default 20)
#include "ports/printservermodule.h"
#include "protocol/receiptstream.h"
#include "tests/cupsserver.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTemporaryFile>

#include <algorithm>
#include <cstdio>

namespace {

double median(QList<double> values)
{
    std::sort(values.begin(), values.end());
    const qsizetype n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const int rounds = argc > 1 ? std::max(1, atoi(argv[1])) : 20;
    if (qEnvironmentVariableIsEmpty("VR2710_VIRTUAL_PRINTER"))
        qputenv("VR2710_VIRTUAL_PRINTER", VR2710_VIRTUAL_PRINTER);
    if (qEnvironmentVariableIsEmpty("VR2710_PRINT_SERVER_MODULE"))
        qputenv("VR2710_PRINT_SERVER_MODULE", VR2710_PRINT_SERVER_MODULE);

    PrivateCupsServer server;
    VirtualNetworkPrinter printer;
    if (!server.isRunning() || !printer.isRunning() ||
        !server.addRawQueue("VR2710", printer.socketUri())) {
        std::fprintf(stderr, "cannot start the private server or the printer: %s\n",
                     qPrintable(server.error()));
        return 1;
    }
    const ReceiptStream stream(Pitch::Cpi15, ReceiptStream::defaultBody(),
                               QDateTime::currentDateTime(),
                               *CodePage::fromName(QStringLiteral("437")));
    const QList<Chunk> chunks = stream.parallelChunks();
    const QByteArray bytes = ReceiptStream::join(chunks);
    QTemporaryFile file;
    if (!file.open() || file.write(bytes) != bytes.size() || !file.flush())
        return 1;

    QList<double> ours, lp;
    int received = 0;
    for (int round = 0; round < rounds; ++round) {
        QElapsedTimer timer;
        timer.start();
        StallBound stall;
        OpenedConnection opened = openPrintServerQueue(
            {"LPT1", server.queueUri("VR2710"), DeviceKind::PrinterDevice, {}, {}}, stall);
        LastError result = opened.failure;
        if (opened.connection) {
            for (const Chunk &chunk : chunks)
                opened.connection->write(chunk.bytes());
            result = opened.connection->close();
        }
        ours << timer.nsecsElapsed() / 1e6;
        if (result.isFailure()) {
            std::fprintf(stderr, "job failed: %s\n", qPrintable(result.description));
            return 1;
        }

        timer.restart();
        if (server.runClient("lp", {"-d", "VR2710", "-o", "raw", file.fileName()}) != 0)
            return 1;
        while (!server.jobsLeft("VR2710").isEmpty())
            ;
        lp << timer.nsecsElapsed() / 1e6;
        received += 2;
        if (!printer.waitForReceipts(received) || printer.receipts().last() != bytes) {
            std::fprintf(stderr, "the printer did not get the receipt byte for byte\n");
            return 1;
        }
    }
    std::printf("One receipt (%lld bytes) through a private cupsd, start to completed, "
                "median of %d rounds:\n",
                static_cast<long long>(bytes.size()), rounds);
    std::printf("  print-server connection:      %7.1f ms (min %.1f, max %.1f)\n", median(ours),
                *std::min_element(ours.begin(), ours.end()),
                *std::max_element(ours.begin(), ours.end()));
    std::printf("  lp -o raw, then lpstat polls: %7.1f ms (min %.1f, max %.1f)\n", median(lp),
                *std::min_element(lp.begin(), lp.end()), *std::max_element(lp.begin(), lp.end()));
    return 0;
}
