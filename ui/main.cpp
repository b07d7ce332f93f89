// SPDX-FileCopyrightText: 2026 The VR2710 Demo Developers
// SPDX-License-Identifier: MIT
#include "mainwindow.h"

#include "stopsignals/stopsignals.h"

#include <QApplication>
#include <QSocketNotifier>

#include <memory>

int main(int argc, char *argv[])
{
    // Ctrl+C or kill during a job must not leave the port's lock behind.
    const int stopSignals = StopSignals::handle();
    QApplication app(argc, argv);
    // One name for the launcher and the window: Wayland takes the window's app_id from the
    // desktop file name, X11 its WM_CLASS class from the application name.
    QApplication::setApplicationName(QStringLiteral("org.vr2710.Demo"));
    QGuiApplication::setDesktopFileName(QStringLiteral("org.vr2710.Demo"));
    MainWindow window;
    std::unique_ptr<QSocketNotifier> onStop;
    if (stopSignals >= 0) {
        onStop = std::make_unique<QSocketNotifier>(stopSignals, QSocketNotifier::Read);
        QObject::connect(onStop.get(), &QSocketNotifier::activated, &window, [&] {
            onStop->setEnabled(false);
            window.endOnStopSignal();
        });
    }
    window.show();
    const int status = app.exec();
    // Ended by a signal: the shell's convention, 128 + the signal's number.
    return StopSignals::received() != 0 ? 128 + StopSignals::received() : status;
}
