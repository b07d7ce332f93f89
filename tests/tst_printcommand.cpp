// SPDX-FileCopyrightText: 2026 The VR2710 Demo Developers
// SPDX-License-Identifier: MIT
#include "cli/printcommand.h"
#include "cli/progressline.h"
#include "ports/uucplock.h"
#include "testsupport.h"

#include <QByteArrayList>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QProcess>
#include <QTemporaryDir>
#include <QTemporaryFile>
#include <QTest>
#include <QTextStream>

#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace {

// What the command, run in this process, wrote, and how it ended.
struct CommandRun
{
    int exitCode = -1;
    QString out;
    QString err;
};

CommandRun runCommand(const QByteArrayList &arguments, const PrintSettings &settings,
                      const QByteArray &input = {})
{
    CommandRun run;
    QTextStream out(&run.out);
    QTextStream err(&run.err);
    QTemporaryFile standardInput;
    if (standardInput.open() && standardInput.write(input) == input.size() && standardInput.seek(0))
        run.exitCode = PrintCommand({.out = out,
                                     .err = err,
                                     .standardInput = standardInput.handle(),
                                     .loadSettings = [&] { return settings; }})
                           .run(arguments);
    return run;
}

// vr2710-print on COM1 with a body far larger than a pseudo-terminal holds, whose reader never
// reads: the job stalls part-way, holding the line and its lock.
struct StalledJob
{
    PseudoTerminal pty;
    QTemporaryDir folder;
    QProcess print;

    StalledJob()
    {
        const QString body = folder.filePath(QStringLiteral("body.txt"));
        QFile file(body);
        const QByteArray line = QByteArray(79, 'x') + '\n';
        if (file.open(QIODevice::WriteOnly))
            file.write(line.repeated(2600)); // 208 kB
        file.close();
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("VR2710_COM1"), pty.slavePath());
        print.setProcessEnvironment(environment);
        print.start(qEnvironmentVariable("VR2710_PRINT"), {"--port", "COM1", "--body", body});
    }
    QString lockFile() const
    {
        return QFile::decodeName(UucpLock::defaultFolder() + '/' +
                                 UucpLock::lockFileName(QFile::encodeName(pty.slavePath())));
    }
};

} // namespace

class TestPrintCommand : public QObject
{
    Q_OBJECT

private slots:
    void commandLine_data();
    void commandLine();
    void body_data();
    void body();
    void command_data();
    void command();
    void stopSignalLeavesNoLock_data();
    void stopSignalLeavesNoLock();
    void stalledLineFailsWithinOneBound();
    void progressOnlyOnATerminal_data();
    void progressOnlyOnATerminal();
};

void TestPrintCommand::commandLine_data()
{
    QTest::addColumn<QByteArrayList>("arguments");
    QTest::addColumn<int>("exitCode"); // -1: prints
    QTest::addColumn<QString>("port");
    QTest::addColumn<QString>("pitch");
    QTest::addColumn<QByteArray>("body");

    using L = QByteArrayList;
    QTest::newRow("defaults") << L{} << -1 << "LPT1" << Pitch::Cpi15 << QByteArray();
    QTest::newRow("all options, both spellings") << L{"--port=COM2", "--pitch", "8", "--body", "-"}
                                                 << -1 << "COM2" << Pitch::Cpi8 << QByteArray("-");
    QTest::newRow("help") << L{"-h"} << 0 << ""
                          << "" << QByteArray();
    QTest::newRow("version") << L{"--version"} << 0 << ""
                             << "" << QByteArray();
    QTest::newRow("port in lower case") << L{"--port", "com1"} << 2 << ""
                                        << "" << QByteArray();
    QTest::newRow("pitch not offered") << L{"--pitch", "10"} << 2 << ""
                                       << "" << QByteArray();
    QTest::newRow("value missing") << L{"--body"} << 2 << ""
                                   << "" << QByteArray();
    QTest::newRow("empty body name") << L{"--body="} << 2 << ""
                                     << "" << QByteArray();
    QTest::newRow("unknown option") << L{"--baud", "9600"} << 2 << ""
                                    << "" << QByteArray();
    QTest::newRow("stray argument") << L{"receipt.txt"} << 2 << ""
                                    << "" << QByteArray();
}

