#pragma once

#include "receiptlayout.h"

#include <QImage>

// Draws a receipt as the paper roll would show it: characters at their pitch, double width
// stretched, underlines, markers in colour, and a cut mark where a form feed ended it.
class ReceiptImage
{
public:
    static constexpr double DotsPerInch = 200.0;
    // Longer receipts are drawn up to here, with a note of what was left out; an image of a
    // receipt metres long would take gigabytes.
    static constexpr int MaxLines = 1000;

    explicit ReceiptImage(PaperSpec paper = {})
        : m_paper(paper)
    {
    }

    QImage render(const PrintedReceipt &receipt) const;
    // Inches to image pixels.
    static int pixels(double inches) { return qRound(inches * DotsPerInch); }

private:
    PaperSpec m_paper;
};
