// SPDX-FileCopyrightText: 2026 The VR2710 Demo Developers
// SPDX-License-Identifier: MIT
#include "codepage.h"

#include <iconv.h>

namespace {

// Decodes each of the 256 bytes through iconv; bytes the page leaves undefined become U+FFFD.
bool buildTable(const QByteArray &iconvName, std::array<QChar, 256> &table)
{
    iconv_t cd = iconv_open("UTF-16LE", iconvName.constData());
    if (cd == reinterpret_cast<iconv_t>(-1))
        return false;
    for (int byte = 0; byte < 256; ++byte) {
        char in = static_cast<char>(byte);
        char16_t out[2] = {0, 0};
        char *inPtr = &in;
        char *outPtr = reinterpret_cast<char *>(out);
        size_t inLeft = 1;
        size_t outLeft = sizeof(out);
        iconv(cd, nullptr, nullptr, nullptr, nullptr);
        const size_t done = iconv(cd, &inPtr, &inLeft, &outPtr, &outLeft);
        const bool oneChar = done != static_cast<size_t>(-1) && outLeft == sizeof(out) - 2;
        table[byte] = oneChar ? QChar(out[0]) : QChar(QChar::ReplacementCharacter);
    }
    iconv_close(cd);
    return true;
}

} // namespace

QStringList CodePage::supportedNames()
{
    return {QStringLiteral("437"), QStringLiteral("850"), QStringLiteral("858"),
            QStringLiteral("1252")};
}

QString CodePage::numberOf(const QString &name)
{
    QString number = name.trimmed();
    if (number.startsWith(QLatin1String("cp"), Qt::CaseInsensitive))
        number = number.mid(2);
    return number;
}

bool CodePage::isSupportedName(const QString &name)
{
    return supportedNames().contains(numberOf(name));
}

std::optional<CodePage> CodePage::fromName(const QString &name)
{
    const QString number = numberOf(name);
    if (!supportedNames().contains(number))
        return std::nullopt;

    CodePage page;
    page.m_name = number;
    if (!buildTable("CP" + number.toLatin1(), page.m_toUnicode))
        return std::nullopt;
    // Reverse map; where two bytes decode to the same character the lower byte wins.
    for (int byte = 255; byte >= 0; --byte) {
        const QChar ch = page.m_toUnicode[byte];
        if (ch != QChar::ReplacementCharacter)
            page.m_fromUnicode.insert(ch.unicode(), static_cast<char>(byte));
    }
    return page;
}

QByteArray CodePage::encode(QStringView text) const
{
    QByteArray bytes;
    bytes.reserve(text.size());
    for (const char32_t codePoint : text.toUcs4()) {
        const auto found = m_fromUnicode.constFind(codePoint);
        bytes.append(found != m_fromUnicode.constEnd() ? *found : '?');
    }
    return bytes;
}

QString CodePage::decode(const QByteArray &bytes) const
{
    QString text;
    text.reserve(bytes.size());
    for (const char byte : bytes)
        text.append(decode(static_cast<unsigned char>(byte)));
    return text;
}
