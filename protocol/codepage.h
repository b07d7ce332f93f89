// SPDX-FileCopyrightText: 2026 The VR2710 Demo Developers
// SPDX-License-Identifier: MIT
#pragma once

#include <QByteArray>
#include <QHash>
#include <QString>
#include <QStringList>
#include <QStringView>

#include <array>
#include <optional>

// A single-byte printer code page (437, 850, 858 or 1252). The byte tables come from glibc's
// iconv, built once per object; characters the page lacks are sent as "?".
class CodePage
{
public:
    static constexpr const char *environmentVariable = "VR2710_CODEPAGE";
    static QStringList supportedNames();

    // "437", "850", "858" or "1252" (a "CP" prefix is accepted); nullopt for anything else,
    // and where the system cannot convert to the page.
    static std::optional<CodePage> fromName(const QString &name);
    // Whether the name is one of the pages above, however written.
    static bool isSupportedName(const QString &name);
    // "437" for "437", "cp437" or " CP437 ".
    static QString numberOf(const QString &name);

    QString name() const { return m_name; }
    QByteArray encode(QStringView text) const;
    QChar decode(unsigned char byte) const { return m_toUnicode[byte]; }
    QString decode(const QByteArray &bytes) const;

private:
    CodePage() = default;

    QString m_name;
    std::array<QChar, 256> m_toUnicode{};
    QHash<char32_t, char> m_fromUnicode;
};
