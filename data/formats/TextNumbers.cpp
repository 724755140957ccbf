#include "data/formats/TextNumbers.h"

#include <charconv>
#include <cmath>
#include <limits>

namespace TextNumbers {

static void SkipBlanks(std::string_view& text)
{
    size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t' || text[i] == '\n' || text[i] == '\r' ||
                               text[i] == '\v' || text[i] == '\f'))
        ++i;
    text.remove_prefix(i);
}

static bool IsDigit(char c)
{
    return c >= '0' && c <= '9';
}

// Takes a leading '+' or '-'; true for '-'.
static bool TakeSign(std::string_view& t)
{
    if (t.empty() || (t.front() != '+' && t.front() != '-'))
        return false;
    const bool negative = t.front() == '-';
    t.remove_prefix(1);
    return negative;
}

std::optional<int64_t> ScanInt(std::string_view& text)
{
    std::string_view t = text;
    SkipBlanks(t);
    const bool negative = TakeSign(t);
    if (t.empty() || !IsDigit(t.front()))
        return std::nullopt;
    int64_t value = 0;
    bool saturated = false;
    size_t i = 0;
    for (; i < t.size() && IsDigit(t[i]); ++i) {
        const int d = t[i] - '0';
        if (!saturated && value > (std::numeric_limits<int64_t>::max() - d) / 10)
            saturated = true;
        if (!saturated)
            value = value * 10 + d;
    }
    if (saturated)
        value = negative ? -std::numeric_limits<int64_t>::max() : std::numeric_limits<int64_t>::max();
    else if (negative)
        value = -value;
    text = t.substr(i);
    return value;
}

std::optional<double> ScanReal(std::string_view& text)
{
    std::string_view t = text;
    SkipBlanks(t);
    const bool negative = TakeSign(t);
    // from_chars takes no sign of its own and no hexadecimal prefix; fixed or
    // exponent form, infinity and NaN are what the text formats may carry.
    double value = 0.0;
    auto [ptr, ec] = std::from_chars(t.data(), t.data() + t.size(), value, std::chars_format::general);
    if (ptr == t.data())
        return std::nullopt;
    if (ec == std::errc::result_out_of_range) {
        // Over- or underflow: strtod answers HUGE_VAL or 0 with the sign.
        std::string_view digits(t.data(), static_cast<size_t>(ptr - t.data()));
        bool bigExponent = true;
        if (auto e = digits.find_first_of("eE"); e != std::string_view::npos)
            bigExponent = digits.size() > e + 1 && digits[e + 1] != '-';
        value = bigExponent ? std::numeric_limits<double>::infinity() : 0.0;
    }
    text = t.substr(static_cast<size_t>(ptr - t.data()));
    return negative ? -value : value;
}

int64_t LineInt(std::string_view line)
{
    return ScanInt(line).value_or(0);
}

double LineReal(std::string_view line)
{
    return ScanReal(line).value_or(0.0);
}

} // namespace TextNumbers
