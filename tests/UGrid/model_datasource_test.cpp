#include "model_TestGrid.h"

#include "UGrid/model/UGMemMan.h"
#include "tests/common/ScopedLocale.h"

#include <gtest/gtest.h>

namespace {
std::vector<std::string> Column(TestGrid& g, int col)
{
    std::vector<std::string> out;
    for (long r = 0; r < g.GetRowCount(); ++r)
        out.push_back(g.GetTextAt(col, r));
    return out;
}
} // namespace

TEST(UGMemMan, StoreFetchAndEmptyPositions)
{
    CUGMemMan mem;
    CUGCell cell, out;
    out.SetAlignment(UG_ALIGNRIGHT);
    EXPECT_EQ(mem.GetCell(0, 0, &out), 1);
    EXPECT_EQ(out.GetAlignment(), UG_ALIGNRIGHT); // left as it was
    cell.SetText("far");
    EXPECT_EQ(mem.SetCell(0, 1000, &cell), 0);
    EXPECT_EQ(mem.GetCell(0, 999, &out), 1);
    EXPECT_EQ(mem.GetCell(0, 1000, &out), 0);
    EXPECT_STREQ(out.GetText(), "far");
    EXPECT_EQ(mem.SetCell(-1, -1, &cell), 0); // heading cells live in the same store
    EXPECT_EQ(mem.GetCell(-1, -1, &out), 0);
    EXPECT_EQ(mem.DeleteCell(0, 1000), 0);
    EXPECT_EQ(mem.GetCell(0, 1000, &out), 1);
    EXPECT_EQ(mem.DeleteCell(0, 5000), 1);
    EXPECT_EQ(mem.Empty(), -1);
    EXPECT_EQ(mem.GetCell(-1, -1, &out), 1);
}

TEST(UGDataSources, InsertAndDeleteRows)
{
    TestGrid g(2, 3);
    g.SetTextAt(0, 0, "A");
    g.SetTextAt(0, 1, "B");
    g.SetTextAt(0, 2, "C");
    EXPECT_EQ(g.DeleteRow(1), 0);
    EXPECT_EQ(Column(g, 0), (std::vector<std::string>{"A", "C"}));
    EXPECT_EQ(g.InsertRow(1), 0);
    EXPECT_EQ(Column(g, 0), (std::vector<std::string>{"A", "", "C"}));
    EXPECT_EQ(g.InsertRow(5), 1); // beyond the count
    EXPECT_EQ(g.InsertRow(3), 0); // not stored: the source is unchanged, the count grows
    EXPECT_EQ(g.GetRowCount(), 4);
    EXPECT_EQ(g.DeleteRow(4), 1);
}

TEST(UGDataSources, InsertDeleteAndMoveColumns)
{
    TestGrid g(3, 2);
    for (int c = 0; c < 3; ++c)
        g.SetTextAt(c, 0, std::string(1, char('a' + c)).c_str());
    g.SetColWidth(2, 33);
    EXPECT_EQ(g.InsertCol(1), 0);
    EXPECT_EQ(g.GetColCount(), 4);
    EXPECT_EQ(g.GetTextAt(0, 0), "a");
    EXPECT_EQ(g.GetTextAt(1, 0), "");
    EXPECT_EQ(g.GetTextAt(2, 0), "b");
    EXPECT_EQ(g.GetTextAt(3, 0), "c");
    EXPECT_EQ(g.GetColWidth(3), 33);
    EXPECT_EQ(g.DeleteCol(1), 0);
    EXPECT_EQ(g.GetTextAt(1, 0), "b");
    EXPECT_EQ(g.GetTextAt(2, 0), "c");
    EXPECT_EQ(g.DeleteCol(3), 1);

    // The column record moves; the cells follow through its translation.
    EXPECT_EQ(g.MoveColPosition(0, 2, FALSE), 0);
    EXPECT_EQ(g.GetTextAt(0, 0), "b");
    EXPECT_EQ(g.GetTextAt(1, 0), "c");
    EXPECT_EQ(g.GetTextAt(2, 0), "a");
    EXPECT_EQ(g.MoveColPosition(0, 1, TRUE), 0); // already there
    EXPECT_EQ(g.MoveColPosition(0, 4, TRUE), 1);
    EXPECT_EQ(g.MoveColPosition(3, 0, TRUE), 1);
}

