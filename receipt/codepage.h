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

    // "437", "850", "858" or "1252" (a "CP" prefix is accepted); nullopt for anything else.
    static std::optional<CodePage> fromName(const QString &name);

    // The page VR2710_CODEPAGE selects, CP437 when it is unset or empty.
    static struct CodePageChoice fromEnvironment();

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

struct CodePageChoice
{
    std::optional<CodePage> page; // empty when the variable names no supported page
    QString error;                // what went wrong and how to mend it
};
