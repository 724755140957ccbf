#pragma once
// The string table (res/strings.txt, compiled into the program) and the
// locale-free formatting of its entries.

#include <cstdarg>
#include <initializer_list>
#include <string>
#include <string_view>

// Texts are UTF-8, as the table file is; a cp1252 record string put into a
// message goes through Cp1252ToUtf8 (platform/Cp1252.h) first.

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

// The same over a va_list, for wrappers that take their own "...".
std::string FormatPrintfV(const char* format, va_list args);

// Locale-free number formatting: "%g" of a double.
std::string FormatG(double value);
