// Column letters, clipboard text, find and replace, and print pagination.

#include "UGrid/model/UGMask.h"
#include "UGrid/model/UGPrintLayout.h"
#include "UGrid/model/UGTextOps.h"
#include "model_TestGrid.h"

#include <gtest/gtest.h>

#include <set>

TEST(UGTextOps, ColumnLettersNeverRepeat)
{
    const std::pair<int, const char*> cases[] = {
        {0, "A"},    {1, "B"},    {25, "Z"},   {26, "AA"},   {27, "AB"},     {51, "AZ"}, {52, "BA"},
        {675, "YZ"}, {676, "ZA"}, {701, "ZZ"}, {702, "AAA"}, {16383, "XFD"}, {-1, ""}};
    for (auto [col, letters] : cases)
        EXPECT_EQ(UGColumnLetters(col), letters) << col;
    std::set<std::string> seen;
    for (int c = 0; c < 20000; ++c)
        ASSERT_TRUE(seen.insert(UGColumnLetters(c)).second) << c;
}

TEST(UGTextOps, PasteFieldsWithEveryLineEnd)
{
    using F = std::vector<UGPasteField>;
    auto same = [](const F& a, const F& b) {
        if (a.size() != b.size())
            return false;
        for (size_t i = 0; i < a.size(); ++i)
            if (a[i].dcol != b[i].dcol || a[i].drow != b[i].drow || a[i].text != b[i].text)
                return false;
        return true;
    };
    const F grid = {{0, 0, "1"}, {1, 0, "2"}, {0, 1, "3"}, {1, 1, "4"}};
    for (const char* text : {"1\t2\r\n3\t4", "1\t2\n3\t4", "1\t2\r3\t4", "1\t2\r\n3\t4\r\n"})
        EXPECT_TRUE(same(UGSplitPasteText(text), grid)) << text;
    EXPECT_TRUE(same(UGSplitPasteText("\t\tx"), F{{0, 0, ""}, {1, 0, ""}, {2, 0, "x"}}));
    EXPECT_TRUE(same(UGSplitPasteText("a\n\nb"), F{{0, 0, "a"}, {0, 1, ""}, {0, 2, "b"}}));
    EXPECT_TRUE(UGSplitPasteText("").empty());
}

TEST(UGTextOps, ReplaceAllGuardFollowsTheCaseRule)
{
    EXPECT_TRUE(UGReplaceAllLoops("a", "ab", true, true));
    EXPECT_FALSE(UGReplaceAllLoops("a", "ab", true, false)); // whole cell: "ab" is no match for "a"
    EXPECT_TRUE(UGReplaceAllLoops("a", "A", false, false));  // ignoring case, "A" is found again
    EXPECT_FALSE(UGReplaceAllLoops("a", "A", true, false));
    EXPECT_TRUE(UGReplaceAllLoops("x", "yXz", false, true));
    EXPECT_FALSE(UGReplaceAllLoops("x", "y", false, true));
}

namespace {
// A grid with a clipboard of its own and a record of "Item not found".
class ClipGrid : public TestGrid
{
public:
    using TestGrid::TestGrid;
    int CopyToClipboard(const char* text) override
    {
        clip = text;
        hasClip = true;
        return 0;
    }
    int GetClipboardText(std::string& text) override
    {
        text = clip;
        return hasClip ? 0 : 1;
    }
    void ShowNotFound() override { ++notFound; }
    void OpenFind() { m_findDialogOpen = true; }
    void OnSetCell(int col, long row, CUGCell* cell) override
    {
        if (refuseCol == col && row >= 0)
            cell->SetText(refusedText.c_str());
    }
    std::string clip;
    bool hasClip = false;
    int notFound = 0;
    int refuseCol = -100;
    std::string refusedText;
};
} // namespace

TEST(UGClipboard, CopyCutAndPaste)
{
    ClipGrid g(6, 10);
    g.SetTextAt(0, 0, "a");
    g.SetTextAt(1, 0, "b");
    g.SetTextAt(0, 1, "c");
    g.SetTextAt(1, 1, "d");
    g.SetMultiSelectMode(1);
    g.SelectRange(0, 0, 1, 1);
    g.CopySelected();
    EXPECT_EQ(g.clip, "a\tb\nc\td");
    EXPECT_EQ(g.GetTextAt(1, 1), "d");

    g.GotoCell(0, 0);
    g.SelectRange(0, 0, 0, 1);
    g.CutSelected();
    EXPECT_EQ(g.clip, "a\nc");
    EXPECT_EQ(g.GetTextAt(0, 0), "");
    EXPECT_EQ(g.GetTextAt(0, 1), "");
    EXPECT_EQ(g.GetTextAt(1, 0), "b");

    g.GotoCell(2, 5);
    g.PasteText("1\t2\r\n3\t4");
    EXPECT_EQ(g.GetTextAt(2, 5), "1");
    EXPECT_EQ(g.GetTextAt(3, 5), "2");
    EXPECT_EQ(g.GetTextAt(2, 6), "3");
    EXPECT_EQ(g.GetTextAt(3, 6), "4");
    EXPECT_TRUE(g.IsSelected(3, 6));
    EXPECT_FALSE(g.IsSelected(4, 6));
    EXPECT_FALSE(g.IsSelected(3, 7));

    g.hasClip = false;
    EXPECT_EQ(g.Paste(), 1);
}

