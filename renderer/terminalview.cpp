// SPDX-FileCopyrightText: 2026 The VR2710 Demo Developers
// SPDX-License-Identifier: MIT
#include "terminalview.h"

namespace {

const QString Reset = QStringLiteral("\x1b[0m");

QString styled(const PlacedCell &placed)
{
    const PrintedCell &cell = placed.cell;
    if (cell.isMarker())
        return QStringLiteral("\x1b[7m[%1]\x1b[27m").arg(cell.text);
    QString codes;
    if (cell.style.underline)
        codes += QStringLiteral("\x1b[4m");
    if (cell.style.doubleWidth)
        codes += QStringLiteral("\x1b[1m");
    const QString text = cell.style.doubleWidth ? cell.text + QLatin1Char(' ') : cell.text;
    return codes.isEmpty() ? text : codes + text + Reset;
}

} // namespace

QString terminalView(const PrintedReceipt &receipt, const PaperSpec &paper, bool ansi)
{
    QString out;
    for (const PlacedLine &line : layOut(receipt, paper)) {
        QString text;
        QString underline;
        bool anyUnderline = false;
        for (const PlacedCell &placed : line.cells) {
            if (ansi) {
                text += styled(placed);
                continue;
            }
            const QString plain =
                placed.cell.isMarker() ? QLatin1Char('[') + placed.cell.text + QLatin1Char(']')
                : placed.cell.style.doubleWidth ? placed.cell.text + QLatin1Char(' ')
                                                : placed.cell.text;
            text += plain;
            const bool underlined = !placed.cell.isMarker() && placed.cell.style.underline;
            underline += QString(plain.size(), underlined ? QLatin1Char('-') : QLatin1Char(' '));
            anyUnderline |= underlined;
        }
        out += text + QLatin1Char('\n');
        if (anyUnderline) {
            while (underline.endsWith(QLatin1Char(' ')))
                underline.chop(1);
            out += underline + QLatin1Char('\n');
        }
    }
    if (receipt.linesLeftOut > 0)
        out += QStringLiteral("(%1 more lines not shown; --raw keeps every byte)\n")
                   .arg(receipt.linesLeftOut);
    out += receipt.cut ? QStringLiteral("- - - - - - - - - - - - - - - - (cut)\n")
                       : QStringLiteral("(no form feed: the receipt was not cut)\n");
    return out;
}
