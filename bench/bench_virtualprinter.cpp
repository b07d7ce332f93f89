// SPDX-FileCopyrightText: 2026 The VR2710 Demo Developers
// SPDX-License-Identifier: MIT
// The virtual printer: decoding and rendering the default receipt to PNG; a receipt through
// the paced printer from the job's start (what a click runs) to its image on disk; a long
// body through the paced printer with its live window, against the line time; the unpaced
// rate with the window; and the resident memory for a long stream, with and without form
// feeds, with and without the window.
//
// The window is a real X11 window where DISPLAY is set (bench/run.sh runs this on a private
// Xvfb display), off screen otherwise. Sizes can be made smaller for a quick run:
//   VR2710_BENCH_PACED_KB   body of the paced run (default 1024)
//   VR2710_BENCH_MEMORY_MB  stream of each memory run (default 1024 without form feeds, 256
//                           with one every 4 MiB)
#include "job/printjob.h"
#include "ports/parallelport.h"
#include "ports/serialport.h"
#include "renderer/receiptdecoder.h"
#include "renderer/receiptimage.h"
#include "tests/testsupport.h"

#include <QDir>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>

#include <benchmark/benchmark.h>

#include <random>
#include <sys/mman.h>
#include <unistd.h>

namespace {

const CodePage Page437 = *CodePage::fromName(QStringLiteral("437"));
QString childPlatform; // what the printer's window runs on

qint64 setting(const char *variable, qint64 fallback)
{
    bool ok = false;
    const qint64 value = qEnvironmentVariable(variable).toLongLong(&ok);
    return ok && value > 0 ? value : fallback;
}

QByteArray defaultReceipt(const PitchCode &pitch)
{
    return ReceiptStream::join(
        ReceiptStream(pitch, ReceiptStream::defaultBody(), QDateTime::currentDateTime(), Page437)
            .serialChunks());
}

// A body of about `bytes` bytes of receipt lines.
QString longBody(qint64 bytes)
{
    const QString line = QStringLiteral("1. SODA POP           *1   $3.25\r\n");
    return line.repeated(qMax<qint64>(1, bytes / line.size()));
}

// The printer as a child process, started with its env file in a scratch folder.
class PrinterRun
{
public:
    explicit PrinterRun(const QStringList &options)
    {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("QT_QPA_PLATFORM"), childPlatform);
        m_process.setProcessEnvironment(environment);
        m_process.setStandardOutputFile(QProcess::nullDevice());
        m_process.start(
            qEnvironmentVariable("VR2710_VIRTUAL_PRINTER", QStringLiteral(VR2710_VIRTUAL_PRINTER)),
            QStringList{"--quiet", "--output", receipts(), "--env-file", m_folder.filePath("env")} +
                options);
        QElapsedTimer waited;
        waited.start();
        while (!QFile::exists(m_folder.filePath("env")) && waited.elapsed() < 10000 &&
               m_process.state() != QProcess::NotRunning)
            QThread::msleep(5);
        QFile env(m_folder.filePath("env"));
        if (env.open(QIODevice::ReadOnly))
            for (const QByteArray &line : env.readAll().split('\n'))
                if (line.contains('='))
                    qputenv(line.left(line.indexOf('=')), line.mid(line.indexOf('=') + 1));
    }
    ~PrinterRun()
    {
        m_process.terminate();
        m_process.waitForFinished();
        qunsetenv("VR2710_COM1");
        qunsetenv("VR2710_LPT1");
    }

    bool ready() const { return QFile::exists(m_folder.filePath("env")); }
    QString receipts() const { return m_folder.filePath("receipts"); }
    QStringList images() const { return QDir(receipts()).entryList({"*.png"}, QDir::Files); }
    bool waitForImages(qsizetype count, qint64 timeoutMs) const
    {
        QElapsedTimer waited;
        waited.start();
        while (images().size() < count && waited.elapsed() < timeoutMs)
            QThread::usleep(500);
        return images().size() >= count;
    }
    QByteArray raw(const QString &image) const
    {
        QFile file(QDir(receipts()).filePath(QString(image).replace(".png", ".bin")));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }
    // "VmRSS" or "VmHWM" of the printer, in MiB.
    double memoryMiB(const char *field) const
    {
        QFile status(QStringLiteral("/proc/%1/status").arg(m_process.processId()));
        if (!status.open(QIODevice::ReadOnly))
            return -1;
        for (const QByteArray &line : status.readAll().split('\n'))
            if (line.startsWith(field))
                return line.mid(line.indexOf(':') + 1).trimmed().split(' ').first().toDouble() /
                       1024.0;
        return -1;
    }

private:
    QTemporaryDir m_folder;
    QProcess m_process;
};