void TestPrintCommand::commandLine()
{
    QFETCH(QByteArrayList, arguments);
    QFETCH(int, exitCode);
    QFETCH(QString, port);
    QFETCH(QString, pitch);
    QFETCH(QByteArray, body);

    const ParsedCommandLine parsed = parseCommandLine(arguments);
    if (exitCode >= 0) {
        QVERIFY(!parsed.request);
        QCOMPARE(parsed.exitCode, exitCode);
        // Usage errors go to standard error, asked-for texts to standard output.
        QCOMPARE(parsed.error.isEmpty(), exitCode == 0);
        QCOMPARE(parsed.output.isEmpty(), exitCode != 0);
        return;
    }
    QVERIFY(parsed.request);
    QCOMPARE(parsed.request->port, port);
    QCOMPARE(parsed.request->pitch, pitch);
    QCOMPARE(parsed.request->bodySource, body);
}

void TestPrintCommand::body_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("text"); // null: refused

    QTest::newRow("LF lines") << QByteArray("a\nb\n") << QStringLiteral("a\r\nb\r\n");
    QTest::newRow("CR LF lines kept") << QByteArray("a\r\nb") << QStringLiteral("a\r\nb");
    QTest::newRow("byte order mark dropped, UTF-8 decoded")
        << QByteArray("\xef\xbb\xbf\xc3\xa9\n") << QStringLiteral("é\r\n");
    QTest::newRow("not UTF-8") << QByteArray("caf\x82\n") << QString();
    QTest::newRow("cut inside a character") << QByteArray("caf\xc3") << QString();
}

void TestPrintCommand::body()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QString, text);

    const BodyText body = bodyFromBytes(bytes);
    if (text.isNull()) {
        QVERIFY(!body.text);
        QVERIFY2(body.error.contains(QLatin1String("not UTF-8")), qPrintable(body.error));
    } else {
        QCOMPARE(body.text, std::optional<QString>(text));
    }
}

void TestPrintCommand::command_data()
{
    QTest::addColumn<QByteArrayList>("arguments");
    QTest::addColumn<QByteArray>("input");
    QTest::addColumn<int>("exitCode"); // a job that ran would fail: LPT1 is missing
    QTest::addColumn<QString>("out");  // how standard output starts; empty: nothing there
    QTest::addColumn<QString>("err");  // the same for standard error

    using L = QByteArrayList;
    QTest::newRow("a failed job shows each line of its box")
        << L{} << QByteArray() << ExitCode::JobFailed << ""
        << "VR2710 Printing...LPT1\nError #  9001 was generated by LPT1 (/dev/vr2710-missing)\n"
           "The printer port is not open";
    QTest::newRow("a body that is not UTF-8 sends nothing")
        << L{"--body", "-"} << QByteArray("caf\x82\n") << ExitCode::UsageError << ""
        << "vr2710-print: standard input: the body is not UTF-8 text (byte offset 3).";
    QTest::newRow("help on standard output")
        << L{"--help"} << QByteArray() << ExitCode::Printed << "Usage: "
        << "";
}

void TestPrintCommand::command()
{
    QFETCH(QByteArrayList, arguments);
    QFETCH(QByteArray, input);
    QFETCH(int, exitCode);
    QFETCH(QString, out);
    QFETCH(QString, err);

    const CommandRun run = runCommand(
        arguments, settingsWith(PortNames::Lpt1, QByteArray("/dev/vr2710-missing")), input);
    QCOMPARE(run.exitCode, exitCode);
    const auto begins = [](const QString &text, const QString &start) {
        return start.isEmpty() ? text.isEmpty() : text.startsWith(start);
    };
    QVERIFY2(begins(run.out, out), qPrintable(run.out));
    QVERIFY2(begins(run.err, err), qPrintable(run.err));
    QVERIFY(!run.err.contains(QLatin1Char('\r')));
}

void TestPrintCommand::stopSignalLeavesNoLock_data()
{
    QTest::addColumn<int>("signal");
    QTest::newRow("SIGINT (Ctrl+C)") << int(SIGINT);
    QTest::newRow("SIGQUIT (Ctrl+\\)") << int(SIGQUIT);
    QTest::newRow("SIGTERM (kill)") << int(SIGTERM);
    QTest::newRow("SIGHUP (terminal closed)") << int(SIGHUP);
}

