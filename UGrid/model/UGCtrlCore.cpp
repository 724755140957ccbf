#include "UGrid/model/UGCtrlCore.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstring>

CUGCtrlCore::CUGCtrlCore()
{
    m_dataSrcList.push_back(nullptr); // index 0 stands for each sheet's own source
    SetNumberSheets(1);
    m_constructing = false;
}

CUGCtrlCore::~CUGCtrlCore() = default;

void CUGCtrlCore::CreateSheetObjects(CUGGridInfo* gi)
{
    gi->m_CUGMem->m_ctrl = this;
    gi->m_CUGMem->m_GI = gi;
    gi->m_multiSelect->Attach(this, gi);
    gi->m_editCtrl = DefaultEditWindow();
}

// ---------------------------------------------------------------- layout

UGLayout CUGCtrlCore::CalcLayout(int W, int H) const
{
    const CUGGridInfo& g = *m_GI;
    int V = g.m_vScrollWidth, S = g.m_hScrollHeight, T = g.m_tabWidth;
    const int TH = g.m_topHdgHeight, SW = g.m_sideHdgWidth;
    if (T > 0)
        T = std::max(std::min(T, W - SW - 30), 4);

    long long colSum = 0;
    for (int c = 0; c < g.m_numberCols; ++c) {
        colSum += g.m_colInfo[size_t(c)].width;
        if (colSum > W - SW)
            break;
    }
    long long rowSum = 0;
    if (g.m_uniformRowHeightFlag) {
        rowSum = (long long)g.m_numberRows * g.m_defRowHeight;
    } else {
        for (long r = 0; r < g.m_numberRows; ++r) {
            rowSum += g.m_rowHeights[size_t(r)];
            if (rowSum > H - TH)
                break;
        }
    }
    const bool allCols = colSum < W - SW;
    const bool allRows = rowSum < H - TH;
    const int savedV = V;
    if (allRows && (allCols || rowSum < H - TH - S))
        V = 0;
    if (allCols && T <= 0 && (allRows || colSum < W - SW - savedV))
        S = 0;

    UGLayout L;
    L.vScroll = {W - V, 0, W, H - S};
    L.hScroll = {T, H - S, W - V, H};
    L.tab = {0, H - S, T, H};
    L.topHdg = {SW, 0, W - V, TH};
    L.sideHdg = {0, TH, SW, H - S};
    L.corner = {0, 0, SW, TH};
    L.grid = {SW, TH, W - V, H - S};
    L.vScrollShown = V > 0;
    L.hScrollShown = S > 0;
    return L;
}

void CUGCtrlCore::AdjustLayout()
{
    if (m_layoutDepth > 2)
        return;
    ++m_layoutDepth;
    UGLayout L = CalcLayout(m_clientWidth, m_clientHeight);
    OnAdjustLayout(&L.grid, &L.topHdg, &L.sideHdg, &L.corner, &L.vScroll, &L.hScroll, &L.tab);
    CUGGridInfo& g = *m_GI;
    g.m_gridRect = L.grid;
    g.m_topHdgRect = L.topHdg;
    g.m_sideHdgRect = L.sideHdg;
    g.m_cnrBtnRect = L.corner;
    g.m_vScrollRect = L.vScroll;
    g.m_hScrollRect = L.hScroll;
    g.m_tabRect = L.tab;
    g.m_gridWidth = std::max(0, L.grid.right - L.grid.left);
    g.m_gridHeight = std::max(0, L.grid.bottom - L.grid.top);
    ComputeMaxTopRow();
    ComputeMaxLeftCol();
    OnLayoutApplied(false);
    g.m_lastTopRow = g.m_topRow;
    g.m_lastLeftCol = g.m_leftCol;
    --m_layoutDepth;
}

int CUGCtrlCore::EnableUpdate(BOOL state)
{
    m_paintFlag = state ? 1 : 0;
    return 0;
}

void CUGCtrlCore::RescaleHeadings(std::vector<int>& sizes, int newTotal)
{
    long long oldSum = 0;
    for (int s : sizes)
        oldSum += s;
    if (sizes.empty())
        return;
    if (oldSum <= 0) {
        // Nothing to scale from: the outermost heading takes it all.
        std::fill(sizes.begin(), sizes.end(), 0);
        sizes.back() = newTotal;
        return;
    }
    for (int& s : sizes)
        s = int(double(s) * newTotal / double(oldSum) + 0.5);
}

int CUGCtrlCore::SetTopHdgHeight(int height)
{
    if (height < 0 || height > 1024)
        return 1;
    RescaleHeadings(m_GI->m_topHdgHeights, height);
    m_GI->m_topHdgHeight = height;
    AdjustLayout();
    return 0;
}

int CUGCtrlCore::SetSideHdgWidth(int width)
{
    if (width < 0 || width > 1024)
        return 1;
    RescaleHeadings(m_GI->m_sideHdgWidths, width);
    m_GI->m_sideHdgWidth = width;
    AdjustLayout();
    return 0;
}

int CUGCtrlCore::SetVScrollWidth(int width)
{
    if (width < 0 || width > 1024)
        return 1;
    m_GI->m_vScrollWidth = width;
    AdjustLayout();
    return 0;
}

int CUGCtrlCore::SetHScrollHeight(int height)
{
    if (height < 0 || height > 1024)
        return 1;
    m_GI->m_hScrollHeight = height;
    AdjustLayout();
    return 0;
}

int CUGCtrlCore::SetTabWidth(int width)
{
    m_GI->m_tabWidth = width;
    return 0;
}

int CUGCtrlCore::SetNumberTopHdgRows(int rows)
{
    if (rows < 1 || rows > 64)
        return 1;
    m_GI->m_topHdgHeights.resize(size_t(rows), m_GI->m_defRowHeight);
    m_GI->m_numberTopHdgRows = rows;
    return 0;
}

int CUGCtrlCore::SetNumberSideHdgCols(int cols)
{
    if (cols < 1 || cols > 64)
        return 1;
    m_GI->m_sideHdgWidths.resize(size_t(cols), m_GI->m_defColWidth);
    m_GI->m_numberSideHdgCols = cols;
    return 0;
}

int CUGCtrlCore::SetTopHdgRowHeight(int row, int height)
{
    if (row >= 0 || -row > m_GI->m_numberTopHdgRows)
        return 1;
    if (height < 0 || height > 1024)
        return 2;
    m_GI->m_topHdgHeights[size_t(-row - 1)] = height;
    return 0;
}

int CUGCtrlCore::GetTopHdgRowHeight(int row) const
{
    if (row >= 0 || -row > m_GI->m_numberTopHdgRows)
        return 0;
    return m_GI->m_topHdgHeights[size_t(-row - 1)];
}

int CUGCtrlCore::SetSideHdgColWidth(int col, int width)
{
    if (col >= 0 || -col > m_GI->m_numberSideHdgCols)
        return 1;
    if (width < 0 || width > 1024)
        return 2;
    int& w = m_GI->m_sideHdgWidths[size_t(-col - 1)];
    const bool changed = w != width;
    w = width;
    if (changed && m_GI->m_numberSideHdgCols == 1)
        SetSideHdgWidth(width);
    return 0;
}

int CUGCtrlCore::GetSideHdgColWidth(int col) const
{
    if (col >= 0 || -col > m_GI->m_numberSideHdgCols)
        return 0;
    return m_GI->m_sideHdgWidths[size_t(-col - 1)];
}

void CUGCtrlCore::SumLockedHeight()
{
    CUGGridInfo& g = *m_GI;
    g.m_numLockRows = std::clamp(g.m_numLockRows, 0L, g.m_numberRows);
    long long h = 0;
    for (long r = 0; r < g.m_numLockRows; ++r)
        h += g.RowHeight(r);
    g.m_lockRowHeight = int(std::min<long long>(h, INT_MAX));
}

void CUGCtrlCore::SumLockedWidth()
{
    CUGGridInfo& g = *m_GI;
    g.m_numLockCols = std::clamp(g.m_numLockCols, 0, g.m_numberCols);
    long long w = 0;
    for (int c = 0; c < g.m_numLockCols; ++c)
        w += g.m_colInfo[size_t(c)].width;
    g.m_lockColWidth = int(std::min<long long>(w, INT_MAX));
}

long CUGCtrlCore::CalcMaxTopRow() const
{
    const CUGGridInfo& g = *m_GI;
    const long long avail = (long long)g.m_gridHeight - g.m_lockRowHeight;
    long largest = g.m_numLockRows;
    if (g.m_uniformRowHeightFlag) {
        const long long def = std::max(1, g.m_defRowHeight);
        const long long k =
            (avail >= 0 ? avail / def : 0) + 1; // rows summed when the sum first exceeds avail
        if (k <= g.m_numberRows - g.m_numLockRows)
            largest = long(g.m_numberRows - k + 1);
    } else {
        long long sum = 0;
        for (long r = g.m_numberRows - 1; r >= g.m_numLockRows; --r) {
            sum += g.m_rowHeights[size_t(r)];
            if (sum > avail) {
                largest = r + 1;
                break;
            }
        }
    }
    largest = std::min(largest, g.m_numberRows - 1);
    return std::max(largest, g.m_numLockRows);
}

