// SPDX-FileCopyrightText: 2026 The VR2710 Demo Developers
// SPDX-License-Identifier: MIT
#pragma once

#include "renderer/receiptimage.h"
#include "virtualprinter.h"

#include <QScrollArea>
#include <QTimer>

#include <deque>

// The paper as it comes out of the printer: the latest lines of the receipt being printed (or
// of the last one), drawn as the receipt's image draws them. It keeps the latest MaxLines
// lines and paints only those in view, so its cost follows what arrives, not the receipt's
// length.
class PaperView : public QWidget
{
    Q_OBJECT

public:
    explicit PaperView(PaperSpec paper, QWidget *parent = nullptr);

    // Takes what arrived; the owner repaints (update()) when it sees fit.
    void follow(const PaperFeed &feed);
    void clear();
    // The height the paper needs now.
    int paperHeight() const;

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    void append(const PrintedLine &line);
    qsizetype rowCount() const;
    const PlacedLine &row(qsizetype index) const;

    ReceiptImage m_renderer;
    PaperSpec m_paper;
    std::deque<PlacedLine> m_lines;
    QList<PlacedLine> m_open;  // the line under the head, as placed on the paper
    qsizetype m_linesGone = 0; // earlier lines of this receipt no longer kept
    PlacedLine m_note;
    bool m_cut = false;
};

// A window that shows the receipt being printed as it arrives, then the finished one.
class LiveView : public QScrollArea
{
    Q_OBJECT

public:
    explicit LiveView(PaperSpec paper, QWidget *parent = nullptr);

    void follow(const QString &portName, const PaperFeed &feed);

private:
    void refresh();

    PaperView *m_paper;
    QTimer m_throttle; // at most one layout and scroll per frame, however fast the bytes come
    QString m_portName;
    bool m_printing = false;
};
