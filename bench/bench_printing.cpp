// SPDX-FileCopyrightText: 2026 The VR2710 Demo Developers
// SPDX-License-Identifier: MIT
// Timings of the receipt printing path: building the chunks, and whole jobs to a
// pseudo-terminal (drained at once by a reader thread) and to a regular file; the serial job
// also as the window runs it, its port work on a worker thread.
#include "job/printjob.h"
#include "tests/testsupport.h"
#include "ui/jobrunner.h"

#include <QApplication>
#include <QEventLoop>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <atomic>
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <thread>
#include <unistd.h>

namespace {

const QDateTime Moment(QDate(2026, 12, 7), QTime(9, 30, 0));

// A pseudo-terminal whose master side is read on its own thread as fast as data comes.
class DrainedPty
{
public:
    DrainedPty()
    {
        char name[256] = {};
        ::openpty(&m_master, &m_slave, name, nullptr, nullptr);
        m_path = name;
        m_reader = std::thread([this] {
            char buffer[4096];
            while (!m_stop) {
                pollfd entry{m_master, POLLIN, 0};
                if (::poll(&entry, 1, 50) > 0 && ::read(m_master, buffer, sizeof buffer) > 0)
                    continue;
            }
        });
    }
    ~DrainedPty()
    {
        m_stop = true;
        m_reader.join();
        ::close(m_master);
        ::close(m_slave);
    }
    QByteArray path() const { return m_path; }

private:
    int m_master = -1;
    int m_slave = -1;
    QByteArray m_path;
    std::atomic<bool> m_stop{false};
    std::thread m_reader;
};

void buildChunks(benchmark::State &state)
{
    const CodePage page = *CodePage::fromName(QStringLiteral("437"));
    const QString body = ReceiptStream::defaultBody();
    for (auto _ : state) {
        const ReceiptStream stream(Pitch::Cpi15, body, Moment, page);
        benchmark::DoNotOptimize(stream.serialChunks());
        benchmark::DoNotOptimize(stream.parallelChunks());
    }
}

// Runs whole jobs to the target, as a click on "Receipt 15 CPI" would; on a worker thread
// while this thread waits in an event loop, as the window runs them, where asked.
void runJobs(benchmark::State &state, const QString &selection, const QByteArray &target,
             bool onWorkerThread = false)
{
    const PrintRequest request{.portSelection = selection,
                               .settings = PrintSettings::withTargets({{selection, target}}),
                               .now = [] { return Moment; }};
    JobRunner runner;
    QEventLoop loop;
    PrintResult result;
    QObject::connect(&runner, &JobRunner::finished, &loop, [&](const PrintResult &outcome) {
        result = outcome;
        loop.quit();
    });
    for (auto _ : state) {
        if (onWorkerThread) {
            runner.start(request);
            loop.exec();
        } else {
            result = PrintJob::run(request);
        }
    }
    if (result.failed())
        state.SkipWithError(qPrintable(errorBoxText(result.lastError)));
}

void serialJobToPty(benchmark::State &state)
{
    DrainedPty pty;
    runJobs(state, QStringLiteral("COM1"), pty.path());
}

void serialJobToPtyOnWorkerThread(benchmark::State &state)
{
    DrainedPty pty;
    runJobs(state, QStringLiteral("COM1"), pty.path(), true);
}

void parallelJobToFile(benchmark::State &state)
{
    QTemporaryDir dir;
    runJobs(state, QStringLiteral("LPT1"),
            QFile::encodeName(dir.filePath(QStringLiteral("receipt.prn"))));
}

} // namespace

BENCHMARK(buildChunks);
BENCHMARK(serialJobToPty)->Unit(benchmark::kMillisecond);
BENCHMARK(serialJobToPtyOnWorkerThread)->Unit(benchmark::kMillisecond);
BENCHMARK(parallelJobToFile)->Unit(benchmark::kMicrosecond);

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
