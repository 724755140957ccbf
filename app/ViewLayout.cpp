#include "app/ViewLayout.h"

#include <algorithm>
#include <cmath>

std::vector<SLayoutRect> CalcWindowRects(int n, int cx, int cy)
{
    std::vector<SLayoutRect> rects;
    if (n <= 0)
        return rects;
    const int colsCeil = static_cast<int>(std::ceil(std::sqrt(static_cast<double>(n))));
    const int cols = colsCeil;
    const int rows = static_cast<int>(std::ceil(static_cast<double>(n) / colsCeil));
    int w = cx / cols;
    int h = cy / rows;
    w = std::min(w, 3 * h / 2);
    h = std::min(h, 3 * w / 2);

    if (n == 1) {
        const int left = (cx - w) / 2;
        const int top = (cy - h) / 2;
        rects.push_back({left, top, left + w, top + h});
        return rects;
    }
    const int fullRows = n + rows - rows * cols;
    const int x0 = (cx - cols * w) / 2;
    int top = (cy - rows * h) / 2;
    int placed = 0;
    for (int row = 0; row < rows && placed < n; ++row, top += h) {
        const bool full = row < fullRows;
        const int inRow = full ? cols : cols - 1;
        int left = full ? x0 : x0 + w / 2;
        for (int i = 0; i < inRow && placed < n; ++i, ++placed, left += w)
            rects.push_back({left, top, left + w, top + h});
    }
    return rects;
}

SPrintGrid CalcPrintGrid(int n, int W, int H, double a)
{
    SPrintGrid g;
    double best = 0.0;
    for (int k = 1; k <= n; ++k) {
        const int m = n / k + (n % k ? 1 : 0);
        // k rows
        const int h1 = H / k;
        const int w1 = static_cast<int>(std::floor(h1 * a));
        if (static_cast<double>(m) * w1 <= W && static_cast<double>(h1) * w1 > best) {
            best = static_cast<double>(h1) * w1;
            g = {w1, h1, k, m};
        }
        // k columns
        const int w2 = W / k;
        const double h2 = w2 / a;
        if (m * h2 <= H && w2 * h2 > best) {
            best = w2 * h2;
            g = {w2, static_cast<int>(h2), m, k};
        }
    }
    return g;
}

std::vector<SLayoutRect> CalcPrintCells(int n, const SLayoutRect& page, int nDispTraces)
{
    std::vector<SLayoutRect> cells;
    if (n <= 0)
        return cells;
    const SLayoutRect p{page.left + 750, page.top + 750, page.right - 750, page.bottom - 750};
    const int W = p.Width();
    const int H = p.Height();
    if (W <= 0 || H <= 0)
        return cells;
    const SPrintGrid g = CalcPrintGrid(n, W, H, nDispTraces <= 1 ? 1.9 : 1.0);
    if (g.rows <= 0 || g.cols <= 0 || g.w <= 0 || g.h <= 0)
        return cells;

    const int fullRows = n + g.rows - g.rows * g.cols;
    const int gapY = g.rows > 1 ? 50 : 0;
    const int gapX = g.cols > 1 ? 50 : 0;
    if (g.w <= gapX || g.h <= gapY)
        return cells;
    int top = p.top;
    for (int row = 0; row < g.rows && static_cast<int>(cells.size()) < n; ++row, top += g.h) {
        const int inRow = row < fullRows ? g.cols : g.cols - 1;
        int left = p.left + (W - inRow * g.w) / 2;
        for (int i = 0; i < inRow && static_cast<int>(cells.size()) < n; ++i, left += g.w)
            cells.push_back({left, top, left + g.w - gapX, top + g.h - gapY});
    }
    return cells;
}

SLayoutRect PlaceDropDown(const SLayoutRect& button, int w, int h, int desktopLeft)
{
    SLayoutRect r{button.right - w, button.bottom, button.right, button.bottom + h};
    if (r.left < desktopLeft) {
        r.left = desktopLeft;
        r.right = desktopLeft + w;
    }
    return r;
}

SLevelRanges CalcLevelRanges(int iFirst, int iStep, int nDisp, int nLevels, bool bMultiTrace)
{
    // A step or count below 1 would divide by zero or run backwards: take 1.
    const int S = std::max(iStep, 1);
    const int N = std::max(nDisp, 1);
    const int F = std::max(iFirst, 0);
    SLevelRanges r;
    r.maxFirst = (nLevels - 1) - (N - 1) * S;
    r.bFirst = r.maxFirst > 0;
    r.maxStep = (N == 1 || !bMultiTrace) ? 1 : std::max((nLevels - 1 - F) / (N - 1), 1);
    r.bStep = r.maxStep > 1;
    r.maxNumber = !bMultiTrace ? 1 : std::max((nLevels - 1 - F) / S + 1, 1);
    r.bNumber = r.maxNumber > 1;
    r.bNext = F + (N - 1) * S <= r.maxFirst;
    r.maxFirst = std::max(r.maxFirst, 0);
    return r;
}

std::vector<SLayoutRect> CalcImagePaneRects(int n, int cx, int cy)
{
    std::vector<SLayoutRect> out;
    if (n <= 0)
        return out;
    int rows = 1;
    while (rows * rows < n)
        ++rows;
    const int cols = (n + rows - 1) / rows;
    const int w = cx / cols, h = cy / rows;
    if (n == 1)
        return {SLayoutRect{0, 0, w, h}};
    // The first rows are full; the rest hold one pane fewer, centred.
    const int fullRows = n + rows - rows * cols;
    int k = 0;
    for (int r = 0; r < rows && k < n; ++r) {
        const bool full = r < fullRows;
        const int x0 = full ? 0 : w / 2;
        for (int c = 0; c < (full ? cols : cols - 1) && k < n; ++c, ++k)
            out.push_back({x0 + c * w, r * h, x0 + (c + 1) * w, (r + 1) * h});
    }
    return out;
}

int LegendRows(int cy, int nEntries, int lineHeight, int edgeHeight)
{
    const int n = std::max(nEntries, 0);
    if (cy <= 0 || lineHeight <= 0)
        return n;
    // Half a line above the first entry and half below the last.
    const int fit = (cy - edgeHeight) / lineHeight - 1;
    return fit >= 1 && fit < n ? fit : n;
}

SLayoutRect PlaceLegend(int cx, int nEntries, int maxLabelWidth, int avgCharWidth, int sampleLength,
                        int lineHeight, int edgeHeight, int cy)
{
    const int n = std::max(nEntries, 0);
    const int rows = LegendRows(cy, n, lineHeight, edgeHeight);
    const int cols = rows > 0 ? (n + rows - 1) / rows : 1;
    const int width = std::max(cols, 1) * (maxLabelWidth + 2 * avgCharWidth + sampleLength);
    const int height = lineHeight * (rows + 1);
    const int left = cx - width - 1;
    // A label wider than the parent would push the pen samples, which tell
    // the curves apart, off its left edge: the legend keeps to the parent and
    // the labels are cut short instead.
    if (left < 0)
        return {0, edgeHeight, std::max(cx - 1, 0), edgeHeight + height};
    return {left, edgeHeight, left + width, edgeHeight + height};
}