TEST(UGClipboard, PasteStopsAtTheGridsEdge)
{
    ClipGrid g(3, 4);
    g.SetMultiSelectMode(1);
    g.GotoCell(1, 2);
    g.PasteText("a\tb\tc\td\ne\tf\tg\nh\ti\nj");
    EXPECT_EQ(g.GetTextAt(1, 2), "a");
    EXPECT_EQ(g.GetTextAt(2, 2), "b");
    EXPECT_EQ(g.GetTextAt(2, 3), "f");
    EXPECT_EQ(g.GetRowCount(), 4);
    EXPECT_EQ(g.GetColCount(), 3);
    EXPECT_EQ(g.GetTextAt(1, 4), ""); // nothing stored below the last row
    EXPECT_TRUE(g.IsSelected(2, 3));
}

TEST(UGFind, ReplaceAllFindNextAndGuards)
{
    ClipGrid g(1, 6);
    for (long r = 0; r < 6; ++r)
        g.SetTextAt(0, r, r % 2 ? "x" : "a");
    g.GotoCell(0, 0);
    ClipGrid::FindRequest req;
    req.find = "a";
    req.replace = "ab";
    req.kind = ClipGrid::FindRequest::ReplaceAll;

    EXPECT_EQ(g.OnFindReplace(req), 0); // no dialog: nothing happens
    g.OpenFind();
    g.OnFindReplace(req); // "ab" contains "a" with part matching: nothing replaced
    EXPECT_EQ(g.GetTextAt(0, 2), "a");
    EXPECT_EQ(g.notFound, 0);
    EXPECT_EQ(g.GetCurrentRow(), 2); // the closing search went on to the next "a"

    req.find = "x";
    req.replace = "y";
    g.OnFindReplace(req);
    for (long r = 1; r < 6; r += 2)
        EXPECT_EQ(g.GetTextAt(0, r), "y");
    EXPECT_EQ(g.notFound, 1);

    // A table that puts the search text back: the loop ends after one wrap.
    g.refuseCol = 0;
    g.refusedText = "a";
    req.find = "a";
    req.replace = "z";
    g.OnFindReplace(req);
    EXPECT_EQ(g.GetTextAt(0, 0), "a");

    req.kind = ClipGrid::FindRequest::Closing;
    EXPECT_EQ(g.OnFindReplace(req), 1);
    EXPECT_FALSE(g.IsFindDialogOpen());
}

TEST(UGTextOps, ReplaceKeepsTheRestOfTheCell)
{
    struct Case
    {
        const char *cell, *find, *with;
        bool matchCase, part, matches;
        const char* result;
    } cases[] = {
        {"Fe 2p3/2", "Fe", "Co", true, true, true, "Co 2p3/2"},
        {"Fe 2p3/2", "fe", "Co", false, true, true, "Co 2p3/2"},
        {"Fe 2p3/2", "fe", "Co", true, true, false, ""},
        {"a-a-a", "a", "bb", true, true, true, "bb-bb-bb"},
        {"Fe 2p3/2", "Fe", "Co", true, false, false, ""}, // whole cell: no match
        {"FE", "fe", "Co", false, false, true, "Co"},
        {"x", "", "y", true, true, false, ""},
    };
    for (const Case& c : cases) {
        std::string result;
        EXPECT_EQ(UGReplaceInText(c.cell, c.find, c.with, c.matchCase, c.part, &result), c.matches) << c.cell;
        if (c.matches)
            EXPECT_EQ(result, c.result) << c.cell;
    }
}

TEST(UGFind, ReplaceTouchesOnlyMatchingEditableCells)
{
    ClipGrid g(2, 4);
    g.SetTextAt(0, 0, "1.5");
    g.SetTextAt(0, 1, "Fe 2p");
    g.SetTextAt(0, 2, "Fe 3d");
    g.SetTextAt(0, 3, "Fe 3p");
    CUGCell cell;
    g.GetCell(0, 2, &cell);
    cell.SetReadOnly(1);
    g.SetCell(0, 2, &cell);
    g.GotoCell(0, 0);
    g.OpenFind();
    ClipGrid::FindRequest req;
    req.find = "Fe";
    req.replace = "Co";
    req.matchCase = true;
    req.down = true;

    // Replace before anything is found: the current cell is not a match and keeps its text.
    req.kind = ClipGrid::FindRequest::Replace;
    g.OnFindReplace(req);
    EXPECT_EQ(g.GetTextAt(0, 0), "1.5");
    EXPECT_EQ(g.GetCurrentRow(), 1);
    g.OnFindReplace(req); // now on a match: only the matched part changes
    EXPECT_EQ(g.GetTextAt(0, 1), "Co 2p");

    req.kind = ClipGrid::FindRequest::ReplaceAll;
    g.OnFindReplace(req);
    EXPECT_EQ(g.GetTextAt(0, 2), "Fe 3d"); // read-only
    EXPECT_EQ(g.GetTextAt(0, 3), "Co 3p");
    EXPECT_EQ(g.GetTextAt(0, 0), "1.5");
}

