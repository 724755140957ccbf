#include "platform/Strings.h"

#include "platform/AsciiCase.h"
#include "platform/StringTable.h"

#include <cctype>
#include <charconv>
#include <cmath>
#include <cstdarg>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <system_error>

extern const unsigned char kStringTableText[];
extern const size_t kStringTableTextSize;

// ---------------------------------------------------------------------------
// The string table

namespace {

std::string Unescape(std::string_view s)
{
    std::string out;
    out.reserve(s.size());
    for (size_t i = 0; i < s.size(); ++i) {
        if (s[i] != '\\' || i + 1 == s.size()) {
            out += s[i];
            continue;
        }
        switch (s[++i]) {
        case 'n':
            out += '\n';
            break;
        case 't':
            out += '\t';
            break;
        case 'r':
            out += '\r';
            break;
        case '\\':
            out += '\\';
            break;
        case '"':
            out += '"';
            break;
        default: // not an escape: keep both characters
            out += '\\';
            out += s[i];
            break;
        }
    }
    return out;
}

struct SLoadedTable
{
    std::unordered_map<unsigned, std::string> entries;
    std::vector<std::string> problems;
    SLoadedTable()
    {
        ParseStringTable(
            std::string_view(reinterpret_cast<const char*>(kStringTableText), kStringTableTextSize), entries,
            problems);
    }
};

const SLoadedTable& Table()
{
    static const SLoadedTable table; // thread-safe first use
    return table;
}

} // namespace

void ParseStringTable(std::string_view text, std::unordered_map<unsigned, std::string>& table,
                      std::vector<std::string>& problems)
{
    size_t lineNo = 0;
    while (!text.empty()) {
        ++lineNo;
        const size_t eol = text.find('\n');
        std::string_view line = text.substr(0, eol);
        text = eol == std::string_view::npos ? std::string_view() : text.substr(eol + 1);
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        if (line.empty() || line.front() == '#')
            continue;
        const size_t tab = line.find('\t');
        std::string_view idText = line.substr(0, tab);
        while (!idText.empty() && idText.back() == ' ')
            idText.remove_suffix(1);
        int base = 10;
        if (idText.size() > 2 && idText[0] == '0' && (idText[1] == 'x' || idText[1] == 'X')) {
            idText.remove_prefix(2);
            base = 16;
        }
        unsigned id = 0;
        const auto [end, ec] = std::from_chars(idText.data(), idText.data() + idText.size(), id, base);
        if (tab == std::string_view::npos || idText.empty() || ec != std::errc() ||
            end != idText.data() + idText.size()) {
            problems.push_back("line " + std::to_string(lineNo) +
                               ": not \"id<TAB>text\": " + std::string(line.substr(0, 60)));
            continue;
        }
        if (!table.emplace(id, Unescape(line.substr(tab + 1))).second)
            problems.push_back("line " + std::to_string(lineNo) + ": id " + std::to_string(id) +
                               " is given twice");
    }
}

const std::vector<std::string>& StringTableProblems()
{
    return Table().problems;
}

bool TryLoadString(unsigned id, std::string& text)
{
    const auto& entries = Table().entries;
    const auto it = entries.find(id);
    if (it == entries.end())
        return false;
    text = it->second;
    return true;
}

std::string LoadString(unsigned id)
{
    std::string text;
    TryLoadString(id, text);
    return text;
}

std::string FormatString(std::string_view format, std::initializer_list<std::string_view> args)
{
    std::string out;
    out.reserve(format.size() + 32);
    for (size_t i = 0; i < format.size(); ++i) {
        const char c = format[i];
        if (c != '%' || i + 1 == format.size()) {
            out += c;
            continue;
        }
        const char next = format[i + 1];
        if (next == '%') {
            out += "%%";
            ++i;
        } else if (next >= '1' && next <= '9' && size_t(next - '1') < args.size()) {
            out += *(args.begin() + (next - '1'));
            ++i;
        } else {
            out += c; // a placeholder without an argument stays visible
        }
    }
    return out;
}

std::string FormatMessageId(unsigned id, std::initializer_list<std::string_view> args)
{
    return FormatString(LoadString(id), args);
}

// ---------------------------------------------------------------------------
// Locale-free printf

