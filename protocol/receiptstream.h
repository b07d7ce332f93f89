// SPDX-FileCopyrightText: 2026 The VR2710 Demo Developers
// SPDX-License-Identifier: MIT
#pragma once

#include "codepage.h"

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QString>

#include <functional>

// One character that selects the pitch: "M" 15, "P" 12 and ":" 8 characters per inch.
// Any other text is sent as it stands.
using PitchCode = QString;

namespace Pitch {
inline const PitchCode Cpi15 = QStringLiteral("M");
inline const PitchCode Cpi12 = QStringLiteral("P");
inline const PitchCode Cpi8 = QStringLiteral(":");
} // namespace Pitch

// Where a job reads the date and time of its date line; tests pass a fixed one.
using DateTimeSource = std::function<QDateTime()>;
QDateTime systemDateTime();

// One print operation on the parallel port: the text, and whether CR LF follows it.
struct Chunk
{
    QByteArray text;
    bool lineEnd = false;

    QByteArray bytes() const { return lineEnd ? text + "\r\n" : text; }
    bool operator==(const Chunk &) const = default;
};

// The demonstration receipt, byte for byte: built once per job from the pitch code, the body,
// one reading of the clock and the code page for the body.
class ReceiptStream
{
public:
    ReceiptStream(const PitchCode &pitchCode, const QString &body, const QDateTime &now,
                  const CodePage &codePage);

    // The nine serial writes S1..S9, in order.
    QList<QByteArray> serialChunks() const;
    // The eight parallel print operations P1..P8, in order.
    QList<Chunk> parallelChunks() const;

    // The whole stream as it reaches the device.
    static QByteArray join(const QList<QByteArray> &chunks);
    static QByteArray join(const QList<Chunk> &chunks);

    // The body the window starts with: eleven lines, each ending in CR LF, 343 characters.
    static QString defaultBody();
    // mm-dd-yyyy and hh:mm:ss (24-hour), always with two-digit parts.
    static QByteArray dateText(const QDate &date);
    static QByteArray timeText(const QTime &time);

private:
    QByteArray m_pitchSelection; // BEL, ESC, pitch code
    QByteArray m_dateLine;       // underline on, date and time, CR LF
    QByteArray m_body;           // underline off, then the body
};