// The demo's print job with COM1 selected, as a click on a receipt button runs it; COM1 is the
// printer's, from the environment its env file set.
struct Com1PrintJob
{
    QString body = ReceiptStream::defaultBody();

    PrintResult print(const PitchCode &pitch) const
    {
        return PrintJob::run({.portSelection = QStringLiteral("COM1"),
                              .pitch = pitch,
                              .body = body,
                              .settings = PrintSettings::load()});
    }
};

// Whether the printer came up; the benchmark is skipped with the reason if not.
bool started(const PrinterRun &printer, benchmark::State &state)
{
    const bool ready = printer.ready();
    if (!ready)
        state.SkipWithError("the virtual printer did not start");
    return ready;
}

void decodeAndRenderPng(benchmark::State &state)
{
    const QByteArray bytes = defaultReceipt(Pitch::Cpi12);
    const ReceiptImage renderer;
    const int file = ::memfd_create("receipt.png", MFD_CLOEXEC);
    for (auto _ : state) {
        ReceiptDecoder decoder(Page437);
        const QList<PrintedReceipt> receipts = decoder.feed(bytes);
        ::ftruncate(file, 0);
        ::lseek(file, 0, SEEK_SET);
        int error = 0;
        if (!renderer.writePng(receipts.first(), file, {}, &error))
            state.SkipWithError("the PNG was not written");
    }
    ::close(file);
}

void pacedReceiptClickToImage(benchmark::State &state)
{
    PrinterRun printer({"--ports", "COM1"});
    if (!started(printer, state))
        return;
    Com1PrintJob demo;
    qsizetype printed = 0;
    for (auto _ : state) {
        QElapsedTimer clock;
        clock.start();
        demo.print(Pitch::Cpi12);
        printer.waitForImages(++printed, 10000);
        state.SetIterationTime(clock.nsecsElapsed() / 1e9);
    }
    // 430 bytes, 10 bits each, at 9600 baud.
    state.counters["line_time_ms"] = 430 * 10 * 1000.0 / 9600;
}

// A long body from the demo's print job through COM1 at 9600 baud, the live window on: it has
// to arrive in its line time, and whole.
void pacedLongBodyWithWindow(benchmark::State &state)
{
    PrinterRun printer({"--ports", "COM1", "--window", "--raw"});
    if (!started(printer, state))
        return;
    Com1PrintJob demo;
    demo.body = longBody(setting("VR2710_BENCH_PACED_KB", 1024) * 1024);
    for (auto _ : state) {
        QElapsedTimer clock;
        clock.start();
        if (demo.print(Pitch::Cpi12).failed() || !printer.waitForImages(1, 3600 * 1000)) {
            state.SkipWithError("the receipt did not arrive");
            return;
        }
        state.SetIterationTime(clock.nsecsElapsed() / 1e9);
        const QByteArray received = printer.raw(printer.images().first());
        if (received != expectedSerialReceipt(received, Pitch::Cpi12, demo.body)) {
            state.SkipWithError("the receipt did not arrive whole");
            return;
        }
        const double lineTime = received.size() * 10.0 / 9600;
        state.counters["bytes"] = double(received.size());
        state.counters["line_time_s"] = lineTime;
        state.counters["over_line_time_pct"] =
            (clock.nsecsElapsed() / 1e9 / lineTime - 1.0) * 100.0;
    }
}

// Receipt lines as fast as they come through LPT1, the live window on.
void unpacedRateWithWindow(benchmark::State &state)
{
    PrinterRun printer({"--ports", "LPT1", "--window", "--no-pacing"});
    if (!started(printer, state))
        return;
    const QByteArray body = Page437.encode(longBody(16 << 20)) + '\x0c';
    qsizetype printed = 0;
    for (auto _ : state) {
        QElapsedTimer clock;
        clock.start();
        ParallelPort port(PrintSettings::load());
        port.open(QStringLiteral("LPT1"));
        for (qsizetype at = 0; at < body.size(); at += 1 << 20)
            port.print(body.mid(at, 1 << 20), false);
        port.close();
        if (!printer.waitForImages(++printed, 600 * 1000)) {
            state.SkipWithError("the receipt did not arrive");
            return;
        }
        state.SetIterationTime(clock.nsecsElapsed() / 1e9);
        const double rate = body.size() / (clock.nsecsElapsed() / 1e9);
        state.counters["bytes_per_s"] = rate;
        state.counters["times_9600_baud"] = rate / 960.0;
    }
}

