#include "receiptimage.h"

#include <QFontMetricsF>
#include <QPainter>
#include <QPainterPath>

namespace {

constexpr double TopMarginInch = 0.25;
constexpr double BottomMarginInch = 0.35;
const QColor Ink(20, 20, 30);
const QColor MarkerInk(200, 40, 40);

QFont printerFont()
{
    QFont font(QStringLiteral("Liberation Mono"));
    font.setStyleHint(QFont::Monospace);
    font.setPixelSize(ReceiptImage::pixels(PaperSpec::LineHeightInch * 0.72));
    return font;
}

QFont markerFont()
{
    QFont font(QStringLiteral("Liberation Sans"));
    font.setPixelSize(ReceiptImage::pixels(PaperSpec::LineHeightInch * 0.38));
    font.setBold(true);
    return font;
}

void drawCharacter(QPainter &painter, const PlacedCell &placed, double left, double baseline,
                   const QFontMetricsF &metrics)
{
    const double cellPixels = placed.width * ReceiptImage::DotsPerInch;
    const double advance = metrics.horizontalAdvance(placed.cell.text);
    painter.save();
    painter.translate(left, baseline);
    if (advance > 0)
        painter.scale(cellPixels / advance, 1.0); // the glyph fills its cell, as on paper
    painter.drawText(QPointF(0, 0), placed.cell.text);
    painter.restore();
    if (placed.cell.style.underline)
        painter.fillRect(QRectF(left, baseline + 3, cellPixels, 2.5), Ink);
}

void drawMarker(QPainter &painter, const PlacedCell &placed, double left, double top)
{
    const double lineHeight = PaperSpec::LineHeightInch * ReceiptImage::DotsPerInch;
    const QRectF box(left + 1, top + lineHeight * 0.18,
                     placed.width * ReceiptImage::DotsPerInch - 2, lineHeight * 0.55);
    painter.save();
    painter.setPen(QPen(MarkerInk, 1.5));
    painter.setBrush(QColor(255, 235, 235));
    painter.drawRoundedRect(box, 4, 4);
    painter.setFont(markerFont());
    painter.drawText(box, Qt::AlignCenter, placed.cell.text);
    painter.restore();
}

void drawCutMark(QPainter &painter, double y, int width)
{
    QPainterPath zigzag(QPointF(0, y));
    for (int x = 0; x <= width; x += 8)
        zigzag.lineTo(x, y + ((x / 8) % 2 ? 5 : 0));
    painter.setPen(QPen(QColor(150, 150, 150), 1.5, Qt::DashLine));
    painter.drawPath(zigzag);
}

} // namespace

QImage ReceiptImage::render(const PrintedReceipt &receipt) const
{
    QList<PlacedLine> lines = layOut(receipt, m_paper);
    if (lines.size() > MaxLines) {
        const qsizetype leftOut = lines.size() - (MaxLines - 1);
        lines.resize(MaxLines - 1);
        PrintedCell note{
            PrintedCell::Kind::Marker, QStringLiteral("%1 more lines not drawn").arg(leftOut), {}};
        lines.append(PlacedLine{{PlacedCell{note, 0, cellWidthInch(note)}}});
    }
    const double lineHeight = PaperSpec::LineHeightInch * DotsPerInch;
    const int width = pixels(m_paper.rollWidthInch());
    const int height = pixels(TopMarginInch + BottomMarginInch) + qCeil(lines.size() * lineHeight);

    QImage image(width, height, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::TextAntialiasing);
    const QFont font = printerFont();
    const QFontMetricsF metrics(font);
    painter.setFont(font);
    painter.setPen(Ink);

    const double left = m_paper.leftMarginInch() * DotsPerInch;
    double top = TopMarginInch * DotsPerInch;
    for (const PlacedLine &line : lines) {
        const double baseline = top + lineHeight * 0.78;
        for (const PlacedCell &placed : line.cells) {
            const double x = left + placed.x * DotsPerInch;
            if (placed.cell.isMarker())
                drawMarker(painter, placed, x, top);
            else
                drawCharacter(painter, placed, x, baseline, metrics);
        }
        top += lineHeight;
    }
    if (receipt.cut)
        drawCutMark(painter, height - pixels(BottomMarginInch) / 2.0, width);
    return image;
}