int CUGCtrlCore::CalcMaxLeftCol() const
{
    const CUGGridInfo& g = *m_GI;
    const long long avail = (long long)g.m_gridWidth - g.m_lockColWidth;
    int largest = g.m_numLockCols;
    long long sum = 1; // the column past the end counts 1 pixel
    for (int c = g.m_numberCols - 1; c >= g.m_numLockCols; --c) {
        sum += g.m_colInfo[size_t(c)].width;
        if (sum > avail) {
            largest = c + 1;
            break;
        }
    }
    largest = std::min(largest, g.m_numberCols - 1);
    return std::max(largest, g.m_numLockCols);
}

void CUGCtrlCore::ComputeMaxTopRow()
{
    CUGGridInfo& g = *m_GI;
    const long old = g.m_maxTopRow;
    g.m_maxTopRow = CalcMaxTopRow();
    if (g.m_topRow > g.m_maxTopRow)
        g.m_topRow = g.m_maxTopRow;
    if (g.m_topRow < g.m_numLockRows)
        g.m_topRow = g.m_numLockRows;
    if ((old == 0) != (g.m_maxTopRow == 0) && m_clientWidth > 0)
        AdjustLayout(); // the vertical scroll bar appears or goes
}

void CUGCtrlCore::ComputeMaxLeftCol()
{
    CUGGridInfo& g = *m_GI;
    const int old = g.m_maxLeftCol;
    g.m_maxLeftCol = CalcMaxLeftCol();
    if (g.m_leftCol > g.m_maxLeftCol)
        g.m_leftCol = g.m_maxLeftCol;
    if (g.m_leftCol < g.m_numLockCols)
        g.m_leftCol = g.m_numLockCols;
    if ((old == 0) != (g.m_maxLeftCol == 0) && m_clientWidth > 0)
        AdjustLayout();
}

int CUGCtrlCore::SetRowCount(long rows, BOOL redraw)
{
    if (rows < 0)
        return 1;
    CUGGridInfo& g = *m_GI;
    if (rows > 0 && g.m_numLockRows >= rows)
        g.m_numLockRows = rows - 1;
    if (rows == 0)
        g.m_numLockRows = 0; // nothing left to lock
    if (rows > 64000)
        g.m_uniformRowHeightFlag = 1;
    if (!g.m_uniformRowHeightFlag)
        g.m_rowHeights.resize(size_t(rows), g.m_defRowHeight);
    else
        g.m_rowHeights.clear();
    g.m_numberRows = rows;

    const long oldTop = g.m_topRow;
    g.m_maxTopRow = CalcMaxTopRow();
    if (g.m_currentRow >= rows) {
        g.m_currentRow = rows - 1;
        g.m_lastRow = rows - 1;
        g.m_dragRow = rows - 1;
    }
    if (g.m_dragRow >= rows)
        g.m_dragRow = rows - 1;
    SumLockedHeight();
    if (g.m_topRow > g.m_maxTopRow)
        g.m_topRow = g.m_maxTopRow;
    if (g.m_topRow < g.m_numLockRows)
        g.m_topRow = g.m_numLockRows;
    if (g.m_topRow != oldTop)
        MoveUpdate();
    if (g.m_currentRow < 0 && rows > 0)
        GotoRow(0);
    if (redraw)
        RedrawAll();
    return 0;
}

int CUGCtrlCore::SetColCount(int cols, BOOL redraw)
{
    if (cols < 0 || cols > 32000)
        return 1;
    CUGGridInfo& g = *m_GI;
    if (cols > 0 && g.m_numLockCols >= cols)
        g.m_numLockCols = cols - 1;
    if (cols == 0)
        g.m_numLockCols = 0;
    const int old = int(g.m_colInfo.size());
    g.m_colInfo.resize(size_t(cols));
    for (int c = old; c < cols; ++c) {
        CUGColInfo& ci = g.m_colInfo[size_t(c)];
        ci.width = g.m_defColWidth;
        ci.dataSource = g.m_defDataSource;
        ci.colDefault = std::make_unique<CUGCell>();
        ci.colDefault->CopyInfoFrom(g.m_gridDefaults.get());
        ci.colTranslation = c;
    }
    g.m_numberCols = cols;
    const int oldLeft = g.m_leftCol;
    g.m_maxLeftCol = CalcMaxLeftCol();
    if (g.m_currentCol >= cols) {
        g.m_currentCol = cols - 1;
        g.m_lastCol = cols - 1;
        g.m_dragCol = cols - 1;
    }
    if (g.m_dragCol >= cols)
        g.m_dragCol = cols - 1;
    SumLockedWidth();
    if (g.m_leftCol > g.m_maxLeftCol)
        g.m_leftCol = g.m_maxLeftCol;
    if (g.m_leftCol < g.m_numLockCols)
        g.m_leftCol = g.m_numLockCols;
    if (g.m_leftCol != oldLeft)
        MoveUpdate();
    if (g.m_currentCol < 0 && cols > 0)
        GotoCol(0);
    if (redraw)
        RedrawAll();
    return 0;
}

int CUGCtrlCore::SetColWidth(int col, int width)
{
    if (col < 0 || col >= m_GI->m_numberCols) {
        SetSideHdgColWidth(col, width);
        return 1;
    }
    m_GI->m_colInfo[size_t(col)].width = std::max(0, width);
    if (col < m_GI->m_numLockCols)
        SumLockedWidth();
    return 0;
}

int CUGCtrlCore::GetColWidth(int col, int* width) const
{
    if (col < 0 || col >= m_GI->m_numberCols)
        return 1;
    if (width)
        *width = m_GI->m_colInfo[size_t(col)].width;
    return 0;
}

int CUGCtrlCore::GetColWidth(int col) const
{
    if (col < 0 || col >= m_GI->m_numberCols)
        return 1;
    return m_GI->m_colInfo[size_t(col)].width;
}

int CUGCtrlCore::SetDefColWidth(int width)
{
    if (width < 0)
        return 1;
    m_GI->m_defColWidth = width;
    return 0;
}

int CUGCtrlCore::SetRowHeight(long row, int height)
{
    CUGGridInfo& g = *m_GI;
    if (row < 0 || row >= g.m_numberRows)
        return 0;
    if (g.m_uniformRowHeightFlag)
        g.m_defRowHeight = std::clamp(height, 1, 1024); // every row shares it: never 0
    else
        g.m_rowHeights[size_t(row)] = std::max(0, height);
    SumLockedHeight();
    return 0;
}

int CUGCtrlCore::GetRowHeight(long row, int* height) const
{
    if (row < 0 || row >= m_GI->m_numberRows)
        return 1;
    if (height)
        *height = m_GI->RowHeight(row);
    return 0;
}

int CUGCtrlCore::GetRowHeight(long row) const
{
    if (row < 0 || row >= m_GI->m_numberRows)
        return 0;
    return m_GI->RowHeight(row);
}

int CUGCtrlCore::SetDefRowHeight(int height)
{
    if (height < 1 || height > 1024)
        return 1;
    m_GI->m_defRowHeight = height;
    return 0;
}

int CUGCtrlCore::SetUniformRowHeight(BOOL flag)
{
    CUGGridInfo& g = *m_GI;
    if (flag) {
        g.m_uniformRowHeightFlag = 1;
        g.m_rowHeights.clear();
    } else if (g.m_uniformRowHeightFlag) {
        g.m_uniformRowHeightFlag = 0;
        g.m_rowHeights.assign(size_t(g.m_numberRows), g.m_defRowHeight);
    }
    SumLockedHeight();
    return 0;
}

int CUGCtrlCore::FitColsToWidth(int startCol, int endCol)
{
    CUGGridInfo& g = *m_GI;
    if (startCol < 0 || endCol < startCol || endCol >= g.m_numberCols)
        return 1;
    const int width = g.m_gridWidth;
    const int n = endCol - startCol + 1;
    long long sum = 0;
    for (int c = startCol; c <= endCol; ++c)
        sum += g.m_colInfo[size_t(c)].width;
    int used = 0;
    if (sum <= 0) {
        // No widths to scale: share the width equally.
        for (int c = startCol; c < endCol; ++c) {
            g.m_colInfo[size_t(c)].width = width / n;
            used += width / n;
        }
    } else {
        const float factor = float(width) / float(sum);
        for (int c = startCol; c < endCol; ++c) {
            const int w = int(float(g.m_colInfo[size_t(c)].width) * factor);
            g.m_colInfo[size_t(c)].width = w;
            used += w;
        }
    }
    g.m_colInfo[size_t(endCol)].width = std::max(0, width - used);
    SumLockedWidth();
    g.m_maxLeftCol = CalcMaxLeftCol();
    RedrawAll();
    return 0;
}

int CUGCtrlCore::LockColumns(int numCols)
{
    CUGGridInfo& g = *m_GI;
    if (numCols < 0 || numCols > g.m_numberCols)
        return 1;
    if (numCols == g.m_numLockCols)
        return 0;
    g.m_numLockCols = numCols;
    SumLockedWidth();
    g.m_leftCol = numCols;
    g.m_lastLeftCol = numCols;
    ComputeMaxLeftCol();
    return 0;
}

