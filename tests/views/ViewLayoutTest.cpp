// Window layout in a view and the cells of a printed page.

#include "app/ViewLayout.h"

#include <gtest/gtest.h>

#include <ostream>

static std::ostream& operator<<(std::ostream& os, const SLayoutRect& r)
{
    return os << "{" << r.left << "," << r.top << "," << r.right << "," << r.bottom << "}";
}

TEST(WindowLayout, Table)
{
    struct Case
    {
        const char* name;
        int n, cx, cy;
        std::vector<SLayoutRect> rects;
    } const cases[] = {
        {"none", 0, 800, 200, {}},
        {"one window centred, width capped at 3:2", 1, 800, 200, {{250, 0, 550, 200}}},
        {"one window, height capped at 2:3", 1, 200, 800, {{0, 250, 200, 550}}},
        {"three: full row, then a shorter one shifted half a cell",
         3,
         1000,
         300,
         {{275, 0, 500, 150}, {500, 0, 725, 150}, {387, 150, 612, 300}}},
        {"four in a 2x2 grid centred vertically",
         4,
         400,
         1000,
         {{0, 200, 200, 500}, {200, 200, 400, 500}, {0, 500, 200, 800}, {200, 500, 400, 800}}},
        {"five: one full row of three, then two",
         5,
         900,
         400,
         {{0, 0, 300, 200},
          {300, 0, 600, 200},
          {600, 0, 900, 200},
          {150, 200, 450, 400},
          {450, 200, 750, 400}}},
        {"zero-sized view", 2, 0, 0, {{0, 0, 0, 0}, {0, 0, 0, 0}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(CalcWindowRects(c.n, c.cx, c.cy), c.rects);
    }
}

TEST(PrintLayout, GridChoice)
{
    struct Case
    {
        const char* name;
        int n;
        double a;
        SPrintGrid grid;
    } const cases[] = {
        {"one window, one level: one full-width cell", 1, 1.9, {20000, 10526, 1, 1}},
        {"three windows, one level: one column", 3, 1.9, {17100, 9000, 3, 1}},
        {"four windows, one level: one column", 4, 1.9, {12825, 6750, 4, 1}},
        {"three windows, several levels: 2x2", 3, 1.0, {10000, 10000, 2, 2}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const SPrintGrid g = CalcPrintGrid(c.n, 20000, 27000, c.a);
        EXPECT_EQ(g.w, c.grid.w);
        EXPECT_EQ(g.h, c.grid.h);
        EXPECT_EQ(g.rows, c.grid.rows);
        EXPECT_EQ(g.cols, c.grid.cols);
    }
}

TEST(PrintLayout, Cells)
{
    // Printable area that leaves 20000 x 27000 inside the 7.5 mm margin.
    const SLayoutRect page{0, 0, 21500, 28500};
    struct Case
    {
        const char* name;
        SLayoutRect page;
        int n, nDispTraces;
        std::vector<SLayoutRect> cells;
    } const cases[] = {
        {"one window: no gaps at the top of the page", page, 1, 1, {{750, 750, 20750, 11276}}},
        {"three windows, one level: centred column, 0.5 mm below each",
         page,
         3,
         1,
         {{2200, 750, 19300, 9700}, {2200, 9750, 19300, 18700}, {2200, 18750, 19300, 27700}}},
        {"three windows, several levels: second row centred",
         page,
         3,
         5,
         {{750, 750, 10700, 10700}, {10750, 750, 20700, 10700}, {5750, 10750, 15700, 20700}}},
        {"page smaller than the margins", {0, 0, 1200, 1200}, 2, 1, {}},
        {"cells of no height", {0, 0, 1501, 40000}, 3, 1, {}},
        {"cells smaller than the gap between them", {0, 0, 1502, 40000}, 3, 1, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(CalcPrintCells(c.n, c.page, c.nDispTraces), c.cells);
    }
}

TEST(LevelDropDown, Placement)
{
    const SLayoutRect button{300, 40, 360, 64};
    EXPECT_EQ(PlaceDropDown(button, 50, 30, 0), (SLayoutRect{310, 64, 360, 94}));
    // Under a button near the left edge it is shifted right to stay on the desktop.
    EXPECT_EQ(PlaceDropDown(button, 500, 30, 0), (SLayoutRect{0, 64, 500, 94}));
    EXPECT_EQ(PlaceDropDown(button, 500, 30, -1280), (SLayoutRect{-140, 64, 360, 94}));
}

TEST(LevelDropDown, Ranges)
{
    struct Case
    {
        const char* name;
        int first, step, disp, levels;
        bool multi;
        SLevelRanges r;
    } const cases[] = {
        {"one level: all disabled, Next enabled", 0, 1, 1, 1, true, {0, 1, 1, false, false, false, true}},
        {"ten levels, three shown", 0, 1, 3, 10, true, {7, 4, 10, true, true, true, true}},
        {"ten levels, last group shown", 7, 1, 3, 10, true, {7, 1, 3, true, false, true, false}},
        {"several levels forbidden", 2, 1, 1, 10, false, {9, 1, 1, true, false, false, true}},
        {"no step stored", 0, 0, 3, 10, true, {7, 4, 10, true, true, true, true}},
        {"no levels", 0, 1, 0, 0, true, {0, 1, 1, false, false, false, false}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const SLevelRanges r = CalcLevelRanges(c.first, c.step, c.disp, c.levels, c.multi);
        EXPECT_EQ(r.maxFirst, c.r.maxFirst);
        EXPECT_EQ(r.maxStep, c.r.maxStep);
        EXPECT_EQ(r.maxNumber, c.r.maxNumber);
        EXPECT_EQ(r.bFirst, c.r.bFirst);
        EXPECT_EQ(r.bStep, c.r.bStep);
        EXPECT_EQ(r.bNumber, c.r.bNumber);
        EXPECT_EQ(r.bNext, c.r.bNext);
    }
}

TEST(ImagePaneLayout, Table)
{
    struct Case
    {
        const char* name;
        int n, cx, cy;
        std::vector<SLayoutRect> rects;
    } const cases[] = {
        {"none", 0, 600, 400, {}},
        {"one takes the top-left cell", 1, 600, 400, {{0, 0, 600, 400}}},
        {"two stack", 2, 600, 400, {{0, 0, 600, 200}, {0, 200, 600, 400}}},
        {"three: two, then one centred",
         3,
         600,
         400,
         {{0, 0, 300, 200}, {300, 0, 600, 200}, {150, 200, 450, 400}}},
        {"five: rows of 2, 2, 1",
         5,
         600,
         300,
         {{0, 0, 300, 100},
          {300, 0, 600, 100},
          {0, 100, 300, 200},
          {300, 100, 600, 200},
          {150, 200, 450, 300}}},
        {"seven: rows of 3, 2, 2",
         7,
         900,
         300,
         {{0, 0, 300, 100},
          {300, 0, 600, 100},
          {600, 0, 900, 100},
          {150, 100, 450, 200},
          {450, 100, 750, 200},
          {150, 200, 450, 300},
          {450, 200, 750, 300}}},
    };
    for (const Case& c : cases) {
        const std::vector<SLayoutRect> got = CalcImagePaneRects(c.n, c.cx, c.cy);
        ASSERT_EQ(got.size(), c.rects.size()) << c.name;
        for (size_t i = 0; i < got.size(); ++i)
            EXPECT_EQ(got[i], c.rects[i]) << c.name << " pane " << i << " " << got[i];
    }
}
