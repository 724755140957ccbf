#include "UGrid/model/UGCell.h"
#include "UGrid/model/UGDrawHint.h"
#include "UGrid/model/UGMask.h"
#include "UGrid/model/UGPtrList.h"

#include <gtest/gtest.h>

#include <cstring>

TEST(UGCell, NewCellReadsDefaults)
{
    CUGCell cell;
    std::string text;
    EXPECT_EQ(cell.GetText(), nullptr);
    EXPECT_EQ(cell.GetTextString(text), 1);
    EXPECT_EQ(cell.GetDataType(), UGDATA_TEXT);
    EXPECT_EQ(cell.GetBackColor(), UGGetSysColor(UG_COLOR_WINDOW));
    EXPECT_EQ(cell.GetAlignment(), 0);
    EXPECT_EQ(cell.GetPropertyFlags(), 0u);
}

TEST(UGCell, NumberAndBoolFormatting)
{
    CUGCell cell;
    cell.SetNumberDecimals(2);
    cell.SetNumber(3.14159);
    EXPECT_STREQ(cell.GetText(), "3.14");
    EXPECT_EQ(cell.GetDataType(), UGDATA_NUMBER);
    CUGCell plain;
    plain.SetNumber(3.14159);
    EXPECT_STREQ(plain.GetText(), "3.141590");
    plain.SetNumber(-0.5);
    EXPECT_STREQ(plain.GetText(), "-0.500000");

    cell.SetBool(5);
    EXPECT_STREQ(cell.GetText(), "1");
    EXPECT_EQ(cell.GetDataType(), UGDATA_BOOL);
    struct
    {
        const char* text;
        int expected;
    } cases[] = {{"true", 1}, {"T", 1}, {"12", 1}, {"0", 0}, {"no", 0}, {"", 0}, {" -3", 1}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        cell.SetText(c.text);
        EXPECT_EQ(cell.GetBool(), c.expected);
    }
}

TEST(UGCell, NumbersAreReadWithoutLocaleAndSaturate)
{
    CUGCell cell;
    double d = 0;
    EXPECT_EQ(cell.GetNumber(&d), 1); // no text: nothing written
    cell.SetText("  2.5e3xyz");
    EXPECT_EQ(cell.GetNumber(&d), 0);
    EXPECT_DOUBLE_EQ(d, 2500.0);
    int i = 0;
    cell.SetText("99999999999999999999");
    EXPECT_EQ(cell.GetNumber(&i), 0);
    EXPECT_EQ(i, 2147483647);
    cell.SetText("-17abc");
    EXPECT_EQ(cell.GetNumber(&i), 0);
    EXPECT_EQ(i, -17);
    EXPECT_DOUBLE_EQ(cell.GetNumber(), -17.0);
}

TEST(UGCell, CopyReplacesMaskAddMerges)
{
    CUGCell src;
    src.SetText("x");
    CUGCell dest;
    dest.SetBackColor(UGRGB(1, 2, 3));
    dest.SetAlignment(UG_ALIGNRIGHT);
    CUGCell added = dest;

    dest.CopyInfoFrom(&src);
    EXPECT_EQ(dest.GetPropertyFlags(), UGCELL_TEXT | UGCELL_DATATYPE);
    EXPECT_STREQ(dest.GetText(), "x");
    EXPECT_EQ(dest.GetAlignment(), 0);

    added.AddInfoFrom(&src);
    EXPECT_STREQ(added.GetText(), "x");
    EXPECT_EQ(added.GetBackColor(), UGRGB(1, 2, 3));
    EXPECT_EQ(added.GetAlignment(), UG_ALIGNRIGHT);
}

TEST(UGCell, ExtraBlockIsDuplicatedAndOwned)
{
    auto src = std::make_unique<CUGCell>();
    std::memcpy(src->AllocExtraMem(10), "0123456789", 10);
    CUGCell dest;
    dest.CopyInfoFrom(src.get());
    ASSERT_EQ(dest.GetExtraMemSize(), 10);
    EXPECT_NE(dest.GetExtraMemPtr(), src->GetExtraMemPtr());
    src.reset();
    EXPECT_EQ(std::memcmp(dest.GetExtraMemPtr(), "0123456789", 10), 0);
    EXPECT_EQ(dest.AllocExtraMem(-1), nullptr);
    EXPECT_FALSE(dest.IsPropertySet(UGCELL_EXTRAMEM));
}

TEST(UGCell, NullBitmapClearsAndNullFormatIsRefused)
{
    CUGCell cell;
    cell.SetBitmap(reinterpret_cast<CBitmap*>(&cell));
    EXPECT_TRUE(cell.IsPropertySet(UGCELL_BITMAP));
    cell.SetBitmap(nullptr);
    EXPECT_FALSE(cell.IsPropertySet(UGCELL_BITMAP));
    CUGFormat format;
    cell.SetFormatClass(&format);
    EXPECT_EQ(cell.SetFormatClass(nullptr), 1);
    EXPECT_EQ(cell.GetFormatClass(), &format);
}