// Columns moved on screen: the data source finds by its own column index, and
// the grid must go to (and replace in) the column that shows the match.
TEST(UGFind, MovedColumnsFindAndReplaceTheShownCell)
{
    for (bool allCols : {false, true}) {
        ClipGrid g(3, 5);
        g.SetColTranslation(0, 2);
        g.SetColTranslation(2, 0);
        g.SetTextAt(2, 3, "Fe 2p");
        g.SetTextAt(0, 1, "O 1s");
        g.SetFindInAllCols(allCols);
        g.GotoCell(2, 0);
        g.OpenFind();
        ClipGrid::FindRequest req;
        req.find = "Fe";
        req.replace = "Co";
        g.OnFindReplace(req);
        EXPECT_EQ(g.GetCurrentCol(), 2) << allCols;
        EXPECT_EQ(g.GetCurrentRow(), 3) << allCols;

        req.kind = ClipGrid::FindRequest::ReplaceAll;
        g.OnFindReplace(req);
        EXPECT_EQ(g.GetTextAt(2, 3), "Co 2p") << allCols;
        EXPECT_EQ(g.GetTextAt(0, 1), "O 1s") << allCols;
        EXPECT_EQ(g.GetTextAt(0, 3), "") << allCols;
        EXPECT_EQ(g.notFound, 1) << allCols;
    }
}

TEST(UGPrintLayout, WorkedPages)
{
    // A4 portrait at 600 dpi: 4960 x 7016 pixels, 210 x 297 mm.
    const UGPrinterMetrics a4{4960, 7016, 210, 297};
    const UGPageGeometry g = UGCalcPageGeometry(a4, UGPrintMargins{}, 0, 0);
    EXPECT_EQ(g.printableWidth, 606);
    EXPECT_EQ(g.printableHeight, 933);
    EXPECT_EQ(g.leftEdge, int(4960.0 / 210 * 25));

    const auto cols = UGCalcBands(std::vector<int>(12, 75), 0, 0, g.printableWidth);
    ASSERT_EQ(cols.size(), 2u);
    EXPECT_EQ(cols[0].last, 7);
    EXPECT_EQ(cols[1].first, 8);
    const auto rows = UGCalcBands(std::vector<int>(100, 20), 0, 0, g.printableHeight);
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_EQ(rows[0].last, 45);
    EXPECT_EQ(rows[2].last, 99);

    // A column wider than the page keeps a band of its own and is cut.
    const auto wide = UGCalcBands({100, 700, 100}, 3, 0, 606);
    ASSERT_EQ(wide.size(), 3u);
    EXPECT_EQ(wide[1].first, 4);
    EXPECT_EQ(wide[1].last, 4);
}

TEST(UGPrintLayout, NoPrintableAreaGivesNoPages)
{
    const UGPrinterMetrics a4{4960, 7016, 210, 297};
    EXPECT_TRUE(UGCalcPageGeometry(a4, UGPrintMargins{110, 25, 110, 25}, 0, 0).empty());
    EXPECT_TRUE(UGCalcPageGeometry(a4, UGPrintMargins{}, 700, 0).empty());
    EXPECT_TRUE(UGCalcPageGeometry(UGPrinterMetrics{}, UGPrintMargins{}, 0, 0).empty());
    EXPECT_TRUE(UGCalcBands({10, 20}, 0, 0, 0).empty());
}

TEST(UGMaskEnds, TypingNeverReadsPastTheMask)
{
    // A trailing backslash escapes nothing; a mask of literals only takes nothing typed.
    for (const char* mask : {"0\\", "\\", "(0)", "--"}) {
        CUGMask m;
        m.SetMask(mask);
        std::string text;
        int caret = 0;
        for (int i = 0; i < 8; ++i) {
            int end = caret;
            if (m.TypeChar(text, caret, end, '5'))
                text.insert(size_t(caret++), 1, '5');
            ASSERT_LE(text.size(), m.Positions().size()) << mask;
        }
        std::string long_text(40, '7');
        m.ApplyMask(long_text);
        EXPECT_LE(long_text.size(), m.Positions().size()) << mask;
    }
}
