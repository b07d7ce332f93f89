// SPDX-FileCopyrightText: 2026 The VR2710 Demo Developers
// SPDX-License-Identifier: MIT
#include "receiptimage.h"

#include "pngstreamwriter.h"

#include <QFontMetricsF>
#include <QHash>
#include <QPainter>
#include <QPainterPath>

#include <cerrno>

namespace {

constexpr int BandRows = 512; // image rows painted at a time when writing a PNG
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

void drawUnderline(QPainter &painter, const PlacedCell &placed, double left, double top)
{
    const double baseline = top + ReceiptImage::lineHeight() * 0.78;
    painter.fillRect(QRectF(left, baseline + 3, placed.width * ReceiptImage::DotsPerInch, 2.5),
                     Ink);
}

void drawMarker(QPainter &painter, const PlacedCell &placed, double left, double top)
{
    const double lineHeight = ReceiptImage::lineHeight();
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

// Each character is laid out and drawn once for its pitch and width, into a small image that
// is afterwards only copied: laying text out is most of what drawing a receipt costs.
class ReceiptImage::GlyphCache
{
public:
    static constexpr int Padding = 3; // for strokes that reach a little beyond their cell
    static constexpr qsizetype MostGlyphs = 600; // a code page's characters at every pitch

    const QImage &glyph(const PrintedCell &cell)
    {
        const QString key =
            cell.text + QChar(ushort(cell.style.cpi)) + QChar(cell.style.doubleWidth ? u'w' : u'n');
        const auto found = m_glyphs.constFind(key);
        if (found != m_glyphs.constEnd())
            return *found;
        if (m_glyphs.size() >= MostGlyphs)
            m_glyphs.clear();
        return *m_glyphs.insert(key, draw(cell));
    }

private:
    QImage draw(const PrintedCell &cell) const
    {
        const double cellPixels = cellWidthInch(cell) * DotsPerInch;
        QImage image(qCeil(cellPixels) + 2 * Padding, qCeil(lineHeight()) + 2 * Padding,
                     QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::transparent);
        QPainter painter(&image);
        preparePainter(painter);
        painter.translate(Padding, Padding + lineHeight() * 0.78);
        const double advance = m_metrics.horizontalAdvance(cell.text);
        if (advance > 0)
            painter.scale(cellPixels / advance, 1.0); // the glyph fills its cell, as on paper
        painter.drawText(QPointF(0, 0), cell.text);
        return image;
    }

    QFontMetricsF m_metrics{printerFont()};
    QHash<QString, QImage> m_glyphs;
};

ReceiptImage::ReceiptImage(PaperSpec paper)
    : m_paper(paper)
    , m_glyphs(std::make_shared<GlyphCache>())
{
}

PlacedLine ReceiptImage::noteLine(const QString &text)
{
    const PrintedCell note{PrintedCell::Kind::Marker, text, {}};
    return PlacedLine{{PlacedCell{note, 0, cellWidthInch(note)}}};
}

int ReceiptImage::paperHeight(qsizetype lines)
{
    return pixels(TopMarginInch + BottomMarginInch) + qCeil(lines * lineHeight());
}

ReceiptImage::Sheet ReceiptImage::sheetFor(const PrintedReceipt &receipt) const
{
    Sheet sheet;
    sheet.lines = layOut(receipt, m_paper);
    const qsizetype printed = sheet.lines.size() + receipt.linesLeftOut;
    if (printed > MaxLines) {
        sheet.lines.resize(MaxLines - 1);
        sheet.lines.append(
            noteLine(QStringLiteral("%1 more lines not drawn").arg(printed - (MaxLines - 1))));
    }
    sheet.height = paperHeight(sheet.lines.size());
    sheet.cut = receipt.cut;
    return sheet;
}

void ReceiptImage::preparePainter(QPainter &painter)
{
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::TextAntialiasing);
    painter.setFont(printerFont());
    painter.setPen(Ink);
}

void ReceiptImage::paintLine(QPainter &painter, const PlacedLine &line, double top) const
{
    const double left = m_paper.leftMarginInch() * DotsPerInch;
    for (const PlacedCell &placed : line.cells) {
        const double x = left + placed.x * DotsPerInch;
        if (placed.cell.isMarker()) {
            drawMarker(painter, placed, x, top);
            continue;
        }
        // Whole pixels: the copy stays sharp, and half a pixel at 200 dpi does not show.
        painter.drawImage(
            QPoint(qRound(x) - GlyphCache::Padding, qRound(top) - GlyphCache::Padding),
            m_glyphs->glyph(placed.cell));
        if (placed.cell.style.underline)
            drawUnderline(painter, placed, x, top);
    }
}

void ReceiptImage::paintPaper(QPainter &painter, int top, int bottom, qsizetype count,
                              const std::function<const PlacedLine &(qsizetype)> &line,
                              bool cut) const
{
    const double firstTop = TopMarginInch * DotsPerInch;
    // One line more on either side: a glyph's edge may reach into the next line's rows.
    const qsizetype first = qMax<qsizetype>(0, qFloor((top - firstTop) / lineHeight()) - 1);
    const qsizetype last = qMin<qsizetype>(count - 1, qCeil((bottom - firstTop) / lineHeight()));
    for (qsizetype i = first; i <= last; ++i)
        paintLine(painter, line(i), firstTop + i * lineHeight());
    if (cut)
        drawCutMark(painter, paperHeight(count) - pixels(BottomMarginInch) / 2.0, width());
}

void ReceiptImage::paintRows(QImage &band, const Sheet &sheet, int top) const
{
    band.fill(Qt::white);
    QPainter painter(&band);
    preparePainter(painter);
    painter.translate(0, -top);
    paintPaper(
        painter, top, top + band.height(), sheet.lines.size(),
        [&sheet](qsizetype i) -> const PlacedLine & { return sheet.lines.at(i); }, sheet.cut);
}

QImage ReceiptImage::render(const PrintedReceipt &receipt) const
{
    const Sheet sheet = sheetFor(receipt);
    QImage image(width(), sheet.height, QImage::Format_RGB32);
    paintRows(image, sheet, 0);
    return image;
}

bool ReceiptImage::writePng(const PrintedReceipt &receipt, int fd,
                            const std::function<bool()> &giveUp, int *error) const
{
    const Sheet sheet = sheetFor(receipt);
    PngStreamWriter png(fd, QSize(width(), sheet.height), DotsPerInch);
    QImage band(width(), BandRows, QImage::Format_RGB32);
    for (int top = 0; top < sheet.height && png.error() == 0; top += BandRows) {
        if (giveUp && giveUp()) {
            *error = ECANCELED;
            return false;
        }
        paintRows(band, sheet, top);
        png.append(band);
    }
    if (png.finish())
        return true;
    *error = png.error();
    return false;
}
