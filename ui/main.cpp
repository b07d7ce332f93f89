// SPDX-FileCopyrightText: 2026 The VR2710 Demo Developers
// SPDX-License-Identifier: MIT
#include "form1.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    // One name for the launcher and the window: Wayland takes the window's app_id from the
    // desktop file name, X11 its WM_CLASS class from the application name.
    QApplication::setApplicationName(QStringLiteral("org.vr2710.Demo"));
    QGuiApplication::setDesktopFileName(QStringLiteral("org.vr2710.Demo"));
    Form1 window;
    window.show();
    return app.exec();
}
