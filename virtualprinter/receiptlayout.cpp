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

QList<PlacedLine> layOut(const PrintedReceipt &receipt, const PaperSpec &paper)
{
    // A hair of tolerance, so that a line exactly as wide as the paper is not broken by
    // rounding in the sum of its widths.
    const double limit = paper.printWidthInch() + 1e-9;
    QList<PlacedLine> placed;
    for (const PrintedLine &line : receipt.lines) {
        PlacedLine current;
        for (const PrintedCell &cell : line.cells) {
            const double width = cellWidthInch(cell);
            if (!current.cells.isEmpty() && current.width() + width > limit) {
                placed.append(std::move(current));
                current = {};
            }
            current.cells.append({cell, current.width(), width});
        }
        placed.append(std::move(current));
    }
    return placed;
}