int CUGCtrlCore::LockRows(long numRows)
{
    CUGGridInfo& g = *m_GI;
    if (numRows < 0 || numRows > g.m_numberRows)
        return 1;
    if (numRows == g.m_numLockRows)
        return 0;
    g.m_numLockRows = numRows;
    SumLockedHeight();
    g.m_topRow = numRows;
    g.m_lastTopRow = numRows;
    ComputeMaxTopRow();
    return 0;
}

// ---------------------------------------------------------------- cells

CUGDataSource* CUGCtrlCore::ColDataSource(int col) const
{
    if (col >= 0 && col < m_GI->m_numberCols && m_GI->m_colInfo[size_t(col)].dataSource)
        return m_GI->m_colInfo[size_t(col)].dataSource;
    return m_GI->m_defDataSource;
}

int CUGCtrlCore::GetCell(int col, long row, CUGCell* cell)
{
    if (!cell || col >= m_GI->m_numberCols)
        return 1;
    cell->SetPropertyFlags(0);
    if (col < 0)
        return m_GI->m_defDataSource->GetCell(col, row, cell);
    return ColDataSource(col)->GetCell(m_GI->m_colInfo[size_t(col)].colTranslation, row, cell);
}

int CUGCtrlCore::GetCellIndirect(int col, long row, CUGCell* cell)
{
    if (!cell)
        return 1;
    CUGGridInfo& g = *m_GI;
    cell->SetPropertyFlags(0);
    const bool dataCol = col >= 0 && col < g.m_numberCols;
    if (!dataCol || row < 0)
        cell->CopyInfoFrom(g.m_hdgDefaults.get());
    else
        cell->CopyInfoFrom(g.m_colInfo[size_t(col)].colDefault.get());
    if (row >= g.m_numberRows)
        return 0;
    if (dataCol)
        ColDataSource(col)->GetCell(g.m_colInfo[size_t(col)].colTranslation, row, cell);
    else
        g.m_defDataSource->GetCell(col, row, cell);
    OnGetCell(col, row, cell);
    if (CUGFormat* f = cell->GetFormatClass())
        f->ApplyFormat(cell);
    if (CUGCell* style = cell->GetCellStyle())
        if (style != cell)
            style->AddInfoTo(cell);
    return 0;
}

int CUGCtrlCore::SetCell(int col, long row, CUGCell* cell)
{
    if (!cell || col >= m_GI->m_numberCols)
        return 1;
    OnSetCell(col, row, cell);
    if (col < 0) {
        m_GI->m_defDataSource->SetCell(col, row, cell);
        return 0;
    }
    ColDataSource(col)->SetCell(m_GI->m_colInfo[size_t(col)].colTranslation, row, cell);
    return 0;
}

int CUGCtrlCore::DeleteCell(int col, long row)
{
    if (col >= m_GI->m_numberCols)
        return 1;
    if (col < 0)
        return m_GI->m_defDataSource->DeleteCell(col, row);
    return ColDataSource(col)->DeleteCell(m_GI->m_colInfo[size_t(col)].colTranslation, row);
}

int CUGCtrlCore::GetColTranslation(int col) const
{
    if (col < 0 || col >= m_GI->m_numberCols)
        return col;
    return m_GI->m_colInfo[size_t(col)].colTranslation;
}

int CUGCtrlCore::SetColTranslation(int col, int transCol)
{
    if (col < 0 || col >= m_GI->m_numberCols)
        return 1;
    m_GI->m_colInfo[size_t(col)].colTranslation = transCol;
    return 0;
}

int CUGCtrlCore::SetGridDefault(const CUGCell* cell)
{
    return cell ? m_GI->m_gridDefaults->CopyInfoFrom(cell) : 1;
}
int CUGCtrlCore::GetGridDefault(CUGCell* cell) const
{
    return cell ? cell->CopyInfoFrom(m_GI->m_gridDefaults.get()) : 1;
}
int CUGCtrlCore::SetHeadingDefault(const CUGCell* cell)
{
    return cell ? m_GI->m_hdgDefaults->CopyInfoFrom(cell) : 1;
}
int CUGCtrlCore::GetHeadingDefault(CUGCell* cell) const
{
    return cell ? cell->CopyInfoFrom(m_GI->m_hdgDefaults.get()) : 1;
}
int CUGCtrlCore::SetColDefault(int col, const CUGCell* cell)
{
    if (!cell || col < 0 || col >= m_GI->m_numberCols)
        return 1;
    return m_GI->m_colInfo[size_t(col)].colDefault->CopyInfoFrom(cell);
}
int CUGCtrlCore::GetColDefault(int col, CUGCell* cell) const
{
    if (!cell || col < 0 || col >= m_GI->m_numberCols)
        return 1;
    return cell->CopyInfoFrom(m_GI->m_colInfo[size_t(col)].colDefault.get());
}

// Each per-cell operation works on a cell of its own: an OnSetCell that stores
// another cell must not overwrite the one being stored.
#define UG_CELL_SETTER(NAME, TYPE, CALL)                                                                     \
    int CUGCtrlCore::NAME(int col, long row, TYPE value)                                                     \
    {                                                                                                        \
        CUGCell cell;                                                                                        \
        GetCell(col, row, &cell);                                                                            \
        cell.CALL(value);                                                                                    \
        return SetCell(col, row, &cell);                                                                     \
    }
UG_CELL_SETTER(SetNumberAt, double, SetNumber)
UG_CELL_SETTER(SetTextColorAt, COLORREF, SetTextColor)
UG_CELL_SETTER(SetHTextColorAt, COLORREF, SetHTextColor)
UG_CELL_SETTER(SetBackColorAt, COLORREF, SetBackColor)
UG_CELL_SETTER(SetHBackColorAt, COLORREF, SetHBackColor)
UG_CELL_SETTER(SetBitmapAt, CBitmap*, SetBitmap)
UG_CELL_SETTER(SetAlignmentAt, short, SetAlignment)
UG_CELL_SETTER(SetBorderAt, short, SetBorder)
UG_CELL_SETTER(SetBorderPenAt, CPen*, SetBorderPen)
UG_CELL_SETTER(SetCellTypeAt, int, SetCellType)
UG_CELL_SETTER(SetCellTypeParamAt, long, SetCellTypeParam)
#undef UG_CELL_SETTER

int CUGCtrlCore::SetTextAt(int col, long row, const char* text)
{
    if (!text)
        return 1;
    CUGCell cell;
    GetCell(col, row, &cell);
    cell.SetText(text);
    return SetCell(col, row, &cell);
}

int CUGCtrlCore::SetMaskAt(int col, long row, const char* mask)
{
    CUGCell cell;
    GetCell(col, row, &cell);
    cell.SetMask(mask);
    return SetCell(col, row, &cell);
}

int CUGCtrlCore::SetLabelAt(int col, long row, const char* label)
{
    CUGCell cell;
    GetCell(col, row, &cell);
    cell.SetLabel(label);
    return SetCell(col, row, &cell);
}

int CUGCtrlCore::SetBitmapAt(int col, long row, int index)
{
    return SetBitmapAt(col, row, GetBitmap(index));
}

int CUGCtrlCore::SetFontAt(int col, long row, CFont* font)
{
    if (!font)
        return 1;
    CUGCell cell;
    GetCell(col, row, &cell);
    cell.SetFont(font);
    return SetCell(col, row, &cell);
}

int CUGCtrlCore::SetFontAt(int col, long row, int index)
{
    return SetFontAt(col, row, GetFont(index));
}

int CUGCtrlCore::GetTextAt(int col, long row, std::string* text)
{
    if (!text)
        return 1;
    text->clear();
    CUGCell cell;
    if (col >= m_GI->m_numberCols || GetCell(col, row, &cell) != 0)
        return 1;
    return cell.GetTextString(*text);
}

std::string CUGCtrlCore::GetTextAt(int col, long row)
{
    std::string text;
    GetTextAt(col, row, &text);
    return text;
}

int CUGCtrlCore::SetCellRange(int startCol, long startRow, int endCol, long endRow, CUGCell* cell)
{
    int failed = 0;
    for (long r = startRow; r <= endRow; ++r)
        for (int c = startCol; c <= endCol; ++c)
            if (SetCell(c, r, cell) != 0)
                ++failed;
    return failed;
}

// ---------------------------------------------------------------- joins

int CUGCtrlCore::EnableJoins(BOOL state)
{
    m_GI->m_enableJoins = state ? 1 : 0;
    return 0;
}

int CUGCtrlCore::JoinCells(int startCol, long startRow, int endCol, long endRow)
{
    CUGGridInfo& g = *m_GI;
    if (endCol < startCol || endRow < startRow || endCol >= g.m_numberCols || endRow >= g.m_numberRows ||
        startCol < -g.m_numberSideHdgCols || startRow < -g.m_numberTopHdgRows)
        return 1;
    CUGCell cell;
    for (long r = startRow; r <= endRow; ++r)
        for (int c = startCol; c <= endCol; ++c) {
            if (c == startCol && r == startRow)
                continue;
            GetCell(c, r, &cell);
            cell.SetJoinInfo(0, startCol - c, startRow - r);
            SetCell(c, r, &cell);
        }
    GetCell(startCol, startRow, &cell);
    cell.SetJoinInfo(1, endCol - startCol, endRow - startRow);
    SetCell(startCol, startRow, &cell);
    return 0;
}

