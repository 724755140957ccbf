#include "model_TestGrid.h"

#include <gtest/gtest.h>

#include <algorithm>

TEST(UGLayout, ScrollBarsShowOnlyWhenNeeded)
{
    struct
    {
        const char* name;
        int cols;
        long rows;
        int width, height, tab;
        bool v, h;
    } cases[] = {
        // side heading 40, top heading 20, bars 17
        {"everything fits", 3, 5, 300, 200, 0, false, false},
        {"tab bar keeps the horizontal row", 3, 5, 300, 200, 50, false, true},
        {"columns too wide, rows fit above the bar", 6, 5, 300, 200, 0, false, true},
        {"rows fit only without the bar", 6, 8, 300, 190, 0, true, true},
        {"rows too many", 3, 50, 300, 200, 0, true, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TestGrid g(c.cols, c.rows, c.width, c.height);
        g.SetTabWidth(c.tab);
        const UGLayout L = g.CalcLayout(c.width, c.height);
        EXPECT_EQ(L.vScrollShown, c.v);
        EXPECT_EQ(L.hScrollShown, c.h);
        EXPECT_EQ(L.grid.left, 40);
        EXPECT_EQ(L.grid.top, 20);
        EXPECT_EQ(L.grid.right, c.width - (c.v ? 17 : 0));
        EXPECT_EQ(L.grid.bottom, c.height - (c.h ? 17 : 0));
        EXPECT_EQ(L.corner.right, 40);
        EXPECT_EQ(L.corner.bottom, 20);
    }
}

TEST(UGLayout, TabBarIsLimitedForTheLayoutOnly)
{
    TestGrid g(3, 5, 300, 200);
    g.SetTabWidth(1000);
    const UGLayout L = g.CalcLayout(300, 200);
    EXPECT_EQ(L.tab.right, 300 - 40 - 30);
    g.SetTabWidth(1);
    EXPECT_EQ(g.CalcLayout(300, 200).tab.right, 4);
    EXPECT_EQ(g.Sheet()->m_tabWidth, 1);
}

TEST(UGGeometry, CountsAndLimits)
{
    TestGrid g(3, 20);
    EXPECT_EQ(g.SetColCount(32001), 1);
    EXPECT_EQ(g.SetRowCount(-1), 1);
    EXPECT_EQ(g.SetColWidth(5, 40), 1);
    EXPECT_EQ(g.GetColWidth(99), 1);
    EXPECT_EQ(g.GetRowHeight(99), 0);
    EXPECT_EQ(g.GetRowHeight(-1), 0);
    g.SetColWidth(-1, 40);
    EXPECT_EQ(g.GetSideHdgColWidth(-1), 40);
    EXPECT_EQ(g.GetSideHdgWidth(), 40);
    g.SetColWidth(-1, 55);
    EXPECT_EQ(g.GetSideHdgWidth(), 55);

    g.GotoRow(10);
    g.SetRowCount(3);
    EXPECT_EQ(g.GetCurrentRow(), 2);
    g.SetRowCount(70000);
    EXPECT_EQ(g.Sheet()->m_uniformRowHeightFlag, 1);
    EXPECT_EQ(g.GetRowHeight(69999), 20);
    g.SetColCount(0);
    EXPECT_EQ(g.GetColCount(), 0);
    EXPECT_TRUE(g.Sheet()->m_colInfo.empty());
    EXPECT_EQ(g.GetCurrentCol(), -1);
    EXPECT_EQ(g.SetDefRowHeight(0), 1);
    EXPECT_EQ(g.SetTopHdgHeight(1025), 1);
    EXPECT_EQ(g.SetNumberTopHdgRows(65), 1);
}

TEST(UGGeometry, ZeroCountsClampLockedPart)
{
    TestGrid g(4, 10);
    g.LockRows(3);
    g.LockColumns(2);
    EXPECT_EQ(g.Sheet()->m_lockRowHeight, 60);
    EXPECT_EQ(g.Sheet()->m_lockColWidth, 150);
    g.SetRowCount(0);
    g.SetColCount(0);
    EXPECT_EQ(g.Sheet()->m_numLockRows, 0);
    EXPECT_EQ(g.Sheet()->m_lockRowHeight, 0);
    EXPECT_EQ(g.Sheet()->m_numLockCols, 0);
    EXPECT_EQ(g.Sheet()->m_lockColWidth, 0);
    g.SetRowCount(5);
    g.SetRowCount(2); // locked count 3 -> 1
    EXPECT_EQ(g.Sheet()->m_numLockRows, 0);
}

TEST(UGGeometry, FitColsToWidth)
{
    TestGrid g(3, 5, 400, 300);
    g.Sheet()->m_gridWidth = 300;
    g.SetColWidth(0, 50);
    g.SetColWidth(1, 50);
    g.SetColWidth(2, 100);
    EXPECT_EQ(g.FitColsToWidth(0, 2), 0);
    EXPECT_EQ(g.GetColWidth(0), 75);
    EXPECT_EQ(g.GetColWidth(1), 75);
    EXPECT_EQ(g.GetColWidth(2), 150);
    // All widths zero: shared equally, the last one takes the rest.
    for (int c = 0; c < 3; ++c)
        g.SetColWidth(c, 0);
    g.Sheet()->m_gridWidth = 301;
    EXPECT_EQ(g.FitColsToWidth(0, 2), 0);
    EXPECT_EQ(g.GetColWidth(0), 100);
    EXPECT_EQ(g.GetColWidth(1), 100);
    EXPECT_EQ(g.GetColWidth(2), 101);
    EXPECT_EQ(g.FitColsToWidth(-1, 2), 1);
    EXPECT_EQ(g.FitColsToWidth(2, 1), 1);
    EXPECT_EQ(g.FitColsToWidth(0, 3), 1);
}

TEST(UGGeometry, HeadingRescale)
{
    TestGrid g;
    g.SetNumberTopHdgRows(2);
    g.SetTopHdgRowHeight(-1, 10);
    g.SetTopHdgRowHeight(-2, 10);
    g.SetTopHdgHeight(30);
    EXPECT_EQ(g.GetTopHdgRowHeight(-1), 15);
    EXPECT_EQ(g.GetTopHdgRowHeight(-2), 15);
    EXPECT_EQ(g.SetTopHdgRowHeight(0, 5), 1);
    EXPECT_EQ(g.SetTopHdgRowHeight(-3, 5), 1);
    EXPECT_EQ(g.SetTopHdgRowHeight(-1, 2000), 2);
    // Sizes that sum to zero: the outermost heading row takes the new height.
    g.SetTopHdgRowHeight(-1, 0);
    g.SetTopHdgRowHeight(-2, 0);
    EXPECT_EQ(g.SetTopHdgHeight(24), 0);
    EXPECT_EQ(g.GetTopHdgRowHeight(-1), 0);
    EXPECT_EQ(g.GetTopHdgRowHeight(-2), 24);
    g.SetNumberSideHdgCols(2);
    g.SetSideHdgColWidth(-1, 0);
    g.SetSideHdgColWidth(-2, 0);
    EXPECT_EQ(g.SetSideHdgWidth(30), 0);
    EXPECT_EQ(g.GetSideHdgColWidth(-2), 30);
}

TEST(UGGeometry, LargestTopRowAndScrollLimits)
{
    // 2000 rows of 20 in a 200-pixel cell area: the last top row is 1990.
    TestGrid g(2, 2000, 300, 20 + 200);
    EXPECT_EQ(g.Sheet()->m_gridHeight, 200);
    EXPECT_EQ(g.Sheet()->m_maxTopRow, 1990);
    EXPECT_EQ(g.SetTopRow(5000), 0);
    EXPECT_EQ(g.GetTopRow(), 1990);
    g.SetUniformRowHeight(TRUE);
    EXPECT_EQ(g.CalcMaxTopRow(), 1990);
    EXPECT_EQ(CUGCtrlCore::AutoScrollStep(30, 20, 2), 4);
    EXPECT_EQ(CUGCtrlCore::AutoScrollStep(10, 20, 2), 1);
    EXPECT_EQ(CUGCtrlCore::AutoScrollStep(30, 0, 1), 31); // a zero default width divides by 1
    EXPECT_EQ(CUGCtrlCore::AutoScrollStep(30, 20, 0), 1);
}

TEST(UGNavigation, RowMovesBottomAndRefusals)
{
    TestGrid g(5, 20);
    g.GotoRow(-5);
    EXPECT_EQ(g.GetCurrentRow(), 0);
    g.log.clear();
    EXPECT_EQ(g.GotoRow(1000), 0);
    EXPECT_EQ(g.log.front(), "BottomReached 20 981");
    EXPECT_EQ(g.GetCurrentRow(), 19);
    EXPECT_EQ(g.GotoRow(1000), 1);

    g.addRowsAtBottom = 5; // the table adds rows when asked
    EXPECT_EQ(g.GotoRow(20), 0);
    EXPECT_EQ(g.GetCurrentRow(), 24);

    g.GotoCol(1);
    g.allowMove = 0;
    g.log.clear();
    EXPECT_EQ(g.GotoCol(3), 2);
    EXPECT_EQ(g.GetCurrentCol(), 1);
    EXPECT_EQ(std::count_if(g.log.begin(), g.log.end(), [](auto& s) { return s.rfind("ColChange", 0) == 0; }),
              0);
}

TEST(UGNavigation, GotoCellRefusesColumnsOutsideTheGrid)
{
    TestGrid g(5, 20);
    g.GotoCell(2, 3);
    EXPECT_EQ(g.GotoCell(5, 3), 1);
    EXPECT_EQ(g.GotoCell(-1, 3), 1);
    EXPECT_EQ(g.GetCurrentCol(), 2);
    EXPECT_EQ(g.GetCurrentRow(), 3);
}

TEST(UGNavigation, LockedRowsStayAndScrollingStartsAfterThem)
{
    TestGrid g(3, 100, 300, 20 + 200 + 17);
    g.LockRows(2);
    EXPECT_EQ(g.GetTopRow(), 2);
    g.GotoRow(50);
    EXPECT_GT(g.GetTopRow(), 2);
    g.SetTopRow(0);
    EXPECT_EQ(g.GetTopRow(), 2);
    g.GotoRow(0);
    EXPECT_EQ(g.GetTopRow(), 2);
    int col;
    long row;
    EXPECT_EQ(g.GetCellFromPoint(10, 5, &col, &row), 0);
    EXPECT_EQ(row, 0);
    EXPECT_EQ(g.GetCellFromPoint(10, 45, &col, &row), 0);
    EXPECT_EQ(row, 2);
    g.MoveTopRow(0);
    EXPECT_EQ(g.GetTopRow(), 2);
}

TEST(UGNavigation, PointsPastTheLockedPartFindTheScrolledCells)
{
    TestGrid g(20, 100, 400, 300);
    g.LockRows(2);
    g.LockColumns(1);
    ASSERT_EQ(g.SetTopRow(10), 0);
    ASSERT_EQ(g.SetLeftCol(5), 0);
    const int w = g.Sheet()->ColWidth(0), h = g.Sheet()->RowHeight(0);
    int col;
    long row;
    ASSERT_EQ(g.GetCellFromPoint(w / 2, h / 2, &col, &row), 0);
    EXPECT_EQ(col, 0);
    EXPECT_EQ(row, 0);
    // Just past the locked row and column: the first ones scrolled into view.
    ASSERT_EQ(g.GetCellFromPoint(w + 1, 2 * h + 1, &col, &row), 0);
    EXPECT_EQ(col, 5);
    EXPECT_EQ(row, 10);
}

TEST(UGNavigation, ScrollNotificationsAndPageMoves)
{
    TestGrid g(3, 100, 300, 20 + 200 + 17);
    g.log.clear();
    g.MoveCurrentRow(3); // page down from row 0
    EXPECT_EQ(g.GetCurrentRow(), 10);
    EXPECT_EQ(g.GetTopRow(), 1);
    EXPECT_NE(std::find(g.log.begin(), g.log.end(), "TopRowChange 0 1"), g.log.end());
    g.MoveCurrentRow(2);
    EXPECT_EQ(g.GetCurrentRow(), 0);
    g.MoveCurrentRow(5);
    EXPECT_EQ(g.GetCurrentRow(), 99);
    EXPECT_EQ(g.GetTopRow(), g.Sheet()->m_maxTopRow);
}

TEST(UGNavigation, JoinedCellsBendColumnMoves)
{
    TestGrid g(8, 5, 800, 300);
    ASSERT_EQ(g.JoinCells(2, 1, 4, 1), 0);
    g.GotoCell(1, 1);
    struct
    {
        int target;
        int expected;
    } steps[] = {{2, 2}, {3, 5}, {4, 4}, {3, 1}};
    for (const auto& s : steps) {
        SCOPED_TRACE(s.target);
        g.GotoCol(s.target);
        EXPECT_EQ(g.GetCurrentCol(), s.expected);
    }
}

TEST(UGJoins, StoredInformationAndRanges)
{
    TestGrid g(5, 6);
    EXPECT_EQ(g.JoinCells(1, 1, 2, 3), 0);
    CUGCell cell;
    int flag, dc;
    long dr;
    g.GetCell(1, 1, &cell);
    ASSERT_EQ(cell.GetJoinInfo(&flag, &dc, &dr), 0);
    EXPECT_EQ(flag, 1);
    EXPECT_EQ(dc, 1);
    EXPECT_EQ(dr, 2);
    g.GetCell(2, 3, &cell);
    ASSERT_EQ(cell.GetJoinInfo(&flag, &dc, &dr), 0);
    EXPECT_EQ(flag, 0);
    EXPECT_EQ(dc, -1);
    EXPECT_EQ(dr, -2);

    int col = 2, ec;
    long row = 2, er;
    EXPECT_EQ(g.GetJoinRange(&col, &row, &ec, &er), 0);
    EXPECT_EQ(col, 1);
    EXPECT_EQ(row, 1);
    EXPECT_EQ(ec, 2);
    EXPECT_EQ(er, 3);
    RECT rect;
    col = 2;
    row = 3;
    g.GetCellRect(&col, &row, &rect);
    EXPECT_EQ(rect.left, 75);
    EXPECT_EQ(rect.right, 225);
    EXPECT_EQ(rect.top, 20);
    EXPECT_EQ(rect.bottom, 80);
    EXPECT_EQ(g.GetCellFromPoint(200, 70, &col, &row), 0);
    EXPECT_EQ(col, 1);
    EXPECT_EQ(row, 1);
    EXPECT_EQ(g.GetCellFromPointNoJoin(200, 70, &col, &row), 0);
    EXPECT_EQ(col, 2);
    EXPECT_EQ(row, 3);

    EXPECT_EQ(g.JoinCells(2, 2, 1, 3), 1);
    EXPECT_EQ(g.JoinCells(0, 0, 5, 1), 1);
    EXPECT_EQ(g.JoinCells(-2, 0, 1, 1), 1);
    g.UnJoinCells(2, 2);
    col = 1;
    row = 1;
    EXPECT_EQ(g.GetJoinRange(&col, &row, &ec, &er), 2);
    g.EnableJoins(FALSE);
    EXPECT_EQ(g.GetJoinRange(&col, &row, &ec, &er), 1);
}

TEST(UGCellAccess, ComposedFetchOrder)
{
    TestGrid g(3, 5);
    CUGCell def;
    def.SetTextColor(UGRGB(1, 1, 1));
    def.SetAlignment(UG_ALIGNRIGHT);
    g.SetColDefault(1, &def);
    CUGCell stored;
    stored.SetText("v");
    stored.SetAlignment(UG_ALIGNCENTER);
    stored.SetBackColor(UGRGB(0, 0, 255));
    CUGCell style;
    style.SetBackColor(UGRGB(255, 0, 0));
    stored.SetCellStyle(&style);
    g.SetCell(1, 2, &stored);
    g.getCellBack = UGRGB(0, 255, 0);

    CUGCell composed;
    g.GetCellIndirect(1, 2, &composed);
    EXPECT_STREQ(composed.GetText(), "v");
    EXPECT_EQ(composed.GetTextColor(), UGRGB(1, 1, 1));   // column default
    EXPECT_EQ(composed.GetAlignment(), UG_ALIGNCENTER);   // data source over default
    EXPECT_EQ(composed.GetBackColor(), UGRGB(255, 0, 0)); // style over OnGetCell over stored

    style.ClearPropertyFlags(UGCELL_BACKCOLOR);
    g.GetCellIndirect(1, 2, &composed);
    EXPECT_EQ(composed.GetBackColor(), UGRGB(0, 255, 0)); // OnGetCell over stored

    CUGCell plain;
    g.GetCell(1, 2, &plain);
    EXPECT_EQ(plain.GetBackColor(), UGRGB(0, 0, 255)); // the public fetch is the stored cell only
    EXPECT_FALSE(plain.IsPropertySet(UGCELL_TEXTCOLOR));

    g.getCellBack = 0;
    CUGCell heading;
    g.GetCellIndirect(-1, 2, &heading);
    EXPECT_EQ(heading.GetBorder(), UG_BDR_RAISED);
    EXPECT_EQ(heading.GetAlignment(), UG_ALIGNCENTER | UG_ALIGNVCENTER);
    EXPECT_EQ(heading.GetBackColor(), UGGetSysColor(UG_COLOR_BTNFACE));
}

TEST(UGCellAccess, PerCellOperationsAndTextValues)
{
    TestGrid g(3, 5);
    EXPECT_EQ(g.SetTextAt(0, 0, nullptr), 1);
    g.SetTextAt(0, 0, "abc");
    g.SetBackColorAt(0, 0, UGRGB(9, 9, 9));
    std::string first = g.GetTextAt(0, 0);
    g.SetTextAt(1, 0, "other"); // a later per-cell operation
    EXPECT_EQ(first, "abc");
    EXPECT_EQ(g.GetTextAt(0, 0), "abc");
    EXPECT_EQ(g.GetTextAt(7, 0), "");
    std::string t;
    EXPECT_EQ(g.GetTextAt(2, 0, &t), 1);
    g.SetNumberAt(2, 1, 2.5);
    EXPECT_EQ(g.GetTextAt(2, 1), "2.500000");
    EXPECT_EQ(g.SetTextAt(3, 0, "x"), 1);
    CUGCell cell;
    cell.SetText("r");
    EXPECT_EQ(g.SetCellRange(1, 2, 3, 3, &cell), 2); // column 3 does not exist
}

TEST(UGCellAccess, OnSetCellThatStoresAnotherCellKeepsTheFirst)
{
    // A table that keeps a derived cell up to date from its OnSetCell.
    struct DerivedGrid : TestGrid
    {
        void OnSetCell(int col, long row, CUGCell*) override
        {
            if (col == 0)
                SetTextAt(1, row, "derived");
        }
    } g;
    g.SetTextAt(0, 0, "typed");
    g.SetNumberAt(0, 1, 2.5);
    g.SetLabelAt(0, 2, "label");
    EXPECT_EQ(g.GetTextAt(0, 0), "typed");
    EXPECT_EQ(g.GetTextAt(0, 1), "2.500000");
    CUGCell cell;
    g.GetCell(0, 2, &cell);
    ASSERT_NE(cell.GetLabel(), nullptr);
    EXPECT_STREQ(cell.GetLabel(), "label");
    EXPECT_EQ(cell.GetText(), nullptr);
    for (long row = 0; row < 3; ++row)
        EXPECT_EQ(g.GetTextAt(1, row), "derived");
}

TEST(UGCellAccess, DefaultComparison)
{
    TestGrid g;
    CUGCell a, b;
    a.SetNumber(10);
    b.SetNumber(9);
    EXPECT_GT(g.OnCompareCells(&a, &b, 0), 0);
    EXPECT_LT(g.OnCompareCells(&a, &b, 2), 0);
    a.SetText("10");
    b.SetText("9");
    EXPECT_LT(g.OnCompareCells(&a, &b, 0), 0);
    EXPECT_LT(g.OnCompareCells(nullptr, &b, 0), 0);
    std::string hint;
    g.OnHint(3, 12, UG_SECTION_GRID, &hint);
    EXPECT_EQ(hint, "Col:3 Row:12");
}

TEST(UGSheets, AddRemoveAndSwitch)
{
    TestGrid g;
    EXPECT_EQ(g.SetNumberSheets(0), 1);
    EXPECT_EQ(g.SetNumberSheets(1025), 1);
    g.log.clear();
    g.SetNumberSheets(3);
    EXPECT_EQ(g.log, (std::vector<std::string>{"SheetSetup 1", "SheetSetup 2"}));
    EXPECT_EQ(g.GetSheetNumber(), 0);
    g.SetSheetNumber(2);
    g.SetNumberSheets(1);
    EXPECT_EQ(g.GetSheetNumber(), 0);
    EXPECT_EQ(g.GetNumberSheets(), 1);

    g.SetNumberSheets(2);
    g.SetSheetNumber(1, TRUE);
    g.log.clear();
    g.SetColCount(3); // its move to column 0 is the first move on the sheet
    EXPECT_NE(std::find(g.log.begin(), g.log.end(), "TopRowChange -1 0"), g.log.end());
    EXPECT_NE(std::find(g.log.begin(), g.log.end(), "LeftColChange -1 0"), g.log.end());
    EXPECT_EQ(g.SetCurrentCellMode(4), 1);
}

// An edit left open while its sheet is left or removed: the editor finishing
// later must not write its text into the other sheet's cell.
TEST(UGSheets, AnOpenEditNeverLandsOnAnotherSheet)
{
    for (bool removeSheet : {false, true}) {
        TestGrid g;
        g.SetNumberSheets(3);
        g.SetTextAt(1, 1, "sheet 0");
        g.SetSheetNumber(2);
        g.SetColCount(5);
        g.SetRowCount(20);
        ASSERT_EQ(g.StartEditCell(1, 1, 0), 0);
        if (removeSheet)
            g.SetNumberSheets(1);
        else
            g.SetSheetNumber(0);
        EXPECT_FALSE(g.IsEditing()) << removeSheet;
        g.EditCtrlFinished("typed", 0, 0, 0, 0); // the editor loses the focus at last
        EXPECT_EQ(g.GetSheetNumber(), 0);
        EXPECT_EQ(g.GetTextAt(1, 1), "sheet 0") << removeSheet;
    }
}

TEST(UGSelection, ClickShiftCtrlAndEnumeration)
{
    TestGrid g(8, 10, 800, 400);
    g.SetMultiSelectMode(TRUE);
    g.SetMove(1, UG_MK_LBUTTON);
    g.GotoCell(1, 1);
    g.SetMove(1, UG_MK_LBUTTON | UG_MK_SHIFT);
    g.GotoCell(3, 4);
    EXPECT_EQ(g.GetCurrentCol(), 1);
    EXPECT_EQ(g.GetCurrentRow(), 1);
    int n = 0, col;
    long row;
    for (int rc = g.EnumFirstSelected(&col, &row); rc == 0; rc = g.EnumNextSelected(&col, &row))
        ++n;
    EXPECT_EQ(n, 12);
    g.SetMove(1, UG_MK_LBUTTON | UG_MK_CONTROL);
    g.GotoCell(6, 6);
    EXPECT_EQ(g.Sheet()->m_multiSelect->GetNumberBlocks(), 2);
    g.SetMove(1, UG_MK_LBUTTON);
    g.GotoCell(0, 0);
    EXPECT_EQ(g.Sheet()->m_multiSelect->GetNumberBlocks(), 1);
    EXPECT_EQ(g.IsSelected(6, 6), 0);
    g.SetMove(0, 0);
}

TEST(UGSelection, EnumerationOverOverlappingBlocksAndTotalRange)
{
    TestGrid g(8, 10, 800, 400);
    g.SetMultiSelectMode(TRUE);
    g.GotoCell(1, 1);
    g.SelectRange(1, 1, 2, 2);
    g.SelectRange(2, 2, 3, 3);
    std::vector<std::pair<int, long>> cells;
    int col;
    long row;
    for (int rc = g.EnumFirstSelected(&col, &row); rc == 0; rc = g.EnumNextSelected(&col, &row))
        cells.emplace_back(col, row);
    EXPECT_EQ(cells,
              (std::vector<std::pair<int, long>>{{1, 1}, {2, 1}, {1, 2}, {2, 2}, {3, 2}, {2, 3}, {3, 3}}));

    CUGMultiSelect& ms = *g.Sheet()->m_multiSelect;
    ms.ClearAll();
    int c1, c2;
    long r1, r2;
    EXPECT_EQ(ms.GetTotalRange(&c1, &r1, &c2, &r2), 2);
    ms.StartBlock(0, 5);
    ms.EndBlock(2, 6);
    ms.StartBlock(4, 1);
    ms.EndBlock(7, 2);
    ASSERT_EQ(ms.GetTotalRange(&c1, &r1, &c2, &r2), 0);
    EXPECT_EQ(c1, 0);
    EXPECT_EQ(r1, 1);
    EXPECT_EQ(c2, 7);
    EXPECT_EQ(r2, 6);
    ms.ToggleCell(5, 1); // cut out of the block
    EXPECT_EQ(ms.IsSelected(5, 1), 0);
    ms.ToggleCell(5, 1);
    EXPECT_EQ(ms.IsSelected(5, 1), 1);
    g.ClearSelections();
    EXPECT_EQ(g.EnumFirstSelected(&col, &row), 0); // no block: the current cell
    EXPECT_EQ(col, 1);
    EXPECT_EQ(row, 1);
    EXPECT_EQ(g.EnumNextSelected(&col, &row), 1);
}

TEST(UGEditing, StartRefusals)
{
    TestGrid g(3, 5);
    CUGCell ro;
    ro.SetReadOnly(1);
    g.SetCell(1, 1, &ro);
    EXPECT_EQ(g.StartEditCell(1, 1, 0), 1);
    EXPECT_FALSE(g.IsEditing());
    g.allowEditStart = 0;
    EXPECT_EQ(g.StartEditCell(2, 3, 0), 1);
    EXPECT_FALSE(g.IsEditing());
    EXPECT_EQ(g.GetCurrentCol(), 2); // the move happened
    EXPECT_EQ(g.GetCurrentRow(), 3);
    g.allowEditStart = 1;
    g.allowMove = 0;
    EXPECT_EQ(g.StartEditCell(0, 0, 0), 2);
}

TEST(UGEditing, FinishStoresCancelsAndContinues)
{
    TestGrid g(3, 4);
    g.SetTextAt(0, 0, "old");
    ASSERT_EQ(g.StartEditCell(0, 0, 0), 0);
    g.log.clear();
    EXPECT_EQ(g.EditCtrlFinished("typed", 1, 0, 0, 0), 1); // Esc
    EXPECT_EQ(g.GetTextAt(0, 0), "old");
    EXPECT_EQ(g.log, (std::vector<std::string>{"EditFinish 0,0 'typed' 1"}));
    EXPECT_FALSE(g.IsEditing());

    g.StartEditCell(0, 0, 0);
    g.allowEditFinish = 0;
    EXPECT_EQ(g.EditCtrlFinished("no", 0, 0, 0, 0), 0);
    EXPECT_TRUE(g.IsEditing());
    EXPECT_EQ(g.GetTextAt(0, 0), "old");
    g.allowEditFinish = 1;

    struct
    {
        const char* name;
        int col;
        long row;
        int newCol;
        long newRow;
        int expCol;
        long expRow;
    } cases[] = {
        {"Tab in the last column", 2, 1, 3, 1, 0, 1},
        {"Shift+Tab in column 0", 0, 1, -1, 1, 2, 1},
        {"Enter in the last row", 1, 3, 1, 4, 1, 0},
        {"Up in row 0", 1, 0, 1, -1, 1, 3},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        g.StartEditCell(c.col, c.row, 0);
        g.log.clear();
        EXPECT_EQ(g.EditCtrlFinished("v", 0, 1, c.newCol, c.newRow), 1);
        EXPECT_EQ(g.GetTextAt(c.col, c.row), "v");
        EXPECT_TRUE(g.IsEditing());
        EXPECT_EQ(g.GetEditCol(), c.expCol);
        EXPECT_EQ(g.GetEditRow(), c.expRow);
        g.EditCtrlFinished("v", 1, 0, 0, 0);
    }
}

TEST(UGEditing, ContinueSkipsJoinedBlockAndRefusesBadProposals)
{
    TestGrid g(5, 4, 800, 300);
    g.JoinCells(1, 0, 2, 0);
    g.StartEditCell(1, 0, 0);
    g.EditCtrlFinished("j", 0, 1, 2, 0); // Tab from the block's start
    EXPECT_EQ(g.GetEditCol(), 3);
    g.EditCtrlFinished("", 1, 0, 0, 0);

    g.proposeCol = 9; // a table proposing a column that does not exist
    g.StartEditCell(0, 1, 0);
    EXPECT_EQ(g.EditCtrlFinished("x", 0, 1, 1, 1), 1);
    EXPECT_FALSE(g.IsEditing());
    EXPECT_EQ(g.GetCurrentCol(), 0);
    EXPECT_EQ(g.GetTextAt(0, 1), "x");
}

TEST(UGNavigation, MoveNotificationOrder)
{
    TestGrid g(30, 100, 300, 237);
    g.log.clear();
    g.GotoCell(10, 50);
    EXPECT_EQ(g.log,
              (std::vector<std::string>{"CanMove 0,0->10,50", "ColChange 0 10", "RowChange 0 50",
                                        "CellChange 0 10 0 50", "LeftColChange 0 8", "TopRowChange 0 41"}));
}

TEST(UGGeometry, UniformHeightNeverZero)
{
    TestGrid g(3, 100, 300, 237);
    g.SetUniformRowHeight(TRUE);
    g.SetRowHeight(5, 0); // all rows share it: a zero height would leave nothing to divide by
    EXPECT_EQ(g.GetRowHeight(5), 1);
    g.MoveCurrentRow(3);
    EXPECT_GT(g.GetCurrentRow(), 0);
    g.SetUniformRowHeight(FALSE);
    g.SetRowHeight(5, 0); // a single hidden row is fine
    EXPECT_EQ(g.GetRowHeight(5), 0);
    EXPECT_EQ(g.GetRowHeight(6), 1);
}
