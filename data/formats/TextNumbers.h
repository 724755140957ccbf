#pragma once
// Locale-free number scanning for the text formats (VAMAS, the peak library).
// Each scanner reads a number from the front of a text the way the C library's
// conversions do (leading blanks skipped, an optional sign, the longest valid
// prefix), but always with '.' as the decimal point and never in octal.

#include <cstdint>
#include <optional>
#include <string_view>

namespace TextNumbers {

// Skips blanks, then reads a decimal integer. nullopt when there is none.
// Values beyond int64 saturate at +-INT64_MAX, so negating one is safe
// (the caller range-checks).
std::optional<int64_t> ScanInt(std::string_view& text);
// Skips blanks, then reads a real number (fixed or exponent form, also "inf"
// and "nan" as strtod does). nullopt when there is none.
std::optional<double> ScanReal(std::string_view& text);

// atoi/atof of a whole line: 0 when the line starts with no number.
int64_t LineInt(std::string_view line);
double LineReal(std::string_view line);

} // namespace TextNumbers