int CUGCtrlCore::UnJoinCells(int col, long row)
{
    int ec;
    long er;
    if (GetJoinRange(&col, &row, &ec, &er) != 0)
        return 0;
    CUGCell cell;
    for (long r = row; r <= er; ++r)
        for (int c = col; c <= ec; ++c) {
            GetCell(c, r, &cell);
            cell.ClearPropertyFlags(UGCELL_JOIN);
            SetCell(c, r, &cell);
        }
    return 0;
}

int CUGCtrlCore::GetJoinStartCell(int* col, long* row)
{
    CUGCell cell;
    return GetJoinStartCell(col, row, &cell);
}

int CUGCtrlCore::GetJoinStartCell(int* col, long* row, CUGCell* cell)
{
    if (!m_GI->m_enableJoins)
        return 1;
    CUGCell local;
    CUGCell* c = cell ? cell : &local;
    GetCellIndirect(*col, *row, c);
    int origin, dc;
    long dr;
    if (c->GetJoinInfo(&origin, &dc, &dr) != 0)
        return 2;
    if (!origin) {
        *col += dc;
        *row += dr;
        GetCellIndirect(*col, *row, c);
    }
    return 0;
}

int CUGCtrlCore::GetJoinRange(int* col, long* row, int* endCol, long* endRow)
{
    if (!m_GI->m_enableJoins)
        return 1;
    CUGCell cell;
    const int rc = GetJoinStartCell(col, row, &cell);
    if (rc != 0)
        return rc;
    int origin = 0, dc = 0;
    long dr = 0;
    cell.GetJoinInfo(&origin, &dc, &dr);
    if (!origin) // a start cell that lost its join: treat as the cell alone
        dc = 0, dr = 0;
    *endCol = *col + std::max(0, dc);
    *endRow = *row + std::max(0L, dr);
    return 0;
}

// ---------------------------------------------------------------- data sources

int CUGCtrlCore::AddDataSource(CUGDataSource* ds)
{
    if (!ds)
        return 1;
    for (size_t i = 1; i < m_dataSrcList.size(); ++i)
        if (!m_dataSrcList[i]) {
            m_dataSrcList[i] = ds;
            ds->m_ctrl = this;
            ds->SetID(long(i));
            return int(i);
        }
    try {
        if (m_dataSrcList.size() == m_dataSrcList.capacity())
            m_dataSrcList.reserve(m_dataSrcList.size() + 16);
        m_dataSrcList.push_back(ds);
    } catch (...) {
        return -1;
    }
    ds->m_ctrl = this;
    ds->SetID(long(m_dataSrcList.size() - 1));
    return int(m_dataSrcList.size() - 1);
}

CUGDataSource* CUGCtrlCore::GetDataSource(int index)
{
    if (index == 0)
        return m_GI->m_CUGMem.get();
    if (index < 0 || index >= int(m_dataSrcList.size()))
        return nullptr;
    return m_dataSrcList[size_t(index)];
}

int CUGCtrlCore::RemoveDataSource(int index)
{
    if (index < 1 || index >= int(m_dataSrcList.size()) || !m_dataSrcList[size_t(index)])
        return 1;
    CUGDataSource* ds = m_dataSrcList[size_t(index)];
    m_dataSrcList[size_t(index)] = nullptr;
    // No sheet or column may keep pointing at a source that is gone.
    for (auto& sheet : m_sheets) {
        if (sheet->m_defDataSource == ds) {
            sheet->m_defDataSource = sheet->m_CUGMem.get();
            sheet->m_defDataSourceIndex = 0;
        }
        for (CUGColInfo& ci : sheet->m_colInfo)
            if (ci.dataSource == ds)
                ci.dataSource = sheet->m_defDataSource;
    }
    return 0;
}

int CUGCtrlCore::SetDefDataSource(int index)
{
    CUGDataSource* ds = GetDataSource(index);
    if (!ds)
        return 1;
    m_GI->m_defDataSourceIndex = index;
    m_GI->m_defDataSource = ds;
    for (CUGColInfo& ci : m_GI->m_colInfo)
        ci.dataSource = ds;
    return 0;
}

int CUGCtrlCore::SetColDataSource(int col, int index)
{
    CUGDataSource* ds = GetDataSource(index);
    if (!ds)
        return 1;
    return SetColDataSource(col, ds);
}

int CUGCtrlCore::SetColDataSource(int col, CUGDataSource* ds)
{
    if (!ds || col < 0 || col >= m_GI->m_numberCols)
        return 1;
    m_GI->m_colInfo[size_t(col)].dataSource = ds;
    return 0;
}

int CUGCtrlCore::SetGridUsingDataSource(int index)
{
    if (index < 0 || index >= int(m_dataSrcList.size()))
        return 0;
    CUGDataSource* ds = GetDataSource(index);
    if (!ds)
        return 1;
    const int cols = ds->GetNumCols();
    if (cols < 1)
        return 2;
    SetColCount(cols, 0);
    const long rows = ds->GetNumRows();
    if (rows >= 0)
        SetRowCount(rows, 0);
    AdjustLayout();
    return 0;
}

int CUGCtrlCore::InsertRow(long row)
{
    if (row < 0 || row > m_GI->m_numberRows)
        return 1;
    const int rc = m_GI->m_defDataSource->InsertRow(row);
    if (rc == 0)
        SetRowCount(m_GI->m_numberRows + 1);
    return rc;
}

int CUGCtrlCore::AppendRow()
{
    const int rc = m_GI->m_defDataSource->AppendRow();
    if (rc == 0)
        SetRowCount(m_GI->m_numberRows + 1);
    return rc;
}

int CUGCtrlCore::DeleteRow(long row)
{
    if (row < 0 || row >= m_GI->m_numberRows)
        return 1;
    const int rc = m_GI->m_defDataSource->DeleteRow(row);
    if (rc == 0)
        SetRowCount(m_GI->m_numberRows - 1);
    return rc;
}

int CUGCtrlCore::InsertCol(int col)
{
    CUGGridInfo& g = *m_GI;
    if (col < 0 || col >= g.m_numberCols)
        return 1;
    const int rc = ColDataSource(col)->InsertCol(g.m_colInfo[size_t(col)].colTranslation);
    if (rc != 0)
        return rc;
    SetColCount(g.m_numberCols + 1);
    std::rotate(g.m_colInfo.begin() + col, g.m_colInfo.end() - 1, g.m_colInfo.end());
    g.m_colInfo[size_t(col)].colTranslation = col;
    SumLockedWidth();
    RedrawAll();
    return 0;
}

int CUGCtrlCore::AppendCol()
{
    const int rc = m_GI->m_defDataSource->AppendCol();
    if (rc == 0)
        SetColCount(m_GI->m_numberCols + 1);
    return rc;
}

int CUGCtrlCore::DeleteCol(int col)
{
    CUGGridInfo& g = *m_GI;
    if (g.m_numberCols <= 0 || col < 0 || col >= g.m_numberCols)
        return 1;
    const int rc = ColDataSource(col)->DeleteCol(g.m_colInfo[size_t(col)].colTranslation);
    if (rc != 0)
        return rc;
    std::rotate(g.m_colInfo.begin() + col, g.m_colInfo.begin() + col + 1, g.m_colInfo.end());
    SetColCount(g.m_numberCols - 1);
    return 0;
}

int CUGCtrlCore::MoveColPosition(int fromCol, int toCol, BOOL before)
{
    CUGGridInfo& g = *m_GI;
    if (fromCol < 0 || fromCol >= g.m_numberCols)
        return 1;
    const int at = toCol + (before ? 0 : 1);
    if (at < 0 || at > g.m_numberCols)
        return 1;
    if (at == fromCol || at == fromCol + 1)
        return 0;
    auto& v = g.m_colInfo;
    if (at < fromCol)
        std::rotate(v.begin() + at, v.begin() + fromCol, v.begin() + fromCol + 1);
    else
        std::rotate(v.begin() + fromCol, v.begin() + fromCol + 1, v.begin() + at);
    SumLockedWidth();
    return 0;
}

int CUGCtrlCore::FindFirst(std::string* text, int* col, long* row, long flags)
{
    if (!col)
        return 1;
    *col = GetColTranslation(*col);
    return m_GI->m_defDataSource->FindFirst(text, col, row, flags);
}

int CUGCtrlCore::FindNext(std::string* text, int* col, long* row, long flags)
{
    if (!col)
        return 1;
    *col = GetColTranslation(*col);
    return m_GI->m_defDataSource->FindNext(text, col, row, flags);
}

int CUGCtrlCore::SortBy(int col, int flags)
{
    return SortBy(&col, 1, flags);
}

