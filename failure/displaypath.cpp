// SPDX-FileCopyrightText: 2026 The VR2710 Demo Developers
// SPDX-License-Identifier: MIT
#include "displaypath.h"

QString displayPath(const QByteArray &path)
{
    const QString text = QString::fromUtf8(path);
    if (text.toUtf8() == path)
        return text;
    QString shown;
    for (const char byte : path) {
        if (uchar(byte) < 0x80)
            shown += QLatin1Char(byte);
        else
            shown += QStringLiteral("\\x%1").arg(uchar(byte), 2, 16, QLatin1Char('0'));
    }
    return shown;
}
