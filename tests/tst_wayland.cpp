// SPDX-FileCopyrightText: 2026 The VR2710 Demo Developers
// SPDX-License-Identifier: MIT
// The window on a native Wayland compositor: the status caption must reach the compositor
// while a job runs, not when it is over. The compositor's log shows what reached it.
#include "testsupport.h"
#include "ui/mainwindow.h"

#include <QComboBox>
#include <QDeadlineTimer>
#include <QFile>
#include <QGuiApplication>
#include <QPlainTextEdit>
#include <QTest>

namespace {

QByteArray compositorLog()
{
    QFile log(qEnvironmentVariable("VR2710_WESTON_LOG"));
    return log.open(QIODevice::ReadOnly) ? log.readAll() : QByteArray();
}

// The last title the window asked the compositor for.
QByteArray lastTitle()
{
    const QByteArray log = compositorLog();
    const qsizetype request = log.lastIndexOf("set_title(\"");
    if (request < 0)
        return {};
    const qsizetype start = request + qstrlen("set_title(\"");
    return log.mid(start, log.indexOf("\")", start) - start);
}

} // namespace

class TestWayland : public QObject
{
    Q_OBJECT

private slots:
    void statusCaptionReachesTheCompositorDuringAJob();
};

void TestWayland::statusCaptionReachesTheCompositorDuringAJob()
{
    QCOMPARE(QGuiApplication::platformName(), QStringLiteral("wayland"));
    QVERIFY2(!qEnvironmentVariableIsEmpty("VR2710_WESTON_LOG"), "run under run-in-weston.sh");
    PseudoTerminal pty;
    writeSettingsFile({{"COM1", QFile::encodeName(pty.slavePath())}});
    MainWindow form;
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    QTRY_COMPARE(lastTitle(), QByteArray("VR2710 Print Demo Program"));

    // More than the pseudo-terminal holds: the job waits until this test reads.
    form.findChild<QPlainTextEdit *>(QStringLiteral("bodyBox"))
        ->setPlainText(QString(40000, QLatin1Char('x')));
    form.findChild<QComboBox *>(QStringLiteral("portBox"))->setCurrentText(QStringLiteral("COM1"));
    form.printReceipt(Pitch::Cpi15);
    // The job cannot end before this reads: the status must reach the compositor meanwhile.
    const bool printingMeanwhile = form.isPrinting();
    bool statusSeenDuringJob = false;
    QDeadlineTimer deadline(5000); // well inside the job's 10 s stall bound
    while (!(statusSeenDuringJob = lastTitle() == "VR2710 Printing ...") && !deadline.hasExpired())
        QTest::qWait(20);
    pty.read(500, 30000);

    QVERIFY(printingMeanwhile);
    QVERIFY2(statusSeenDuringJob, compositorLog().right(2000).constData());
    QTRY_COMPARE(lastTitle(), QByteArray("VR2710 Print Demo Program"));
}

QTEST_MAIN(TestWayland)
#include "tst_wayland.moc"