int CUGCtrlCore::SortBy(int* cols, int count, int flags)
{
    if (!cols || count <= 0)
        return 1;
    std::vector<int> translated(cols, cols + count);
    for (int& c : translated)
        c = GetColTranslation(c);
    return m_GI->m_defDataSource->SortBy(translated.data(), count, flags);
}

// ---------------------------------------------------------------- navigation

int CUGCtrlCore::CheckRow(long* row)
{
    return CheckRowImpl(row, true);
}

int CUGCtrlCore::CheckRowImpl(long* row, bool joins)
{
    CUGGridInfo& g = *m_GI;
    long r = *row;
    if (r >= g.m_numberRows) {
        const long count = g.m_numberRows;
        const long past = r - count + 1;
        long result = 0;
        g.m_defDataSource->OnBottomReached(count, past, &result);
        OnBottomReached(count, past, result);
        r = g.m_numberRows - 1;
        if (r == g.m_dragRow)
            return 1;
    }
    if (r < 0)
        r = 0;
    if (joins && g.m_enableJoins && g.m_dragCol >= 0 && r < g.m_numberRows) {
        int sc = g.m_dragCol, ec;
        long sr = r, er;
        if (GetJoinRange(&sc, &sr, &ec, &er) == 0) {
            const long p = g.m_dragRow;
            if (g.m_moveType != 0) {
                r = sr;
            } else if (r > p) {
                if (p < sr)
                    r = sr;
                else if (p <= er)
                    if (er + 1 < g.m_numberRows)
                        r = er + 1;
            } else if (r < p && p <= er) {
                if (sr - 1 > 0)
                    r = sr - 1;
            }
        }
    }
    *row = r;
    return 0;
}

int CUGCtrlCore::CheckCol(int* col)
{
    CUGGridInfo& g = *m_GI;
    int c = *col;
    if (c >= g.m_numberCols) {
        c = g.m_numberCols - 1;
        if (c == g.m_dragCol)
            return 1;
    }
    if (c == g.m_dragCol) {
        *col = c;
        return 0;
    }
    if (c < 0)
        c = 0;
    if (g.m_enableJoins && g.m_dragRow >= 0 && c < g.m_numberCols) {
        int sc = c, ec;
        long sr = g.m_dragRow, er;
        if (GetJoinRange(&sc, &sr, &ec, &er) == 0) {
            const int p = g.m_dragCol;
            if (g.m_moveType != 0) {
                c = sc;
            } else if (c > p) {
                if (p < sc)
                    c = sc;
                else if (p <= ec)
                    if (ec + 1 < g.m_numberCols)
                        c = ec + 1;
            } else if (c < p && p <= ec) {
                if (sc - 1 > 0)
                    c = sc - 1;
            }
        }
    }
    *col = c;
    return 0;
}

int CUGCtrlCore::GotoCol(int col)
{
    CUGGridInfo& g = *m_GI;
    if (g.m_moveType == 0 && g.m_multiSelectFlag && !IsShiftHeld() && !IsCtrlHeld() &&
        g.m_multiSelect->HasBlockInProgress()) {
        g.m_currentCol = g.m_multiSelect->GetAnchorCol();
        g.m_currentRow = g.m_multiSelect->GetAnchorRow();
    }
    if (col != g.m_dragCol) {
        if (CheckCol(&col) != 0)
            return 1;
        if (col != g.m_dragCol) {
            if (g.m_defDataSource->OnCanMove(g.m_dragCol, g.m_dragRow, col, g.m_dragRow) != 1)
                return 2;
            if (!OnCanMove(g.m_dragCol, g.m_dragRow, col, g.m_dragRow))
                return 2;
        }
    }
    g.m_dragCol = col;
    AdjustLeftColToPending();
    MoveUpdate();
    return 0;
}

int CUGCtrlCore::GotoRow(long row)
{
    CUGGridInfo& g = *m_GI;
    if (g.m_moveType == 0 && g.m_multiSelectFlag && !IsShiftHeld() && !IsCtrlHeld() &&
        g.m_multiSelect->HasBlockInProgress()) {
        g.m_currentCol = g.m_multiSelect->GetAnchorCol();
        g.m_currentRow = g.m_multiSelect->GetAnchorRow();
    }
    if (row != g.m_dragRow) {
        if (CheckRow(&row) != 0)
            return 1;
        if (row != g.m_dragRow && !OnCanMove(g.m_dragCol, g.m_dragRow, g.m_dragCol, row))
            return 2;
    }
    g.m_dragRow = row;
    AdjustTopRowToPending();
    MoveUpdate();
    return 0;
}

int CUGCtrlCore::GotoCell(int col, long row)
{
    CUGGridInfo& g = *m_GI;
    if (col == g.m_dragCol && row == g.m_dragRow)
        return 0;
    // Whatever a caller proposes, the current column is a data column.
    if (col < 0 || col >= g.m_numberCols)
        return 1;
    if (CheckRowImpl(&row, false) != 0)
        return 1;
    if (g.m_enableJoins)
        GetJoinStartCell(&col, &row);
    if (g.m_defDataSource->OnCanMove(g.m_currentCol, g.m_currentRow, col, row) != 1)
        return 2;
    if (!OnCanMove(g.m_currentCol, g.m_currentRow, col, row))
        return 2;
    g.m_dragCol = col;
    g.m_dragRow = row;
    AdjustLeftColToPending();
    AdjustTopRowToPending();
    MoveUpdate();
    return 0;
}

int CUGCtrlCore::SetTopRow(long row)
{
    CUGGridInfo& g = *m_GI;
    if (row == g.m_topRow)
        return 0;
    row = std::min(row, g.m_maxTopRow);
    row = std::max(row, g.m_numLockRows);
    if (row == g.m_topRow)
        return 0;
    if (!OnCanViewMove(g.m_leftCol, g.m_topRow, g.m_leftCol, row))
        return 2;
    g.m_topRow = row;
    MoveUpdate();
    return 0;
}

int CUGCtrlCore::SetLeftCol(int col)
{
    CUGGridInfo& g = *m_GI;
    if (col == g.m_leftCol)
        return 0;
    col = std::min(col, g.m_maxLeftCol);
    col = std::max(col, g.m_numLockCols);
    if (col == g.m_leftCol)
        return 0;
    if (!OnCanViewMove(g.m_leftCol, g.m_topRow, col, g.m_topRow))
        return 2;
    g.m_leftCol = col;
    MoveUpdate();
    return 0;
}

void CUGCtrlCore::AdjustTopRowToPending()
{
    CUGGridInfo& g = *m_GI;
    const long p = g.m_dragRow;
    if (p < 0)
        return;
    if (p < g.m_topRow) {
        if (p >= g.m_numLockRows)
            g.m_topRow = p;
        else
            return; // a locked row is always in view
    } else {
        const long long avail = (long long)g.m_gridHeight - g.m_lockRowHeight;
        long candidate = g.m_numLockRows;
        if (g.m_uniformRowHeightFlag) {
            const long long def = std::max(1, g.m_defRowHeight);
            candidate = long(p + 1 - avail / def);
        } else {
            long long sum = 0;
            for (long r = p; r >= g.m_numLockRows; --r) {
                sum += g.RowHeight(r);
                if (sum > avail) {
                    candidate = r + 1;
                    break;
                }
            }
        }
        candidate = std::min(candidate, p);
        g.m_topRow = std::max(g.m_topRow, candidate);
    }
    g.m_topRow = std::min(g.m_topRow, std::max(g.m_maxTopRow, g.m_numLockRows));
    g.m_topRow = std::max(g.m_topRow, g.m_numLockRows);
}

void CUGCtrlCore::AdjustLeftColToPending()
{
    CUGGridInfo& g = *m_GI;
    const int p = g.m_dragCol;
    if (p < 0)
        return;
    if (p < g.m_leftCol) {
        if (p >= g.m_numLockCols)
            g.m_leftCol = p;
        else
            return;
    } else {
        const long long avail = (long long)g.m_gridWidth - g.m_lockColWidth;
        int candidate = g.m_numLockCols;
        long long sum = 0;
        for (int c = p; c >= g.m_numLockCols; --c) {
            sum += g.ColWidth(c);
            if (sum > avail) {
                candidate = c + 1;
                break;
            }
        }
        candidate = std::min(candidate, p);
        g.m_leftCol = std::max(g.m_leftCol, candidate);
    }
    g.m_leftCol = std::min(g.m_leftCol, std::max(g.m_maxLeftCol, g.m_numLockCols));
    g.m_leftCol = std::max(g.m_leftCol, g.m_numLockCols);
}

long CUGCtrlCore::PageRowTarget(long start, bool forward) const
{
    const CUGGridInfo& g = *m_GI;
    auto h = [&](long r) { return (r < 0 || r >= g.m_numberRows) ? g.m_defRowHeight : g.RowHeight(r); };
    long long rem = (long long)g.m_gridHeight - g.m_lockRowHeight;
    long r = start;
    if (forward) {
        while (rem >= h(r + 1) && r < LONG_MAX - 1) {
            ++r;
            rem -= h(r);
            if (r >= g.m_numberRows && h(r) <= 0)
                break;
        }
    } else {
        while (r > 0 && rem >= h(r - 1)) {
            --r;
            rem -= h(r);
        }
    }
    return r;
}

