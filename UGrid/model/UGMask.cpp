#include "UGrid/model/UGMask.h"

#include <algorithm>
#include <cctype>
#include <cstring>

namespace {
bool IsPrintable(unsigned char ch)
{
    return (ch >= 0x20 && ch < 0x7f) || ch >= 0xa0;
}
bool IsLetter(unsigned char ch)
{
    return std::isalpha(ch) || (ch >= 0xc0 && ch != 0xd7 && ch != 0xf7);
}
} // namespace

void CUGMask::SetMask(const char* mask)
{
    m_mask = mask ? mask : "";
    m_positions.clear();
    m_literals.clear();
    m_on = !m_mask.empty();
    for (size_t i = 0; i < m_mask.size(); ++i) {
        const char c = m_mask[i];
        if (c == '\\' && i + 1 < m_mask.size()) {
            m_positions += kLiteral;
            m_literals += m_mask[++i];
        } else if (std::strchr(kMaskChars, c) && c != '\0') {
            m_positions += c;
            m_literals += kLiteral;
        } else {
            m_positions += kLiteral;
            m_literals += c;
        }
    }
}

bool CUGMask::Accepts(char maskChar, unsigned char ch)
{
    const bool digit = ch >= '0' && ch <= '9';
    switch (maskChar) {
    case '0':
        return digit;
    case '9':
        return digit || ch == ' ';
    case '#':
        return digit || ch == ' ' || ch == 107 || ch == 109;
    case 'L':
        return IsLetter(ch);
    case '?':
        return IsLetter(ch) || ch == ' ';
    case 'A':
        return IsLetter(ch) || digit;
    case 'a':
        return IsLetter(ch) || digit || ch == ' ';
    case '&':
    case 'C':
        return IsPrintable(ch);
    default:
        return true; // a literal place takes anything
    }
}

int CUGMask::ApplyMask(std::string& text) const
{
    if (!m_on)
        return 1;
    std::string out;
    size_t t = 0;
    for (size_t p = 0; p < m_positions.size() && t < text.size();) {
        if (m_positions[p] == kLiteral) {
            out += m_literals[p++];
            continue;
        }
        const unsigned char ch = static_cast<unsigned char>(text[t++]);
        if (Accepts(m_positions[p], ch)) {
            out += char(ch);
            ++p;
        }
    }
    text = out;
    return 0;
}

bool CUGMask::TypeChar(std::string& text, int& selStart, int& selEnd, unsigned char ch) const
{
    if (!m_on || !IsPrintable(ch))
        return true;
    selStart = std::clamp(selStart, 0, int(text.size()));
    selEnd = std::clamp(selEnd, selStart, int(text.size()));
    text.erase(size_t(selStart), size_t(selEnd - selStart));
    selEnd = selStart;
    // Past the end of the mask nothing more can be typed.
    if (selStart >= int(m_positions.size()))
        return false;
    if (m_positions[size_t(selStart)] == kLiteral) {
        text.insert(size_t(selStart), 1, m_literals[size_t(selStart)]);
        selEnd = ++selStart;
        if (selStart >= int(m_positions.size()))
            return false;
    }
    return Accepts(m_positions[size_t(selStart)], ch);
}
