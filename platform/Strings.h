#pragma once
// The string table (res/strings.txt, compiled into the program) and the
// locale-free formatting of its entries.

#include <initializer_list>
#include <string>
#include <string_view>

// The text of a string-table entry; empty when the id has none.
std::string LoadString(unsigned id);
// False when the id has no entry.
bool TryLoadString(unsigned id, std::string& text);

// Replaces %1 ... %9 by the arguments ("%%" stays "%%"), as the message boxes
// of the design do.
std::string FormatString(std::string_view format, std::initializer_list<std::string_view> args);
// LoadString(id) with its %1... filled.
std::string FormatMessageId(unsigned id, std::initializer_list<std::string_view> args);

// printf-style formatting that ignores the process locale (decimal point always
// '.'). Supports the flags, width, precision and the conversions d i u x X c s f
// e E g G %.
std::string FormatPrintf(const char* format, ...)
#if defined(__GNUC__)
    __attribute__((format(printf, 1, 2)))
#endif
    ;

// Locale-free number formatting: "%g" of a double.
std::string FormatG(double value);
