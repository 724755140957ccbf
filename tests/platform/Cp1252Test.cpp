#include "platform/Cp1252.h"

#include <gtest/gtest.h>

TEST(Cp1252, EveryByteSurvivesTheRoundTrip)
{
    std::string all;
    for (int c = 0; c < 256; ++c)
        all += char(c);
    const std::string utf8 = Cp1252ToUtf8(all);
    EXPECT_TRUE(IsValidUtf8(utf8));
    EXPECT_EQ(Utf8ToCp1252(utf8), all);
}

TEST(Cp1252, CodePoints)
{
    struct Row
    {
        unsigned char byte;
        char32_t cp;
        const char* utf8;
    } rows[] = {
        {0x41, U'A', "A"},          {0x80, 0x20AC, "\xE2\x82\xAC"}, {0x81, 0x0081, "\xC2\x81"},
        {0x8A, 0x0160, "\xC5\xA0"}, {0x8D, 0x008D, "\xC2\x8D"},     {0x8F, 0x008F, "\xC2\x8F"},
        {0x90, 0x0090, "\xC2\x90"}, {0x96, 0x2013, "\xE2\x80\x93"}, {0x99, 0x2122, "\xE2\x84\xA2"},
        {0x9D, 0x009D, "\xC2\x9D"}, {0x9F, 0x0178, "\xC5\xB8"},     {0xA0, 0x00A0, "\xC2\xA0"},
        {0xB5, 0x00B5, "\xC2\xB5"}, {0xE9, 0x00E9, "\xC3\xA9"},     {0xFF, 0x00FF, "\xC3\xBF"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(int(row.byte));
        EXPECT_EQ(Cp1252ToUnicode(row.byte), row.cp);
        EXPECT_EQ(Cp1252ToUtf8(std::string(1, char(row.byte))), row.utf8);
        EXPECT_EQ(Utf8ToCp1252(row.utf8), std::string(1, char(row.byte)));
    }
}

TEST(Cp1252, WhatItCannotHoldBecomesQuestionMarks)
{
    struct Row
    {
        const char* utf8;
        const char* cp1252;
    } rows[] = {
        {"Mg K\xCE\xB1", "Mg K?"},   // Greek alpha is not in the code page
        {"\xC2\x80", "?"},           // a C1 control that cp1252 uses for the euro sign
        {"\xF0\x9F\x98\x80!", "?!"}, // outside the BMP
        {"a\x80"
         "b",
         "a?b"},                           // a lone continuation byte
        {"\xC3", "?"},                     // cut sequence at the end
        {"\xE2\x82", "??"},                // cut three-byte sequence
        {"\xC0\x80", "??"},                // overlong NUL
        {"\xED\xA0\x80", "???"},           // a surrogate
        {"\xF8\x88\x80\x80\x80", "?????"}, // five-byte form
        {"\xC3\xA9t\xC3\xA9", "\xE9t\xE9"},
    };
    for (const Row& row : rows)
        EXPECT_EQ(Utf8ToCp1252(row.utf8), row.cp1252) << row.utf8;
    EXPECT_FALSE(IsValidUtf8("\xE9t\xE9"));
    EXPECT_EQ(DisplayTextToUtf8("\xE9t\xE9"), "\xC3\xA9t\xC3\xA9");
    EXPECT_EQ(DisplayTextToUtf8("\xC3\xA9t\xC3\xA9"), "\xC3\xA9t\xC3\xA9");
}
