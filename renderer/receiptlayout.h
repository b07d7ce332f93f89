// SPDX-FileCopyrightText: 2026 The VR2710 Demo Developers
// SPDX-License-Identifier: MIT
#pragma once

#include "printedreceipt.h"

// The paper: roll width and the printable width on it, in inches, and the line spacing.
struct PaperSpec
{
    static constexpr double DefaultRollWidthMm = 76.0;
    static constexpr double SideMarginMm = 2.0;
    static constexpr double MinRollWidthMm = 20.0;
    static constexpr double MaxRollWidthMm = 300.0;

    double rollWidthMm = DefaultRollWidthMm;

    double rollWidthInch() const { return rollWidthMm / 25.4; }
    double printWidthInch() const { return (rollWidthMm - 2 * SideMarginMm) / 25.4; }
    double leftMarginInch() const { return SideMarginMm / 25.4; }
    static constexpr double LineHeightInch = 1.0 / 6.0; // six lines per inch
};

// A cell with its place on the printed line, in inches from the left edge of the print area.
struct PlacedCell
{
    PrintedCell cell;
    double x = 0;
    double width = 0;
};

struct PlacedLine
{
    QList<PlacedCell> cells;
    double width() const { return cells.isEmpty() ? 0 : cells.last().x + cells.last().width; }
};

// How wide a cell prints: a character 1/cpi inch, twice that in double width; a marker the
// width of its small label.
double cellWidthInch(const PrintedCell &cell);

// Whether a cell of `width` still fits after `used` inches of the print area. A hair of
// tolerance, so that a line exactly as wide as the paper is not broken by rounding.
inline bool fitsOnLine(double used, double width, const PaperSpec &paper)
{
    return used + width <= paper.printWidthInch() + 1e-9;
}

// Places one line's cells on the paper. A line wider than the print area (a wide character
// printed over a narrow one) continues on the next line, as the printer's line buffer does.
QList<PlacedLine> layOutLine(const PrintedLine &line, const PaperSpec &paper);

// Places every kept line of the receipt.
QList<PlacedLine> layOut(const PrintedReceipt &receipt, const PaperSpec &paper);
