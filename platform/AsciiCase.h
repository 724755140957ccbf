#pragma once
// Upper and lower case of the ASCII letters only, whatever LC_CTYPE says.
//
// Keywords in files, file extensions, instrument commands and searches that
// ignore case must not depend on the user's locale: under a Turkish LC_CTYPE
// toupper('i') and tolower('I') leave the letter as it is (its pair is the
// dotted or dotless i), so "BINDING" would no longer contain "binding". Bytes
// outside A-Z and a-z, the upper half of cp1252 among them, stay as they are,
// as they always did in the UTF-8 locales the program runs in.

#include <string>
#include <string_view>

constexpr char AsciiToUpper(char c)
{
    return c >= 'a' && c <= 'z' ? char(c - 'a' + 'A') : c;
}

constexpr char AsciiToLower(char c)
{
    return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c;
}

inline std::string AsciiToUpper(std::string_view text)
{
    std::string s(text);
    for (char& c : s)
        c = AsciiToUpper(c);
    return s;
}

inline std::string AsciiToLower(std::string_view text)
{
    std::string s(text);
    for (char& c : s)
        c = AsciiToLower(c);
    return s;
}

constexpr bool AsciiEqualNoCase(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (AsciiToLower(a[i]) != AsciiToLower(b[i]))
            return false;
    return true;
}