namespace {

struct SSpec
{
    bool left = false, plus = false, space = false, alt = false, zero = false;
    size_t width = 0;
    int prec = -1;
};

void Emit(std::string& out, std::string_view prefix, std::string_view body, const SSpec& s, bool zeroPad)
{
    const size_t len = prefix.size() + body.size();
    const size_t pad = s.width > len ? s.width - len : 0;
    if (s.left) {
        out += prefix;
        out += body;
        out.append(pad, ' ');
    } else if (s.zero && zeroPad) {
        out += prefix;
        out.append(pad, '0');
        out += body;
    } else {
        out.append(pad, ' ');
        out += prefix;
        out += body;
    }
}

void FormatInteger(std::string& out, const SSpec& s, char conv, bool negative, uintmax_t magnitude)
{
    const int base = conv == 'o' ? 8 : (conv == 'x' || conv == 'X' || conv == 'p') ? 16 : 10;
    char buf[72];
    auto res = std::to_chars(buf, buf + sizeof buf, magnitude, base);
    std::string digits(buf, res.ptr);
    if (conv == 'X')
        for (char& ch : digits)
            ch = AsciiToUpper(ch);
    if (s.prec >= 0) {
        if (s.prec == 0 && magnitude == 0)
            digits.clear();
        if (digits.size() < size_t(s.prec))
            digits.insert(0, size_t(s.prec) - digits.size(), '0');
    }
    std::string prefix;
    if (conv == 'd' || conv == 'i')
        prefix = negative ? "-" : s.plus ? "+" : s.space ? " " : "";
    if (conv == 'o' && s.alt && (digits.empty() || digits[0] != '0'))
        digits.insert(0, 1, '0');
    if (((conv == 'x' || conv == 'X') && s.alt && magnitude != 0) || conv == 'p')
        prefix = conv == 'X' ? "0X" : "0x";
    Emit(out, prefix, digits, s, s.prec < 0);
}

std::string ToChars(double a, std::chars_format fmt, int prec)
{
    // Fixed notation of 1e308 needs 309 digits before the point.
    std::string buf(size_t(prec) + 340, '\0');
    const auto res = std::to_chars(buf.data(), buf.data() + buf.size(), a, fmt, prec);
    buf.resize(size_t(res.ptr - buf.data()));
    return buf;
}

int DecimalExponent(const std::string& scientific)
{
    const size_t e = scientific.find('e');
    int x = 0;
    if (e != std::string::npos) {
        const char* p = scientific.data() + e + 1;
        if (*p == '+')
            ++p;
        std::from_chars(p, scientific.data() + scientific.size(), x);
    }
    return x;
}

void FormatFloat(std::string& out, const SSpec& s, char conv, double v)
{
    const bool upper = conv == 'E' || conv == 'G' || conv == 'F';
    const char lower = AsciiToLower(conv);
    const bool negative = std::signbit(v);
    const double a = std::fabs(v);
    const std::string prefix = negative ? "-" : s.plus ? "+" : s.space ? " " : "";
    std::string body;
    if (!std::isfinite(a)) {
        body = std::isnan(a) ? "nan" : "inf";
    } else {
        const int prec = s.prec < 0 ? 6 : s.prec;
        if (lower == 'f') {
            body = ToChars(a, std::chars_format::fixed, prec);
            if (s.alt && prec == 0)
                body += '.';
        } else if (lower == 'e') {
            body = ToChars(a, std::chars_format::scientific, prec);
            if (s.alt && prec == 0)
                body.insert(body.find('e'), 1, '.');
        } else {
            const int p = prec == 0 ? 1 : prec;
            if (!s.alt) {
                body = ToChars(a, std::chars_format::general, p);
            } else {
                // '#' keeps the trailing zeros that to_chars would strip.
                const int x = DecimalExponent(ToChars(a, std::chars_format::scientific, p - 1));
                if (p > x && x >= -4)
                    body = ToChars(a, std::chars_format::fixed, p - 1 - x);
                else
                    body = ToChars(a, std::chars_format::scientific, p - 1);
                if (body.find('.') == std::string::npos) {
                    const size_t e = body.find('e');
                    body.insert(e == std::string::npos ? body.size() : e, 1, '.');
                }
            }
        }
    }
    if (upper)
        for (char& ch : body)
            ch = AsciiToUpper(ch);
    Emit(out, prefix, body, s, std::isfinite(a));
}

enum class Length
{
    none,
    hh,
    h,
    l,
    ll,
    z,
    j,
    t,
    L
};

} // namespace