int CUGCtrlCore::PageColTarget(int start, bool forward) const
{
    const CUGGridInfo& g = *m_GI;
    auto w = [&](int c) { return c < 0 ? g.m_defColWidth : c >= g.m_numberCols ? 1 : g.ColWidth(c); };
    long long rem = (long long)g.m_gridWidth - g.m_lockColWidth;
    int c = start;
    for (;;) {
        rem -= w(c);
        if (rem < 0)
            break;
        if (!forward && c <= 0)
            break;
        if (forward && c >= INT_MAX - 1)
            break;
        c += forward ? 1 : -1;
    }
    return c;
}

int CUGCtrlCore::MoveCurrentCol(int kind)
{
    const CUGGridInfo& g = *m_GI;
    switch (kind) {
    case 0:
        return GotoCol(g.m_dragCol - 1);
    case 1:
        return GotoCol(g.m_dragCol + 1);
    case 2:
        return GotoCol(PageColTarget(g.m_dragCol, false));
    case 3:
        return GotoCol(PageColTarget(g.m_dragCol, true));
    case 4:
        return GotoCol(0);
    case 5:
        return GotoCol(g.m_numberCols - 1);
    default:
        return 0;
    }
}

int CUGCtrlCore::MoveCurrentRow(int kind)
{
    const CUGGridInfo& g = *m_GI;
    switch (kind) {
    case 0:
        return GotoRow(g.m_dragRow - 1);
    case 1:
        return GotoRow(g.m_dragRow + 1);
    case 2:
        return GotoRow(PageRowTarget(g.m_dragRow, false));
    case 3:
        return GotoRow(PageRowTarget(g.m_dragRow, true));
    case 4:
        return GotoRow(0);
    case 5:
        return GotoRow(g.m_numberRows - 1);
    default:
        return 0;
    }
}

int CUGCtrlCore::MoveLeftCol(int kind)
{
    const CUGGridInfo& g = *m_GI;
    switch (kind) {
    case 0:
        return SetLeftCol(g.m_leftCol - 1);
    case 1:
        return SetLeftCol(g.m_leftCol + 1);
    case 2:
        return SetLeftCol(PageColTarget(g.m_leftCol, false));
    case 3:
        return SetLeftCol(PageColTarget(g.m_leftCol, true));
    case 4:
        return SetLeftCol(0);
    case 5:
        return SetLeftCol(g.m_maxLeftCol);
    default:
        return 0;
    }
}

int CUGCtrlCore::MoveTopRow(int kind)
{
    const CUGGridInfo& g = *m_GI;
    switch (kind) {
    case 0:
        return SetTopRow(g.m_topRow - 1);
    case 1:
        return SetTopRow(g.m_topRow + 1);
    case 2:
        return SetTopRow(PageRowTarget(g.m_topRow, false));
    case 3:
        return SetTopRow(PageRowTarget(g.m_topRow, true));
    case 4:
        return SetTopRow(0);
    case 5:
        return SetTopRow(g.m_maxTopRow);
    default:
        return 0;
    }
}

int CUGCtrlCore::AdjustCurrentCol(int delta)
{
    return GotoCol(m_GI->m_dragCol + delta);
}
int CUGCtrlCore::AdjustCurrentRow(long delta)
{
    return GotoRow(m_GI->m_dragRow + delta);
}
int CUGCtrlCore::AdjustLeftCol(int delta)
{
    return SetLeftCol(m_GI->m_leftCol + delta);
}
int CUGCtrlCore::AdjustTopRow(long delta)
{
    return SetTopRow(m_GI->m_topRow + delta);
}

void CUGCtrlCore::SelectionForMove()
{
    CUGGridInfo& g = *m_GI;
    if (!g.m_multiSelectFlag || m_editInProgress) {
        g.m_currentCol = g.m_dragCol;
        g.m_currentRow = g.m_dragRow;
        return;
    }
    CUGMultiSelect& ms = *g.m_multiSelect;
    const int c = g.m_dragCol;
    const long r = g.m_dragRow;
    const bool same = c == ms.GetLastCol() && r == ms.GetLastRow();
    switch (g.m_moveType) {
    case 0:
        if (same)
            break;
        if (IsShiftHeld()) {
            ms.EndBlock(c, r);
        } else {
            if (!IsCtrlHeld())
                ms.ClearAll();
            ms.StartBlock(c, r);
        }
        break;
    case 1:
        if (same)
            break;
        if (g.m_moveFlags & UG_MK_CONTROL) {
            ms.StartBlock(c, r);
        } else if (g.m_moveFlags & UG_MK_SHIFT) {
            ms.EndBlock(c, r);
        } else {
            ms.ClearAll();
            ms.StartBlock(c, r);
        }
        break;
    case 2:
        if (!ms.IsSelected(c, r)) {
            ms.ClearAll();
            ms.StartBlock(c, r);
        }
        break;
    case 3:
        if (!same)
            ms.EndBlock(c, r);
        break;
    default:
        break;
    }
    if (ms.GetAnchorCol() >= 0 && ms.GetAnchorRow() >= 0) {
        g.m_currentCol = ms.GetAnchorCol();
        g.m_currentRow = ms.GetAnchorRow();
    } else {
        g.m_currentCol = c;
        g.m_currentRow = r;
    }
}

void CUGCtrlCore::MoveUpdate()
{
    CUGGridInfo& g = *m_GI;
    SelectionForMove();
    const int oldCol = g.m_lastCol, newCol = g.m_currentCol;
    const long oldRow = g.m_lastRow, newRow = g.m_currentRow;
    if (newCol != oldCol) {
        g.m_defDataSource->OnColChange(oldCol, newCol);
        OnColChange(oldCol, newCol);
    }
    if (newRow != oldRow) {
        g.m_defDataSource->OnRowChange(oldRow, newRow);
        OnRowChange(oldRow, newRow);
    }
    if (newCol != oldCol || newRow != oldRow)
        OnCellChange(oldCol, newCol, oldRow, newRow);
    if (g.m_leftCol != g.m_lastLeftCol)
        OnLeftColChange(g.m_lastLeftCol, g.m_leftCol);
    if (g.m_topRow != g.m_lastTopRow)
        OnTopRowChange(g.m_lastTopRow, g.m_topRow);
    MoveTrackingWindow();
    if (newCol != oldCol || newRow != oldRow)
        OnCurrentCellChanged(oldCol, oldRow, newCol, newRow);
    OnViewMoved();
    g.m_lastTopRow = g.m_topRow;
    g.m_lastRow = g.m_currentRow;
    g.m_lastLeftCol = g.m_leftCol;
    g.m_lastCol = g.m_currentCol;
}

int CUGCtrlCore::ColX(int col) const
{
    const CUGGridInfo& g = *m_GI;
    long long x = 0;
    if (col < g.m_numLockCols) {
        for (int c = 0; c < col; ++c)
            x += g.ColWidth(c);
    } else if (col >= g.m_leftCol) {
        x = g.m_lockColWidth;
        for (int c = g.m_leftCol; c < col; ++c)
            x += g.ColWidth(c);
    } else {
        x = g.m_lockColWidth;
        for (int c = col; c < g.m_leftCol; ++c)
            x -= g.ColWidth(c);
    }
    return int(std::clamp<long long>(x, INT_MIN / 2, INT_MAX / 2));
}

int CUGCtrlCore::RowY(long row) const
{
    const CUGGridInfo& g = *m_GI;
    long long y = 0;
    if (g.m_uniformRowHeightFlag) {
        const long long def = g.m_defRowHeight;
        if (row < g.m_numLockRows)
            y = row * def;
        else
            y = g.m_lockRowHeight + (row - g.m_topRow) * def;
    } else if (row < g.m_numLockRows) {
        for (long r = 0; r < row; ++r)
            y += g.RowHeight(r);
    } else if (row >= g.m_topRow) {
        y = g.m_lockRowHeight;
        for (long r = g.m_topRow; r < row && y <= INT_MAX / 2; ++r)
            y += g.RowHeight(r);
    } else {
        y = g.m_lockRowHeight;
        for (long r = row; r < g.m_topRow && y >= INT_MIN / 2; ++r)
            y -= g.RowHeight(r);
    }
    return int(std::clamp<long long>(y, INT_MIN / 2, INT_MAX / 2));
}

RECT CUGCtrlCore::RangeRectRaw(int startCol, long startRow, int endCol, long endRow) const
{
    RECT r;
    r.left = ColX(startCol);
    r.right = ColX(endCol) + m_GI->ColWidth(endCol);
    r.top = RowY(startRow);
    r.bottom = RowY(endRow) + (endRow >= 0 && endRow < m_GI->m_numberRows ? m_GI->RowHeight(endRow) : 0);
    return r;
}

int CUGCtrlCore::GetCellRect(int* col, long* row, RECT* rect)
{
    if (!col || !row || !rect)
        return 1;
    int ec = *col;
    long er = *row;
    if (m_GI->m_enableJoins && GetJoinRange(col, row, &ec, &er) != 0) {
        ec = *col;
        er = *row;
    }
    *rect = RangeRectRaw(*col, *row, ec, er);
    return 0;
}

