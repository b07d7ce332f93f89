// SPDX-FileCopyrightText: 2026 The VR2710 Demo Developers
// SPDX-License-Identifier: MIT
#pragma once

#include "receiptlayout.h"

#include <QImage>

#include <functional>
#include <memory>

class QPainter;

// Draws a receipt as the paper roll would show it: characters at their pitch, double width
// stretched, underlines, markers in colour, and a cut mark where a form feed ended it.
class ReceiptImage
{
public:
    static constexpr double DotsPerInch = 200.0;
    // Longer receipts are drawn up to here, with a note of what was left out; an image of a
    // receipt metres long would take gigabytes.
    static constexpr int MaxLines = int(PrintedReceipt::MaxKeptLines);
    static constexpr double TopMarginInch = 0.25;
    static constexpr double BottomMarginInch = 0.35;

    explicit ReceiptImage(PaperSpec paper = {});

    // The whole image at once (for small receipts and tests).
    QImage render(const PrintedReceipt &receipt) const;
    // Writes the image as PNG to `fd` a band at a time, so that memory stays small however
    // long the receipt; false with the errno in `error` when writing failed, or ECANCELED
    // when `giveUp` (asked between bands, if set) said so.
    bool writePng(const PrintedReceipt &receipt, int fd, const std::function<bool()> &giveUp,
                  int *error) const;

    // The pieces, for a view that draws the paper itself: the image's width, its height for
    // `lines` lines, and the paper's rows [top, bottom) with `count` lines on it (line i from
    // `line(i)`) and, when `cut`, the cut mark at its foot.
    int width() const { return pixels(m_paper.rollWidthInch()); }
    static int paperHeight(qsizetype lines);
    void paintPaper(QPainter &painter, int top, int bottom, qsizetype count,
                    const std::function<const PlacedLine &(qsizetype)> &line, bool cut) const;
    static void preparePainter(QPainter &painter);

    static constexpr double lineHeight() { return PaperSpec::LineHeightInch * DotsPerInch; }
    // Inches to image pixels.
    static int pixels(double inches) { return qRound(inches * DotsPerInch); }
    // A line that says how many lines were left out.
    static PlacedLine noteLine(const QString &text);

private:
    // The lines to draw, with the note where some were left out, and the image's height.
    struct Sheet
    {
        QList<PlacedLine> lines;
        int height = 0;
        bool cut = false;
    };
    Sheet sheetFor(const PrintedReceipt &receipt) const;
    // One line with its top `top` pixels down.
    void paintLine(QPainter &painter, const PlacedLine &line, double top) const;
    // Paints what of the sheet falls into the rows [top, top + rows) of the image.
    void paintRows(QImage &band, const Sheet &sheet, int top) const;

    class GlyphCache;
    PaperSpec m_paper;
    std::shared_ptr<GlyphCache> m_glyphs; // filled as it draws, hence shared by copies
};
