#pragma once

#include "receipt/codepage.h"

#include <QByteArray>
#include <QList>
#include <QString>

#include <optional>

// How the printer prints a character: pitch in characters per inch, double width, underline.
struct PrintStyle
{
    int cpi = 12;
    bool doubleWidth = false;
    bool underline = false;

    bool operator==(const PrintStyle &) const = default;
};

// One thing on a printed line: a character, or a marker that makes visible what the printer
// was sent but does not print (the bell, an unknown control byte or escape sequence).
struct PrintedCell
{
    enum class Kind { Character, Marker };

    Kind kind = Kind::Character;
    QString text; // the character, or the marker's label ("BEL", "1A", "ESC 41")
    PrintStyle style;

    bool isMarker() const { return kind == Kind::Marker; }
    bool operator==(const PrintedCell &) const = default;
};

struct PrintedLine
{
    QList<PrintedCell> cells;
};

struct PrintedReceipt
{
    QList<PrintedLine> lines;
    bool cut = false; // ended by a form feed; otherwise the stream stopped before one
    QByteArray bytes; // exactly what arrived for this receipt
};

// Turns the bytes a VR2710 receives into printed lines: BEL, ESC M/P/: (15/12/8 cpi),
// SO/DC4 (double width, also ended by the line end), ESC - 1/0 (underline, also 01h/00h),
// CR, LF and FF (end of receipt and cut). Anything else is shown as a marker where it came.
// Bytes may arrive in pieces of any size; an escape sequence may be split between them.
class ReceiptDecoder
{
public:
    explicit ReceiptDecoder(CodePage codePage);

    // Decodes the bytes; returns the receipts that a form feed among them completed.
    QList<PrintedReceipt> feed(const QByteArray &bytes);
    // The receipt printed so far, its open line included.
    PrintedReceipt current() const;
    bool hasPendingData() const { return !m_receipt.bytes.isEmpty(); }
    // The stream has ended: returns what was pending as an uncut receipt, with an unfinished
    // escape sequence shown as a marker; nullopt when nothing was pending.
    std::optional<PrintedReceipt> finish();

private:
    enum class State { Text, Escape, EscapeDash };

    void decode(unsigned char byte, QList<PrintedReceipt> &completed);
    void put(PrintedCell cell);
    void putMarker(const QString &label);
    void endLine();

    CodePage m_codePage;
    State m_state = State::Text;
    PrintStyle m_style;
    PrintedReceipt m_receipt;
    PrintedLine m_line;
    qsizetype m_column = 0; // where the next cell goes; CR moves it back to 0
};
