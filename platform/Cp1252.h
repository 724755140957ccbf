#pragma once
// Code page 1252, the single-byte text of records and files, to and from UTF-8,
// the text of the user interface and of the operating system.
//
// All 256 bytes convert. The five bytes that cp1252 leaves undefined (0x81, 0x8D,
// 0x8F, 0x90, 0x9D) become the control characters of the same number and come
// back as those bytes, so any byte string survives the round trip. Characters
// that cp1252 cannot hold, and bytes that are not valid UTF-8, become '?'.

#include <string>
#include <string_view>

std::string Cp1252ToUtf8(std::string_view text);
std::string Utf8ToCp1252(std::string_view text);

// The Unicode code point of a cp1252 byte.
char32_t Cp1252ToUnicode(unsigned char c);

bool IsValidUtf8(std::string_view text);
// For a text whose origin is mixed (a message with a record string in it):
// valid UTF-8 stays as it is, anything else is read as cp1252.
std::string DisplayTextToUtf8(std::string_view text);
