// SPDX-FileCopyrightText: 2026 The VR2710 Demo Developers
// SPDX-License-Identifier: MIT
// The baseline the demo's start-up is held to: a window with the demo's content (its heading,
// port box, buttons and the sample body, in the same fonts and places) and nothing behind it:
// no print job, no ports, no settings.
#include "protocol/receiptstream.h"

#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>

namespace {

// At 96 dpi 15 twips make one logical pixel, as in the demo.
QRect fromTwips(int left, int top, int width, int height)
{
    return {qRound(left / 15.0), qRound(top / 15.0), qRound(width / 15.0), qRound(height / 15.0)};
}

template <typename Widget>
Widget *place(Widget *widget, const QRect &geometry, const QString &family, qreal points)
{
    QFont font(family);
    font.setPointSizeF(points);
    widget->setGeometry(geometry);
    widget->setFont(font);
    return widget;
}

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QWidget window;
    window.setWindowTitle(QStringLiteral("VR2710 Print Demo"));
    window.resize(fromTwips(0, 0, 7365, 4695).size());
    const QString serif = QStringLiteral("Times New Roman");
    place(new QLabel(QStringLiteral("    KORiVANT  VR-2710  DEMO Program"), &window),
          fromTwips(0, 120, 7332, 612), serif, 19.5);
    place(new QLabel(QStringLiteral("Port Setting:"), &window), fromTwips(0, 840, 1332, 372), serif,
          12);
    auto *ports = place(new QComboBox(&window), fromTwips(1440, 840, 1692, 360), serif, 12);
    ports->setEditable(true);
    ports->addItems({QStringLiteral("LPT1"), QStringLiteral("COM1"), QStringLiteral("COM2")});
    int left = 3360;
    for (const char *pitch : {"15", "12", "8"}) {
        place(new QPushButton(QStringLiteral("Receipt %1 CPI").arg(QLatin1String(pitch)), &window),
              fromTwips(left, 840, 855, 492), serif, 9.75);
        left += 840;
    }
    place(new QPushButton(QStringLiteral("Exit"), &window), fromTwips(6120, 840, 1092, 492), serif,
          12);
    auto *body = place(new QPlainTextEdit(&window), fromTwips(0, 1440, 7212, 3252),
                       QStringLiteral("Courier New"), 12);
    body->setPlainText(ReceiptStream::defaultBody().replace(QStringLiteral("\r\n"), "\n"));
    body->setLineWrapMode(QPlainTextEdit::NoWrap);
    window.show();
    return app.exec();
}