std::string FormatPrintfV(const char* format, va_list ap)
{
    std::string out;
    if (!format)
        return out;
    const char* p = format;
    while (*p) {
        if (*p != '%') {
            const char* q = std::strchr(p, '%');
            const size_t n = q ? size_t(q - p) : std::strlen(p);
            out.append(p, n);
            p += n;
            continue;
        }
        const char* start = p++;
        SSpec s;
        for (;; ++p) {
            if (*p == '-')
                s.left = true;
            else if (*p == '+')
                s.plus = true;
            else if (*p == ' ')
                s.space = true;
            else if (*p == '#')
                s.alt = true;
            else if (*p == '0')
                s.zero = true;
            else
                break;
        }
        if (*p == '*') {
            const int w = va_arg(ap, int);
            if (w < 0) {
                s.left = true;
                s.width = size_t(-(long long)w);
            } else {
                s.width = size_t(w);
            }
            ++p;
        } else {
            while (*p >= '0' && *p <= '9')
                s.width = s.width * 10 + size_t(*p++ - '0');
        }
        if (*p == '.') {
            ++p;
            if (*p == '*') {
                const int pr = va_arg(ap, int);
                s.prec = pr < 0 ? -1 : pr;
                ++p;
            } else {
                s.prec = 0;
                while (*p >= '0' && *p <= '9')
                    s.prec = s.prec * 10 + (*p++ - '0');
            }
        }
        Length len = Length::none;
        switch (*p) {
        case 'h':
            len = p[1] == 'h' ? Length::hh : Length::h;
            p += len == Length::hh ? 2 : 1;
            break;
        case 'l':
            len = p[1] == 'l' ? Length::ll : Length::l;
            p += len == Length::ll ? 2 : 1;
            break;
        case 'q':
            len = Length::ll, ++p;
            break;
        case 'z':
            len = Length::z, ++p;
            break;
        case 'j':
            len = Length::j, ++p;
            break;
        case 't':
            len = Length::t, ++p;
            break;
        case 'L':
            len = Length::L, ++p;
            break;
        default:
            break;
        }
        const char conv = *p;
        if (conv == '\0') { // a lone '%' at the end stays as written
            out.append(start);
            break;
        }
        ++p;
        switch (conv) {
        case '%':
            out += '%';
            break;
        case 'd':
        case 'i': {
            intmax_t v;
            switch (len) {
            case Length::hh:
                v = static_cast<signed char>(va_arg(ap, int));
                break;
            case Length::h:
                v = static_cast<short>(va_arg(ap, int));
                break;
            case Length::l:
                v = va_arg(ap, long);
                break;
            case Length::ll:
                v = va_arg(ap, long long);
                break;
            case Length::z:
                v = va_arg(ap, ptrdiff_t);
                break;
            case Length::j:
                v = va_arg(ap, intmax_t);
                break;
            case Length::t:
                v = va_arg(ap, ptrdiff_t);
                break;
            default:
                v = va_arg(ap, int);
                break;
            }
            const uintmax_t mag = v < 0 ? uintmax_t(0) - uintmax_t(v) : uintmax_t(v);
            FormatInteger(out, s, conv, v < 0, mag);
            break;
        }
        case 'u':
        case 'o':
        case 'x':
        case 'X': {
            uintmax_t v;
            switch (len) {
            case Length::hh:
                v = static_cast<unsigned char>(va_arg(ap, unsigned));
                break;
            case Length::h:
                v = static_cast<unsigned short>(va_arg(ap, unsigned));
                break;
            case Length::l:
                v = va_arg(ap, unsigned long);
                break;
            case Length::ll:
                v = va_arg(ap, unsigned long long);
                break;
            case Length::z:
                v = va_arg(ap, size_t);
                break;
            case Length::j:
                v = va_arg(ap, uintmax_t);
                break;
            case Length::t:
                v = uintmax_t(va_arg(ap, ptrdiff_t));
                break;
            default:
                v = va_arg(ap, unsigned);
                break;
            }
            FormatInteger(out, s, conv, false, v);
            break;
        }
        case 'p':
            FormatInteger(out, s, conv, false, uintmax_t(reinterpret_cast<uintptr_t>(va_arg(ap, void*))));
            break;
        case 'f':
        case 'F':
        case 'e':
        case 'E':
        case 'g':
        case 'G': {
            const double v = len == Length::L ? double(va_arg(ap, long double)) : va_arg(ap, double);
            FormatFloat(out, s, conv, v);
            break;
        }
        case 'c': {
            const char ch = char(va_arg(ap, int));
            Emit(out, "", std::string_view(&ch, 1), s, false);
            break;
        }
        case 's': {
            const char* str = va_arg(ap, const char*);
            if (!str)
                str = "(null)";
            size_t n = 0;
            if (s.prec >= 0)
                while (n < size_t(s.prec) && str[n])
                    ++n;
            else
                n = std::strlen(str);
            Emit(out, "", std::string_view(str, n), s, false);
            break;
        }
        case 'n': // never writes through a pointer from a format
            (void)va_arg(ap, void*);
            break;
        default: // unknown conversion: shown as written
            out.append(start, size_t(p - start));
            break;
        }
    }
    return out;
}

std::string FormatPrintf(const char* format, ...)
{
    va_list ap;
    va_start(ap, format);
    std::string s = FormatPrintfV(format, ap);
    va_end(ap);
    return s;
}

std::string FormatG(double value)
{
    return FormatPrintf("%g", value);
}
