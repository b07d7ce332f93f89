// SPDX-FileCopyrightText: 2026 The VR2710 Demo Developers
// SPDX-License-Identifier: MIT
#include "receiptlayout.h"

namespace {
constexpr double MarkerCharInch = 1.0 / 20.0;
constexpr double MarkerPaddingInch = 1.0 / 25.0;
} // namespace

double cellWidthInch(const PrintedCell &cell)
{
    if (cell.isMarker())
        return cell.text.size() * MarkerCharInch + MarkerPaddingInch;
    return (cell.style.doubleWidth ? 2.0 : 1.0) / cell.style.cpi;
}

QList<PlacedLine> layOutLine(const PrintedLine &line, const PaperSpec &paper)
{
    QList<PlacedLine> placed;
    PlacedLine current;
    for (const PrintedCell &cell : line.cells) {
        const double width = cellWidthInch(cell);
        if (!current.cells.isEmpty() && !fitsOnLine(current.width(), width, paper)) {
            placed.append(std::move(current));
            current = {};
        }
        current.cells.append({cell, current.width(), width});
    }
    placed.append(std::move(current));
    return placed;
}

QList<PlacedLine> layOut(const PrintedReceipt &receipt, const PaperSpec &paper)
{
    QList<PlacedLine> placed;
    for (const PrintedLine &line : receipt.lines)
        placed += layOutLine(line, paper);
    return placed;
}
