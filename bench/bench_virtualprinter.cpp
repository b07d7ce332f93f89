// Timings of the virtual printer: decoding and rendering the default receipt to PNG, and a
// whole receipt through the paced printer, from the job's start (what a click runs) to the
// receipt's image on disk.
#include "ports/parallelport.h"
#include "ports/serialport.h"
#include "receipt/printjob.h"
#include "tests/testsupport.h"
#include "virtualprinter/receiptimage.h"

#include <QBuffer>
#include <QDir>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>

#include <benchmark/benchmark.h>

namespace {

const CodePage Page437 = *CodePage::fromName(QStringLiteral("437"));

QByteArray defaultReceipt(const PitchCode &pitch)
{
    return ReceiptStream::join(
        ReceiptStream(pitch, ReceiptStream::defaultBody(), QDateTime::currentDateTime(), Page437)
            .serialChunks());
}

void decodeAndRenderPng(benchmark::State &state)
{
    const QByteArray bytes = defaultReceipt(Pitch::Cpi12);
    const ReceiptImage renderer;
    for (auto _ : state) {
        ReceiptDecoder decoder(Page437);
        const QList<PrintedReceipt> receipts = decoder.feed(bytes);
        QByteArray png;
        QBuffer buffer(&png);
        buffer.open(QIODevice::WriteOnly);
        renderer.render(receipts.first()).save(&buffer, "PNG");
        benchmark::DoNotOptimize(png);
    }
}

void pacedReceiptClickToImage(benchmark::State &state)
{
    QTemporaryDir folder;
    QProcess printer;
    printer.start(QStringLiteral(VR2710_VIRTUAL_PRINTER),
                  {"--ports", "COM1", "--quiet", "--output", folder.filePath("receipts"),
                   "--env-file", folder.filePath("env")});
    QElapsedTimer ready;
    ready.start();
    while (!QFile::exists(folder.filePath("env")) && ready.elapsed() < 10000)
        QThread::msleep(5);
    QFile env(folder.filePath("env"));
    if (!env.open(QIODevice::ReadOnly)) {
        state.SkipWithError("the virtual printer did not start");
        return;
    }
    qputenv("VR2710_COM1", env.readAll().trimmed().split('=').value(1));

    SerialPort serial;
    ParallelPort parallel;
    FakeWindow window;
    window.selection = QStringLiteral("COM1");
    PrintJob job(window, serial, parallel);
    const QDir receipts(folder.filePath("receipts"));
    qsizetype printed = 0;
    for (auto _ : state) {
        QElapsedTimer clock;
        clock.start();
        job.PrintReceipt(Pitch::Cpi12);
        ++printed;
        while (receipts.entryList({"*.png"}).size() < printed && clock.elapsed() < 10000)
            QThread::usleep(200);
        state.SetIterationTime(clock.nsecsElapsed() / 1e9);
    }
    // 430 bytes, 10 bits each, at 9600 baud.
    state.counters["line_time_ms"] = 430 * 10 * 1000.0 / 9600;
    printer.terminate();
    printer.waitForFinished();
}

} // namespace

BENCHMARK(decodeAndRenderPng)->Unit(benchmark::kMillisecond);
BENCHMARK(pacedReceiptClickToImage)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(5);

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
