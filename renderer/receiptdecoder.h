// SPDX-FileCopyrightText: 2026 The VR2710 Demo Developers
// SPDX-License-Identifier: MIT
#pragma once

#include "protocol/codepage.h"
#include "receiptlayout.h"

#include <QByteArray>

#include <array>
#include <optional>

// Follows the paper as the decoder moves it: every line as it leaves the print head (whether
// the receipt keeps it or not) and every end of a receipt.
class PaperObserver
{
public:
    virtual ~PaperObserver() = default;
    virtual void lineFed(const PrintedLine &line) = 0;
    virtual void receiptEnded(bool cut) = 0;
};

// Turns the bytes a VR2710 receives into printed lines: BEL, ESC M/P/: (15/12/8 cpi),
// SO/DC4 (double width, also ended by the line end), ESC - 1/0 (underline, also 01h/00h),
// CR, LF and FF (end of receipt and cut). Anything else is shown as a marker where it came.
// Bytes may arrive in pieces of any size; an escape sequence may be split between them.
//
// Like the printer's line buffer, a line that reaches the paper's width is printed and the
// next character starts a new line; a CR returns to the start of the line under the head.
// So memory stays bounded whatever arrives: one line, and the first MaxKeptLines of a receipt.
class ReceiptDecoder
{
public:
    explicit ReceiptDecoder(CodePage codePage, PaperSpec paper = {});

    // Tells `observer` (or nobody, with nullptr) about every line and receipt end from now on.
    void setObserver(PaperObserver *observer) { m_observer = observer; }
    // Decodes the bytes; returns the receipts that a form feed among them completed.
    QList<PrintedReceipt> feed(const QByteArray &bytes);
    // The receipt so far: the lines fed, without the one under the head.
    const PrintedReceipt &pending() const { return m_receipt; }
    // The line under the print head.
    const PrintedLine &openLine() const { return m_line; }
    bool hasPendingData() const { return m_receipt.byteCount > 0; }
    // The stream has ended: returns what was pending as an uncut receipt, with an unfinished
    // escape sequence shown as a marker; nullopt when nothing was pending.
    std::optional<PrintedReceipt> finish();

private:
    enum class State { Text, Escape, EscapeDash };

    void decode(unsigned char byte, QList<PrintedReceipt> &completed);
    void put(const PrintedCell &cell);
    void putMarker(const QString &label);
    void feedLine();
    void endLine();

    PaperSpec m_paper;
    std::array<QString, 256> m_characters; // each byte's character, made once and shared
    PaperObserver *m_observer = nullptr;
    State m_state = State::Text;
    PrintStyle m_style;
    PrintedReceipt m_receipt;
    PrintedLine m_line;
    double m_lineWidth = 0; // inches the line under the head takes
    qsizetype m_column = 0; // where the next cell goes; CR moves it back to 0
};