// Random bytes at every pitch (a pitch command every 4 KB), with a form feed every `cutEvery`
// bytes or none at all (0).
QByteArray streamPiece(std::mt19937 &random, qint64 size, qint64 cutEvery, qint64 *sinceCut)
{
    static const QByteArray pitches[] = {"\x1bM", "\x1bP", "\x1b:"};
    QByteArray piece(size, Qt::Uninitialized);
    for (qint64 i = 0; i < size; ++i) {
        char byte = char(random() & 0xff);
        if (byte == '\x0c')
            byte = 'x';
        piece[i] = byte;
    }
    for (qint64 at = 0; at + 2 < size; at += 4096)
        piece.replace(at, 2, pitches[(at / 4096) % 3]);
    if (cutEvery > 0)
        for (qint64 at = cutEvery - *sinceCut - 1; at < size; at += cutEvery)
            piece[at] = '\x0c';
    if (cutEvery > 0)
        *sinceCut = (*sinceCut + size) % cutEvery;
    return piece;
}

// The printer's resident memory while a long stream goes through LPT1 unpaced: VmRSS after each
// quarter of it, and the peak (VmHWM) at the end.
void residentMemory(benchmark::State &state)
{
    const bool window = state.range(0) != 0;
    const qint64 cutEvery = state.range(1) << 20;
    const qint64 quarter = setting("VR2710_BENCH_MEMORY_MB", state.range(2)) / 4 << 20;
    QStringList options{"--ports", "LPT1", "--no-pacing"};
    if (window)
        options << "--window";
    PrinterRun printer(options);
    if (!started(printer, state))
        return;
    std::mt19937 random(2710);
    constexpr qint64 Piece = 1 << 20;
    for (auto _ : state) {
        PortSystem system;
        system.stallLimit = std::chrono::minutes(10); // a receipt image may be under way
        ParallelPort port(PrintSettings::load(), system);
        port.open(QStringLiteral("LPT1"));
        qint64 sinceCut = 0;
        for (int part = 1; part <= 4; ++part) {
            for (qint64 sent = 0; sent < quarter; sent += Piece)
                if (port.print(streamPiece(random, Piece, cutEvery, &sinceCut), false)
                        .isFailure()) {
                    state.SkipWithError("the printer stopped taking data");
                    return;
                }
            state.counters["rss_after_" + std::to_string(part) + "_of_4_mib"] =
                printer.memoryMiB("VmRSS");
        }
        port.print("\x0c", false);
        port.close();
        const qint64 receipts = cutEvery > 0 ? 4 * quarter / cutEvery + 1 : 1;
        if (!printer.waitForImages(receipts, 600 * 1000))
            state.SkipWithError("not every receipt was printed");
        state.counters["fed_mib"] = double(4 * quarter >> 20);
        state.counters["peak_rss_mib"] = printer.memoryMiB("VmHWM");
    }
}

} // namespace

BENCHMARK(decodeAndRenderPng)->Unit(benchmark::kMillisecond);
BENCHMARK(pacedReceiptClickToImage)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(5);
BENCHMARK(pacedLongBodyWithWindow)->Unit(benchmark::kSecond)->UseManualTime()->Iterations(1);
BENCHMARK(unpacedRateWithWindow)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(3);
// {window, a form feed every N MiB (0: none), MiB fed}
BENCHMARK(residentMemory)
    ->ArgNames({"window", "cut_every_mib", "mib"})
    ->Args({0, 0, 1024})
    ->Args({1, 0, 1024})
    ->Args({0, 4, 256})
    ->Args({1, 4, 256})
    ->Unit(benchmark::kSecond)
    ->Iterations(1);

int main(int argc, char **argv)
{
    childPlatform = qEnvironmentVariableIsEmpty("DISPLAY") ? QStringLiteral("offscreen")
                                                           : QStringLiteral("xcb");
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::AddCustomContext("printer_window", childPlatform.toStdString());
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
