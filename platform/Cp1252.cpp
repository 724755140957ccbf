#include "platform/Cp1252.h"

#include <cstdint>

namespace {

// 0x80..0x9F; the rest of the code page is Latin-1.
constexpr char16_t kHigh[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

void AppendUtf8(std::string& out, char32_t c)
{
    if (c < 0x80) {
        out += char(c);
    } else if (c < 0x800) {
        out += char(0xC0 | (c >> 6));
        out += char(0x80 | (c & 0x3F));
    } else {
        out += char(0xE0 | (c >> 12));
        out += char(0x80 | ((c >> 6) & 0x3F));
        out += char(0x80 | (c & 0x3F));
    }
}

// Decodes one UTF-8 sequence at text[i]; returns its length, 0 when invalid
// (overlong forms, surrogates and values above U+10FFFF are invalid).
size_t DecodeUtf8(std::string_view text, size_t i, char32_t& cp)
{
    const auto b0 = static_cast<unsigned char>(text[i]);
    if (b0 < 0x80) {
        cp = b0;
        return 1;
    }
    size_t n;
    char32_t min;
    if ((b0 & 0xE0) == 0xC0) {
        n = 2, cp = b0 & 0x1F, min = 0x80;
    } else if ((b0 & 0xF0) == 0xE0) {
        n = 3, cp = b0 & 0x0F, min = 0x800;
    } else if ((b0 & 0xF8) == 0xF0) {
        n = 4, cp = b0 & 0x07, min = 0x10000;
    } else {
        return 0;
    }
    if (text.size() - i < n)
        return 0;
    for (size_t k = 1; k < n; ++k) {
        const auto b = static_cast<unsigned char>(text[i + k]);
        if ((b & 0xC0) != 0x80)
            return 0;
        cp = (cp << 6) | (b & 0x3F);
    }
    if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
        return 0;
    return n;
}

} // namespace

char32_t Cp1252ToUnicode(unsigned char c)
{
    return c >= 0x80 && c < 0xA0 ? char32_t(kHigh[c - 0x80]) : char32_t(c);
}

std::string Cp1252ToUtf8(std::string_view text)
{
    std::string out;
    out.reserve(text.size() + text.size() / 4);
    for (const char ch : text)
        AppendUtf8(out, Cp1252ToUnicode(static_cast<unsigned char>(ch)));
    return out;
}

std::string Utf8ToCp1252(std::string_view text)
{
    std::string out;
    out.reserve(text.size());
    size_t i = 0;
    while (i < text.size()) {
        char32_t cp = 0;
        const size_t n = DecodeUtf8(text, i, cp);
        if (n == 0) {
            out += '?';
            ++i; // resynchronise on the next byte
            continue;
        }
        i += n;
        if (cp < 0x80 || (cp >= 0xA0 && cp <= 0xFF)) {
            out += char(cp);
            continue;
        }
        char mapped = '?';
        for (int k = 0; k < 32; ++k)
            if (kHigh[k] == cp) {
                mapped = char(0x80 + k);
                break;
            }
        out += mapped;
    }
    return out;
}

bool IsValidUtf8(std::string_view text)
{
    size_t i = 0;
    while (i < text.size()) {
        char32_t cp;
        const size_t n = DecodeUtf8(text, i, cp);
        if (n == 0)
            return false;
        i += n;
    }
    return true;
}

std::string DisplayTextToUtf8(std::string_view text)
{
    return IsValidUtf8(text) ? std::string(text) : Cp1252ToUtf8(text);
}
