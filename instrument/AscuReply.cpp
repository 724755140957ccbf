#include "instrument/AscuReply.h"

#include "platform/AsciiCase.h"

#include <cctype>
#include <charconv>
#include <cmath>

namespace {

bool StartsWith(std::string_view s, std::string_view prefix)
{
    return s.substr(0, prefix.size()) == prefix;
}

void SkipBlanks(std::string_view& s)
{
    while (!s.empty() && s.front() == ' ')
        s.remove_prefix(1);
}

bool ReadNumber(std::string_view& s, double& v)
{
    SkipBlanks(s);
    auto r = std::from_chars(s.data(), s.data() + s.size(), v);
    if (r.ec != std::errc() || !std::isfinite(v))
        return false;
    s.remove_prefix(static_cast<size_t>(r.ptr - s.data()));
    SkipBlanks(s);
    return true;
}

bool Expect(std::string_view& s, std::string_view text)
{
    if (!StartsWith(s, text))
        return false;
    s.remove_prefix(text.size());
    return true;
}

bool ReadInt(std::string_view& s, int& v)
{
    SkipBlanks(s);
    auto r = std::from_chars(s.data(), s.data() + s.size(), v);
    if (r.ec != std::errc())
        return false;
    s.remove_prefix(static_cast<size_t>(r.ptr - s.data()));
    return true;
}

std::string_view TrimLineEnd(std::string_view s)
{
    while (!s.empty() && (s.back() == '\n' || s.back() == '\r'))
        s.remove_suffix(1);
    return s;
}

} // namespace

int ParseAscuReply(std::string_view line, std::string_view lastCommand, SAscuReply& r)
{
    r.m_kind = SAscuReply::None;
    std::string_view code = line.substr(0, 2);
    if (code == "RP") {
        if (!StartsWith(lastCommand, "EX "))
            return 2304;
        r.m_kind = SAscuReply::Ready;
        return 0;
    }
    if (code == "SA") {
        std::string_view s = TrimLineEnd(line);
        double a[4];
        if (!(Expect(s, "SA (") && ReadNumber(s, a[0]) && Expect(s, ",") && ReadNumber(s, a[1]) &&
              Expect(s, ")-(") && ReadNumber(s, a[2]) && Expect(s, ",") && ReadNumber(s, a[3]) &&
              Expect(s, ")")))
            return 2306;
        for (int i = 0; i < 4; ++i)
            r.m_dArea[i] = a[i];
        r.m_kind = SAscuReply::MapArea;
        return 0;
    }
    if (code == "ID") {
        // "ID 2," and the status as four hexadecimal digits (leading blanks
        // allowed, as a width-4 format gives them), then the line end.
        if (line.size() != 11 || !StartsWith(line, "ID 2,") || line.substr(9) != "\r\n")
            return 2304;
        unsigned v = 0;
        bool digits = false;
        for (char c : line.substr(5, 4)) {
            if (c == ' ' && !digits)
                continue;
            if (!std::isxdigit(static_cast<unsigned char>(c)))
                return 2304;
            digits = true;
            v = v * 16 + static_cast<unsigned>(std::isdigit(static_cast<unsigned char>(c))
                                                   ? c - '0'
                                                   : AsciiToUpper(c) - 'A' + 10);
        }
        if (!digits)
            return 2304;
        r.m_wStatus = static_cast<uint16_t>(v);
        r.m_kind = SAscuReply::Identification;
        return 0;
    }
    if (code == "CP") {
        if (!StartsWith(lastCommand, "GP ("))
            return 2304;
        r.m_kind = SAscuReply::CheckedPosns;
        return 0;
    }
    if (code == "ER") {
        std::string_view s = TrimLineEnd(line);
        int n;
        if (!Expect(s, "ER ") || !ReadInt(s, n))
            return 2306;
        r.m_kind = SAscuReply::Error;
        r.m_iError = n;
        if (n == 1 && StartsWith(lastCommand, "GP ("))
            return 2307;
        // Only the unit's nine errors have a message; another number is not a reply we know.
        if (n < 1 || n > 9)
            return 2304;
        return 2319 + n;
    }
    return 2304;
}
