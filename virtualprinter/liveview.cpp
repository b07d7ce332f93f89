// SPDX-FileCopyrightText: 2026 The VR2710 Demo Developers
// SPDX-License-Identifier: MIT
#include "liveview.h"

#include <QPaintEvent>
#include <QPainter>
#include <QScrollBar>

PaperView::PaperView(PaperSpec paper, QWidget *parent)
    : QWidget(parent)
    , m_renderer(paper)
    , m_paper(paper)
{
    setAttribute(Qt::WA_OpaquePaintEvent);
    resize(m_renderer.width(), paperHeight());
}

void PaperView::clear()
{
    m_lines.clear();
    m_open.clear();
    m_linesGone = 0;
    m_cut = false;
}

void PaperView::append(const PrintedLine &line)
{
    for (PlacedLine &placed : layOutLine(line, m_paper)) {
        if (qsizetype(m_lines.size()) == ReceiptImage::MaxLines) {
            m_lines.pop_front();
            ++m_linesGone;
        }
        m_lines.push_back(std::move(placed));
    }
}

void PaperView::follow(const PaperFeed &feed)
{
    if (feed.newReceipt)
        clear();
    m_linesGone += feed.linesSkipped;
    for (const PrintedLine &line : feed.lines)
        append(line);
    m_open =
        feed.openLine.cells.isEmpty() ? QList<PlacedLine>() : layOutLine(feed.openLine, m_paper);
    if (m_linesGone > 0)
        m_note = ReceiptImage::noteLine(
            QStringLiteral("%1 earlier lines scrolled away").arg(m_linesGone));
    m_cut = feed.ended && feed.cut;
}

qsizetype PaperView::rowCount() const
{
    return (m_linesGone > 0 ? 1 : 0) + qsizetype(m_lines.size()) + m_open.size();
}

const PlacedLine &PaperView::row(qsizetype index) const
{
    if (m_linesGone > 0 && index-- == 0)
        return m_note;
    if (index < qsizetype(m_lines.size()))
        return m_lines[size_t(index)];
    return m_open[index - qsizetype(m_lines.size())];
}

int PaperView::paperHeight() const
{
    return ReceiptImage::paperHeight(qMax<qsizetype>(rowCount(), 1));
}

void PaperView::paintEvent(QPaintEvent *event)
{
    QPainter painter(this);
    painter.fillRect(event->rect(), Qt::white);
    ReceiptImage::preparePainter(painter);
    if (rowCount() == 0) {
        painter.drawText(rect(), Qt::AlignCenter, QStringLiteral("Waiting for a receipt ..."));
        return;
    }
    m_renderer.paintPaper(
        painter, event->rect().top(), event->rect().bottom() + 1, rowCount(),
        [this](qsizetype i) -> const PlacedLine & { return row(i); }, m_cut);
}

LiveView::LiveView(PaperSpec paper, QWidget *parent)
    : QScrollArea(parent)
    , m_paper(new PaperView(paper))
{
    setWindowTitle(QStringLiteral("VR2710 virtual printer"));
    setWidget(m_paper);
    setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    setBackgroundRole(QPalette::Dark);
    resize(m_paper->width() + 40, 640);
    m_throttle.setSingleShot(true);
    m_throttle.setInterval(40);
    connect(&m_throttle, &QTimer::timeout, this, &LiveView::refresh);
}

void LiveView::follow(const QString &portName, const PaperFeed &feed)
{
    if (portName != m_portName) {
        m_paper->clear();
        m_portName = portName;
    }
    m_paper->follow(feed);
    m_printing = !feed.ended;
    if (!m_throttle.isActive())
        m_throttle.start();
}

void LiveView::refresh()
{
    setWindowTitle(QStringLiteral("VR2710 virtual printer - %1%2")
                       .arg(m_portName, m_printing ? QStringLiteral(" (printing)") : QString()));
    m_paper->resize(m_paper->width(), m_paper->paperHeight());
    m_paper->update(); // painted once per refresh, however many pieces came; only what is in view
    verticalScrollBar()->setValue(verticalScrollBar()->maximum()); // follow the paper out
}