int CUGCtrlCore::GetRangeRect(int startCol, long startRow, int endCol, long endRow, RECT* rect)
{
    if (!rect)
        return 1;
    const CUGGridInfo& g = *m_GI;
    RECT r = RangeRectRaw(startCol, startRow, endCol, endRow);
    if (startCol >= g.m_numLockCols && startCol < g.m_leftCol)
        r.left = -10;
    if (startRow >= g.m_numLockRows && startRow < g.m_topRow)
        r.top = -10;
    if (r.right > g.m_gridWidth)
        r.right = g.m_gridWidth + 10;
    if (r.bottom > g.m_gridHeight)
        r.bottom = g.m_gridHeight + 10;
    *rect = r;
    return 0;
}

int CUGCtrlCore::GetCellFromPoint(int x, int y, int* col, long* row)
{
    RECT rect;
    return GetCellFromPoint(x, y, col, row, &rect);
}

int CUGCtrlCore::GetCellFromPoint(int x, int y, int* col, long* row, RECT* rect)
{
    const CUGGridInfo& g = *m_GI;
    if (!col || !row || x < 0 || y < 0 || x >= g.m_gridWidth || y >= g.m_gridHeight)
        return 1;
    int c = 0, found = -1;
    long long x0 = 0;
    while (c < g.m_numberCols) {
        c = g.SkipScrolledCols(c);
        if (c >= g.m_numberCols)
            break;
        const int w = g.ColWidth(c);
        if (x < x0 + w) {
            found = c;
            break;
        }
        x0 += w;
        if (x0 > x)
            break;
        ++c;
    }
    if (found < 0)
        return 1;
    long foundRow = -1;
    if (g.m_uniformRowHeightFlag) {
        const int def = std::max(1, g.m_defRowHeight);
        if (y < g.m_lockRowHeight)
            foundRow = y / def;
        else
            foundRow = g.m_topRow + (y - g.m_lockRowHeight) / def;
        if (foundRow >= g.m_numberRows)
            foundRow = -1;
    } else {
        long r = 0;
        long long y0 = 0;
        while (r < g.m_numberRows) {
            r = g.SkipScrolledRows(r);
            if (r >= g.m_numberRows)
                break;
            const int h = g.RowHeight(r);
            if (y < y0 + h) {
                foundRow = r;
                break;
            }
            y0 += h;
            if (y0 > y)
                break;
            ++r;
        }
    }
    if (foundRow < 0)
        return 1;
    *col = found;
    *row = foundRow;
    if (rect)
        GetCellRect(col, row, rect);
    else if (g.m_enableJoins)
        GetJoinStartCell(col, row);
    return 0;
}

int CUGCtrlCore::GetCellFromPointNoJoin(int x, int y, int* col, long* row)
{
    const int joins = m_GI->m_enableJoins;
    m_GI->m_enableJoins = 0;
    const int rc = GetCellFromPoint(x, y, col, row, nullptr);
    m_GI->m_enableJoins = joins;
    return rc;
}

int CUGCtrlCore::SetAutoScrollExponent(int exponent)
{
    if (exponent < 0 || exponent > 3)
        return 1;
    m_GI->m_autoScrollExponent = exponent;
    return 0;
}

int CUGCtrlCore::SetAutoScrollDelay(int ms)
{
    if (ms < 0 || ms > 32000)
        return 1;
    m_GI->m_autoScrollDelay = ms;
    return 0;
}

int CUGCtrlCore::AutoScrollStep(int d, int s, int exponent)
{
    if (exponent <= 0)
        return 1;
    const long long n = (long long)std::max(0, d) / std::max(1, s) + 1;
    long long step = 1;
    for (int i = 0; i < exponent; ++i)
        step = std::min<long long>(step * n, 1000000);
    return int(step);
}

// ---------------------------------------------------------------- selection

int CUGCtrlCore::SetMultiSelectMode(int mode)
{
    m_GI->m_multiSelectFlag = mode ? 1 : 0;
    m_GI->m_multiSelect->SetSelectMode(
        mode ? (m_GI->m_highlightRowFlag ? UG_MULTISELECT_ROW : UG_MULTISELECT_CELL) : UG_MULTISELECT_OFF);
    return 0;
}

int CUGCtrlCore::SetHighlightRow(BOOL state)
{
    m_GI->m_highlightRowFlag = state ? 1 : 0;
    int mode = m_GI->m_multiSelect->GetSelectMode() & ~UG_MULTISELECT_ROW;
    if (m_GI->m_multiSelectFlag)
        mode = state ? ((mode & ~UG_MULTISELECT_CELL) | UG_MULTISELECT_ROW) : (mode | UG_MULTISELECT_CELL);
    m_GI->m_multiSelect->SetSelectMode(mode);
    return 0;
}

int CUGCtrlCore::ClearSelections()
{
    m_GI->m_multiSelect->ClearAll();
    m_GI->m_dragCol = m_GI->m_currentCol;
    m_GI->m_dragRow = m_GI->m_currentRow;
    return 0;
}

int CUGCtrlCore::Select(int col, long row)
{
    m_GI->m_multiSelect->StartBlock(col, row);
    m_GI->m_multiSelect->EndBlock(col, row);
    RedrawCell(col, row);
    return 0;
}

int CUGCtrlCore::SelectRange(int startCol, long startRow, int endCol, long endRow)
{
    if (m_GI->m_multiSelectFlag) {
        m_GI->m_multiSelect->StartBlock(startCol, startRow);
        m_GI->m_multiSelect->EndBlock(endCol, endRow);
    }
    RedrawRange(startCol, startRow, endCol, endRow);
    return 0;
}

int CUGCtrlCore::IsSelected(int col, long row, int* block)
{
    return m_GI->m_multiSelect->IsSelected(col, row, block);
}

int CUGCtrlCore::EnumFirstSelected(int* col, long* row)
{
    return m_GI->m_multiSelect->EnumFirstSelected(col, row);
}

int CUGCtrlCore::EnumNextSelected(int* col, long* row)
{
    return m_GI->m_multiSelect->EnumNextSelected(col, row);
}

// ---------------------------------------------------------------- sheets

int CUGCtrlCore::SetNumberSheets(int count)
{
    if (count < 1 || count > 1024)
        return 1;
    const int previous = m_currentSheet;
    if (int(m_sheets.size()) > count) {
        // An edit of a sheet that goes away has nowhere to be stored: finishing it
        // later would write the text into the same cell of another sheet.
        if (m_currentSheet >= count)
            CancelEdit();
        if (m_currentSheet >= count)
            m_GI = nullptr;
        m_sheets.resize(size_t(count));
    }
    while (int(m_sheets.size()) < count) {
        auto sheet = std::make_unique<CUGGridInfo>();
        CreateSheetObjects(sheet.get());
        const int index = int(m_sheets.size());
        m_sheets.push_back(std::move(sheet));
        m_GI = m_sheets.back().get();
        m_currentSheet = index;
        OnSheetSetup(index);
    }
    if (previous < count && !m_sheets.empty()) {
        m_currentSheet = previous;
        m_GI = m_sheets[size_t(previous)].get();
    } else {
        m_currentSheet = count - 1;
        m_GI = m_sheets.back().get();
        SetSheetNumber(count - 1, 1);
    }
    return 0;
}

int CUGCtrlCore::SetSheetNumber(int index, BOOL redraw)
{
    if (index < 0 || index >= int(m_sheets.size()))
        return 1;
    const int savedPaint = m_paintFlag;
    if (!redraw)
        m_paintFlag = 0;
    // Taking the focus finishes an edit on the sheet it belongs to; one still open
    // (the window was not active) ends here, before its cell's sheet is left.
    FocusGrid();
    if (index != m_currentSheet)
        CancelEdit();
    const int tabWidth = m_GI ? m_GI->m_tabWidth : 0;
    m_currentSheet = index;
    m_GI = m_sheets[size_t(index)].get();
    m_GI->m_tabWidth = tabWidth;
    if (!m_constructing)
        AdjustLayout();
    // The next move update reports both positions afresh.
    m_GI->m_lastTopRow = -1;
    m_GI->m_lastLeftCol = -1;
    m_paintFlag = savedPaint;
    return 0;
}

int CUGCtrlCore::SetCurrentCellMode(int mode)
{
    if (mode < 0 || mode > 3)
        return 1;
    m_GI->m_currentCellMode = mode;
    return 0;
}

int CUGCtrlCore::SetPaintMode(BOOL mode)
{
    m_GI->m_paintMode = mode ? 1 : 0;
    if (mode)
        RedrawAll();
    return 0;
}