TEST(UGDataSources, SortAscendingDescendingAndMissing)
{
    TestGrid g(2, 4);
    g.SetTextAt(0, 0, "b");
    g.SetTextAt(1, 0, "row b");
    g.SetTextAt(0, 1, "a");
    g.SetTextAt(0, 2, "c");
    g.SetTextAt(1, 3, "no key");
    g.SortBy(0);
    EXPECT_EQ(Column(g, 0), (std::vector<std::string>{"", "a", "b", "c"}));
    EXPECT_EQ(g.GetTextAt(1, 2), "row b");
    g.SortBy(0, 2);
    EXPECT_EQ(Column(g, 0), (std::vector<std::string>{"c", "b", "a", ""}));

    // Equal keys keep their order, as the adjacent-swap sort leaves them.
    TestGrid s(2, 4);
    const char* keys[] = {"x", "y", "x", "y"};
    for (int r = 0; r < 4; ++r) {
        s.SetTextAt(0, r, keys[r]);
        s.SetTextAt(1, r, std::to_string(r).c_str());
    }
    s.SortBy(0);
    EXPECT_EQ(Column(s, 1), (std::vector<std::string>{"0", "2", "1", "3"}));
}

TEST(UGDataSources, FindDownAColumnAndAcrossColumns)
{
    TestGrid g(3, 5);
    g.SetTextAt(1, 1, "xaby");
    g.SetTextAt(1, 3, "ab");
    g.SetTextAt(2, 0, "AB");
    std::string text = "ab";
    int col = 1;
    long row = 0;
    ASSERT_EQ(g.FindFirst(&text, &col, &row, 1), 0);
    EXPECT_EQ(col, 1);
    EXPECT_EQ(row, 1);
    ASSERT_EQ(g.FindNext(&text, &col, &row, 1), 0);
    EXPECT_EQ(row, 3);
    ASSERT_EQ(g.FindNext(&text, &col, &row, 0), 0); // whole text, wrapping past the end
    EXPECT_EQ(row, 3);
    col = 0;
    ASSERT_EQ(g.FindFirst(&text, &col, &row, 1 | 2 | 8), 0);
    EXPECT_EQ(col, 2);
    EXPECT_EQ(row, 0);
    EXPECT_EQ(text, "AB"); // turned to upper case in the caller's string
    text = "zz";
    col = 1;
    EXPECT_EQ(g.FindFirst(&text, &col, &row, 1), 1);
}

// Under a Turkish LC_CTYPE toupper('i') leaves it alone; a search that
// ignores case still finds "SILICON" from "silicon", part or whole cell.
TEST(UGDataSources, FindIgnoringCaseUnderATurkishLocale)
{
    CScopedLocale turkish(LC_CTYPE, "tr_TR.UTF-8");
    if (!turkish.Active())
        GTEST_SKIP() << "no tr_TR locale and none can be built";
    TestGrid g(2, 3);
    g.SetTextAt(1, 1, "SILICON");
    for (long flags : {2L, 1L | 2L}) {
        SCOPED_TRACE(flags);
        std::string text = "silicon";
        int col = 1;
        long row = 0;
        ASSERT_EQ(g.FindFirst(&text, &col, &row, flags), 0);
        EXPECT_EQ(row, 1);
    }
}

TEST(UGDataSources, RegistryIndexes)
{
    TestGrid g;
    CUGMemMan a, b, c;
    EXPECT_EQ(g.AddDataSource(nullptr), 1);
    EXPECT_EQ(g.AddDataSource(&a), 1);
    EXPECT_EQ(g.AddDataSource(&b), 2);
    EXPECT_EQ(a.GetID(), 1);
    EXPECT_EQ(g.SetDefDataSource(2), 0);
    EXPECT_EQ(g.RemoveDataSource(2), 0);
    EXPECT_EQ(g.GetDefDataSource(), 0); // nothing keeps pointing at a removed source
    EXPECT_EQ(g.RemoveDataSource(1), 0);
    EXPECT_EQ(g.RemoveDataSource(1), 1);
    EXPECT_EQ(g.AddDataSource(&c), 1);
    EXPECT_EQ(g.GetDataSource(0), g.Sheet()->m_CUGMem.get());
    EXPECT_EQ(g.GetDataSource(2), nullptr);
    EXPECT_EQ(g.SetDefDataSource(2), 1);
    EXPECT_EQ(g.SetGridUsingDataSource(7), 0);
    EXPECT_EQ(g.SetGridUsingDataSource(2), 1);
    EXPECT_EQ(g.SetGridUsingDataSource(1), 2); // the in-memory source reports no columns
}