void TestPrintCommand::stopSignalLeavesNoLock()
{
    QFETCH(int, signal);
    if (UucpLock::defaultFolder().isEmpty() || ::access(UucpLock::defaultFolder(), W_OK) != 0)
        QSKIP("no writable lock folder: the job takes no lock here");
    StalledJob job;
    QVERIFY2(job.print.waitForStarted(), "set VR2710_PRINT to the built vr2710-print");
    QTRY_VERIFY_WITH_TIMEOUT(QFileInfo::exists(job.lockFile()), 5000);
    QTest::qWait(200); // the line has filled up: the job waits for the printer

    const qint64 pid = job.print.processId();
    QVERIFY(pid > 0 && job.print.state() == QProcess::Running);
    ::kill(pid_t(pid), signal);
    QElapsedTimer stopping;
    stopping.start();
    QVERIFY(job.print.waitForFinished(5000));
    QVERIFY2(stopping.elapsed() < 1000, QByteArray::number(stopping.elapsed()));
    QCOMPARE(job.print.exitStatus(), QProcess::NormalExit);
    QCOMPARE(job.print.exitCode(), 128 + signal);
    QVERIFY2(!QFileInfo::exists(job.lockFile()), qPrintable(job.lockFile()));
}

void TestPrintCommand::stalledLineFailsWithinOneBound()
{
    // The write that stalls costs the bound once: the later chunks and the drain before close
    // do not wait again.
    PseudoTerminal pty; // never read
    QElapsedTimer timer;
    timer.start();
    const CommandRun run = runCommand({"--port", "COM1", "--body", "-"},
                                      settingsWith(PortNames::Com1, pty.slavePath()),
                                      (QByteArray(79, 'x') + '\n').repeated(2600)); // 208 kB
    QCOMPARE(run.exitCode, ExitCode::JobFailed);
    QVERIFY2(timer.elapsed() >= 9000 && timer.elapsed() < 12000,
             QByteArray::number(timer.elapsed()));
    QVERIFY(run.err.contains("Error #  9002"));
}

void TestPrintCommand::progressOnlyOnATerminal_data()
{
    QTest::addColumn<bool>("terminal");
    QTest::newRow("standard error on a terminal") << true;
    QTest::newRow("standard error into a pipe") << false;
}

void TestPrintCommand::progressOnlyOnATerminal()
{
    QFETCH(bool, terminal);
    PseudoTerminal line;   // COM1, which takes the body only as this test reads it
    PseudoTerminal screen; // vr2710-print's standard error, where asked
    QTemporaryDir folder;
    const QString body = folder.filePath(QStringLiteral("body.txt"));
    QFile file(body);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write((QByteArray(39, 'x') + '\n').repeated(2500)); // more than the line holds
    file.close();

    QProcess print;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("VR2710_COM1"), line.slavePath());
    print.setProcessEnvironment(environment);
    const QByteArray screenPath = QFile::encodeName(screen.slavePath());
    if (terminal)
        print.setChildProcessModifier([screenPath] {
            const int fd = ::open(screenPath.constData(), O_RDWR | O_NOCTTY);
            ::dup2(fd, STDERR_FILENO);
        });
    print.start(qEnvironmentVariable("VR2710_PRINT"), {"--port", "COM1", "--body", body});
    QVERIFY(print.waitForStarted());
    QTest::qWait(int(ProgressLine::ShowAfterMs) + 500); // the job waits for the line meanwhile
    QCOMPARE(print.state(), QProcess::Running);
    const QByteArray printed = line.read(500);
    QVERIFY(print.waitForFinished(10000));
    QCOMPARE(print.exitCode(), ExitCode::Printed);
    QVERIFY(printed.endsWith('\f'));

    const QByteArray shown = terminal ? screen.read(200) : print.readAllStandardError();
    const QByteArray total = QLocale(QLocale::English).toString(printed.size()).toLatin1();
    QVERIFY2(shown.startsWith("VR2710 Printing ..."), shown.constData());
    // Rewritten in place: back to the start of the line, cleared, the bytes of the total.
    QCOMPARE(shown.contains("\r\x1b[K"), terminal);
    QVERIFY2(shown.contains("of " + total + " bytes sent, about ") == terminal, shown.constData());
}

QTEST_GUILESS_MAIN(TestPrintCommand)
#include "tst_printcommand.moc"