int CUGCtrlCore::EnableMenu(BOOL state)
{
    m_GI->m_enablePopupMenu = state ? 1 : 0;
    return 0;
}
int CUGCtrlCore::UseHints(BOOL state)
{
    m_GI->m_enableHints = state ? 1 : 0;
    return 0;
}
int CUGCtrlCore::UseVScrollHints(BOOL state)
{
    m_GI->m_enableVScrollHints = state ? 1 : 0;
    return 0;
}
int CUGCtrlCore::UseHScrollHints(BOOL state)
{
    m_GI->m_enableHScrollHints = state ? 1 : 0;
    return 0;
}
int CUGCtrlCore::SetUserSizingMode(int mode)
{
    m_GI->m_userSizingMode = mode;
    return 0;
}
int CUGCtrlCore::EnableTextOverflow(BOOL state)
{
    m_GI->m_enableCellOverLap = state ? 1 : 0;
    return 0;
}
int CUGCtrlCore::EnableColSwapping(BOOL state)
{
    m_GI->m_enableColSwapping = state ? 1 : 0;
    return 0;
}
int CUGCtrlCore::EnableGridLines(BOOL state)
{
    m_GI->m_enableGridLines = state ? 1 : 0;
    return 0;
}
int CUGCtrlCore::SetVScrollMode(int mode)
{
    if (mode < 0 || mode > 2)
        return 1;
    m_GI->m_vScrollMode = mode;
    OnViewMoved();
    return 0;
}
int CUGCtrlCore::SetHScrollMode(int mode)
{
    if (mode < 0 || mode > 2)
        return 1;
    m_GI->m_hScrollMode = mode;
    OnViewMoved();
    return 0;
}
int CUGCtrlCore::SetKeyAccelStep(int step)
{
    if (step < 0 || step > 1000)
        return 1;
    m_GI->m_keyAccelStep = step;
    return 0;
}
int CUGCtrlCore::SetKeyAccelDelay(int ms)
{
    if (ms < 0)
        return 1;
    m_GI->m_keyAccelDelay = ms;
    return 0;
}
int CUGCtrlCore::SetDoubleBufferMode(int mode)
{
    m_GI->m_doubleBufferMode = mode;
    return 0;
}
int CUGCtrlCore::SetMargin(int pixels)
{
    if (pixels < 0)
        return 1;
    m_GI->m_margin = pixels;
    return 0;
}
int CUGCtrlCore::SetDefFont(CFont* font)
{
    if (!font)
        return 1;
    m_GI->m_defFont = font;
    return 0;
}
int CUGCtrlCore::SetDefFont(int index)
{
    return SetDefFont(GetFont(index));
}
int CUGCtrlCore::SetNewEditClass(CWnd* edit)
{
    if (!edit)
        return 1;
    m_GI->m_editCtrl = edit;
    return 0;
}
int CUGCtrlCore::SetTrackingWindowMode(int mode)
{
    m_GI->m_trackingWndMode = mode;
    return 0;
}
int CUGCtrlCore::SetNewMultiSelectClass(std::unique_ptr<CUGMultiSelect> multiSelect)
{
    if (!multiSelect)
        return 1;
    m_GI->m_multiSelect = std::move(multiSelect);
    m_GI->m_multiSelect->Attach(this, m_GI);
    return 0;
}
int CUGCtrlCore::SetBallisticMode(int mode)
{
    if (mode < 1 || mode > 16)
        return 1;
    m_GI->m_ballisticMode = mode;
    return 0;
}

// ---------------------------------------------------------------- editing

int CUGCtrlCore::StartEditCell(int col, long row, int key)
{
    CUGGridInfo& g = *m_GI;
    m_editInProgress = 1;
    CUGMultiSelect& ms = *g.m_multiSelect;
    int sc, ec;
    long sr, er;
    const bool hadBlocks = ms.GetTotalRange(&sc, &sr, &ec, &er) == 0;
    const bool onlyThisCell = hadBlocks && sc == col && ec == col && sr == row && er == row;
    ms.ClearAll();
    g.m_dragCol = g.m_currentCol;
    g.m_dragRow = g.m_currentRow;
    if (hadBlocks && !onlyThisCell)
        RedrawRange(sc, sr, ec, er);

    const bool heading = col < 0 || row < 0;
    if (!heading && (col != g.m_currentCol || row != g.m_currentRow)) {
        if (GotoCell(col, row) != 0) {
            m_editInProgress = 0;
            return 2;
        }
        col = g.m_currentCol;
        row = g.m_currentRow;
    }
    if (col < 0 && row < 0) {
        m_editInProgress = 0;
        return 1;
    }
    m_editCol = col;
    m_editRow = row;
    m_editCell.ClearAll();
    GetCellIndirect(col, row, &m_editCell);
    if (!IsCellTypeEditable(m_editCell)) {
        m_editInProgress = 0;
        return 1;
    }
    const int section = col < 0 ? UG_SECTION_SIDEHDG : row < 0 ? UG_SECTION_TOPHDG : UG_SECTION_GRID;
    if (m_editCell.GetReadOnly()) {
        m_editInProgress = 0;
        return 1;
    }
    CWnd* edit = g.m_editCtrl;
    CUGDataSource* ds = col < 0 ? g.m_defDataSource : ColDataSource(col);
    if (!ds->OnEditStart(col, row, &edit) || !OnEditStart(col, row, &edit)) {
        m_editInProgress = 0;
        return 1;
    }
    m_editCtrl = edit;
    m_editParent = section;
    ShowEditWindow(edit, section, key);
    return 0;
}

void CUGCtrlCore::EditContinueTarget(int* newCol, long* newRow)
{
    CUGGridInfo& g = *m_GI;
    if (g.m_enableJoins) {
        int sc = m_editCol, ec;
        long sr = m_editRow, er;
        if (GetJoinRange(&sc, &sr, &ec, &er) == 0 && sc == m_editCol && sr == m_editRow) {
            if (*newCol > sc && *newCol <= ec)
                *newCol += ec - sc;
            if (*newRow > sr && *newRow <= er)
                *newRow += er - sr;
        }
        // A target inside another joined block edits that block's start cell.
        if (*newCol >= 0 && *newCol < g.m_numberCols && *newRow >= 0 && *newRow < g.m_numberRows) {
            int c = *newCol;
            long r = *newRow;
            if (GetJoinStartCell(&c, &r) == 0 && !(c == m_editCol && r == m_editRow)) {
                *newCol = c;
                *newRow = r;
            }
        }
    }
    if (*newCol < 0)
        *newCol = g.m_numberCols - 1;
    else if (*newCol >= g.m_numberCols)
        *newCol = 0;
    if (*newRow < 0)
        *newRow = g.m_numberRows - 1;
    else if (*newRow >= g.m_numberRows)
        *newRow = 0;
}

int CUGCtrlCore::EditCtrlFinished(const char* text, int cancel, int continueFlag, int newCol, long newRow)
{
    CUGGridInfo& g = *m_GI;
    if (!m_editInProgress)
        cancel = 1;
    std::string value = text ? text : "";
    CUGDataSource* ds = m_editCol < 0 ? g.m_defDataSource : ColDataSource(m_editCol);
    if (ds->OnEditFinish(m_editCol, m_editRow, m_editCtrl, value.c_str(), cancel) != 1 ||
        !OnEditFinish(m_editCol, m_editRow, m_editCtrl, value, cancel)) {
        if (m_editInProgress)
            return 0;
        return 1;
    }
    HideEditWindow(m_editCtrl);
    if (!cancel)
        SetTextAt(m_editCol, m_editRow, value.c_str());
    if (continueFlag && m_editParent == UG_SECTION_GRID && m_editInProgress) {
        EditContinueTarget(&newCol, &newRow);
        if (ds->OnEditContinue(m_editCol, m_editRow, &newCol, &newRow) == 1 &&
            OnEditContinue(m_editCol, m_editRow, &newCol, &newRow)) {
            // A table may propose any cell; only data cells are edited from here.
            if (newCol >= 0 && newCol < g.m_numberCols && newRow >= 0) {
                StartEditCell(newCol, newRow, 0);
                return 1;
            }
        }
    }
    m_editInProgress = 0;
    return 1;
}

int CUGCtrlCore::CancelEdit()
{
    if (m_editInProgress) {
        m_editInProgress = 0;
        FocusGridFromEdit();
        HideEditWindow(m_editCtrl);
    }
    return 0;
}

// ---------------------------------------------------------------- notification defaults

int CUGCtrlCore::OnHint(int col, long row, int, std::string* text)
{
    if (text)
        *text = "Col:" + std::to_string(col) + " Row:" + std::to_string(row);
    return 1;
}

int CUGCtrlCore::OnCompareCells(CUGCell* a, CUGCell* b, int flags)
{
    if (flags & 2)
        std::swap(a, b);
    if (!a && !b)
        return 0;
    if (!a)
        return -1;
    if (!b)
        return 1;
    const char* ta = a->GetText();
    const char* tb = b->GetText();
    if (!ta)
        return tb ? -1 : 0;
    if (!tb)
        return 1;
    const short type = a->GetDataType();
    if (type == UGDATA_NUMBER || type == UGDATA_BOOL || type == 5) {
        const double x = a->GetNumber(), y = b->GetNumber();
        return x > y ? 1 : x < y ? -1 : 0;
    }
    const int d = std::strcmp(ta, tb);
    return d > 0 ? 1 : d < 0 ? -1 : 0;
}

COLORREF CUGCtrlCore::OnGetDefBackColor(int section)
{
    return UGGetSysColor(section == UG_SECTION_GRID ? UG_COLOR_WINDOW : UG_COLOR_BTNFACE);
}