TEST(UGPtrList, GrowsByTenAndReusesFreeEntries)
{
    CUGPtrList list;
    int values[11];
    for (int i = 0; i < 11; ++i)
        EXPECT_EQ(list.AddPointer(&values[i]), i);
    EXPECT_EQ(list.GetMaxCount(), 20);
    EXPECT_EQ(list.GetPointerIndex(&values[7]), 7);
    EXPECT_EQ(list.DeletePointer(3), 0);
    EXPECT_EQ(list.GetPointer(3), nullptr);
    EXPECT_EQ(list.UpdateParam(3, 5), 2);
    EXPECT_EQ(list.UpdateParam(30, 5), 1);
    EXPECT_EQ(list.AddPointer(&values[0]), 3);
    EXPECT_EQ(list.GetCount(), 11);
}

TEST(UGDrawHint, RangesBoundingBoxAndExtension)
{
    CUGDrawHint hint;
    hint.AddHint(1, 1, 2, 2);
    hint.AddHint(5, 5);
    EXPECT_EQ(hint.IsInvalid(3, 3), 0);
    EXPECT_EQ(hint.IsInvalid(5, 5), 1);
    int c1, c2;
    long r1, r2;
    EXPECT_EQ(hint.GetTotalRange(&c1, &r1, &c2, &r2), 1);
    EXPECT_EQ(c1, 1);
    EXPECT_EQ(r1, 1);
    EXPECT_EQ(c2, 5);
    EXPECT_EQ(r2, 5);
    hint.ClearHints();
    EXPECT_EQ(hint.IsInvalid(1, 1), 0);
    EXPECT_EQ(hint.GetTotalRange(&c1, &r1, &c2, &r2), 0);

    hint.AddHint(1, 1);
    hint.AddToHint(4, 4);
    EXPECT_EQ(hint.IsInvalid(3, 2), 1);
    hint.SetAsValid(2, 2);
    EXPECT_EQ(hint.IsValid(2, 2), 1);
    EXPECT_EQ(hint.IsValid(2, 3), 0);
}

namespace {
std::string Type(const CUGMask& mask, const char* keys)
{
    std::string text;
    int caret = 0;
    for (const char* k = keys; *k; ++k) {
        int selStart = caret, selEnd = caret;
        if (mask.TypeChar(text, selStart, selEnd, static_cast<unsigned char>(*k)))
            text.insert(size_t(selStart++), 1, *k);
        caret = selStart;
    }
    return text;
}
} // namespace

TEST(UGMask, TablesAndTyping)
{
    CUGMask mask;
    mask.SetMask("(000) 000");
    EXPECT_EQ(mask.Positions(), std::string("\b000\b\b000"));
    EXPECT_EQ(mask.Literals(), std::string("(\b\b\b) \b\b\b"));
    EXPECT_EQ(Type(mask, "1234567"), "(123)4567");
    // Past the end of the mask a character is refused, never read beyond the table.
    EXPECT_EQ(Type(mask, "12345678"), "(123)4567");
    EXPECT_EQ(Type(mask, "1a2"), "(12");

    mask.SetMask("\\#0");
    EXPECT_EQ(mask.Positions(), std::string("\b0"));
    EXPECT_EQ(mask.Literals(), std::string("#\b"));

    struct
    {
        char maskChar;
        char ch;
        bool ok;
    } cases[] = {{'#', '5', true},  {'#', ' ', true}, {'#', '+', false},  {'L', 'q', true},
                 {'L', '1', false}, {'?', ' ', true}, {'A', '7', true},   {'a', ' ', true},
                 {'A', ' ', false}, {'&', '~', true}, {'C', '\t', false}, {'9', ' ', true},
                 {'0', ' ', false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(1, c.maskChar) + c.ch);
        EXPECT_EQ(CUGMask::Accepts(c.maskChar, static_cast<unsigned char>(c.ch)), c.ok);
    }
}

TEST(UGMask, ApplyMaskRewritesAndOffLeavesText)
{
    CUGMask mask;
    std::string text = "12ab3456";
    EXPECT_EQ(mask.ApplyMask(text), 1);
    EXPECT_EQ(text, "12ab3456");
    mask.SetMask("(000) 000");
    EXPECT_EQ(mask.ApplyMask(text), 0);
    EXPECT_EQ(text, "(123) 456");
    text = "9";
    mask.ApplyMask(text);
    EXPECT_EQ(text, "(9");
}
