// SPDX-FileCopyrightText: 2026 The VR2710 Demo Developers
// SPDX-License-Identifier: MIT
// The baselines for the start-up benchmark, built like the demo: an empty Qt 6 window and,
// with WITH_LABEL, the same window showing one line of text (which loads the font stack).
#include <QApplication>
#include <QLabel>
#include <QWidget>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QWidget window;
    window.setWindowTitle(QStringLiteral("Bare Qt window"));
    window.resize(491, 313);
#ifdef WITH_LABEL
    new QLabel(QStringLiteral("One line of text"), &window);
#endif
    window.show();
    return app.exec();
}
