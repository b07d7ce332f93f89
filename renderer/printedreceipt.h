// SPDX-FileCopyrightText: 2026 The VR2710 Demo Developers
// SPDX-License-Identifier: MIT
#pragma once

#include <QList>
#include <QString>

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

// One line as it left the print head: never wider than the paper, except where a character
// printed over another one made it so.
struct PrintedLine
{
    QList<PrintedCell> cells;
};

// A receipt as far as it is kept for showing. However long the paper, only the first
// MaxKeptLines lines are kept; the others are counted, and the bytes only counted too (the
// raw bytes go to disk as they come, see RawSpool).
struct PrintedReceipt
{
    static constexpr qsizetype MaxKeptLines = 1000;

    QList<PrintedLine> lines;
    qsizetype linesLeftOut = 0; // lines printed after the first MaxKeptLines
    bool cut = false;           // ended by a form feed; otherwise the stream stopped before one
    qint64 byteCount = 0;       // how many bytes arrived for this receipt

    qsizetype linesPrinted() const { return lines.size() + linesLeftOut; }
};
