#include "UGrid/UGPrint.h"

#include "UGrid/UGCellType.h"
#include "UGrid/UGCtrl.h"
#include "UGrid/UGDC.h"

#include <QPaintDevice>

#include <algorithm>
#include <cmath>
#include <set>

UGPrinterMetrics CUGPrint::MetricsOf(const QPaintDevice* device)
{
    if (!device)
        return {};
    return {device->width(), device->height(), device->widthMM(), device->heightMM()};
}

int CUGPrint::PrintInit(CDC* printer, int, int startCol, long startRow, int endCol, long endRow)
{
    ClearPages();
    m_pagesAcross = m_pagesDown = 0;
    const QPaintDevice* device = printer && printer->Painter() ? printer->Painter()->device() : nullptr;
    const int rowHdg = m_printRowHdgs ? m_ctrl->GetSideHdgWidth() : 0;
    const int colHdg = m_printColHdgs ? m_ctrl->GetTopHdgHeight() : 0;
    m_geometry = UGCalcPageGeometry(MetricsOf(device), m_margins, rowHdg, colHdg);
    if (m_geometry.empty())
        return 0;
    startCol = std::max(startCol, 0);
    startRow = std::max(startRow, 0L);
    endCol = std::min(endCol, m_ctrl->GetColCount() - 1);
    endRow = std::min(endRow, m_ctrl->GetRowCount() - 1);
    if (endCol < startCol || endRow < startRow)
        return 0;
    std::vector<int> widths, heights;
    for (int c = startCol; c <= endCol; ++c)
        widths.push_back(m_ctrl->GetColWidth(c));
    for (long r = startRow; r <= endRow; ++r)
        heights.push_back(m_ctrl->GetRowHeight(r));
    // Headings are printed on every page, so each band has the printable size
    // that is left after them.
    const auto colBands = UGCalcBands(widths, startCol, 0, m_geometry.printableWidth);
    const auto rowBands = UGCalcBands(heights, int(startRow), 0, m_geometry.printableHeight);
    m_pagesAcross = int(colBands.size());
    m_pagesDown = int(rowBands.size());
    for (size_t rb = 0; rb < rowBands.size(); ++rb)
        for (size_t cb = 0; cb < colBands.size(); ++cb)
            AddPage(int(rb) * m_pagesAcross + int(cb) + 1, colBands[cb].first, colBands[cb].last,
                    rowBands[rb].first, rowBands[rb].last);
    return m_pagesAcross * m_pagesDown;
}

int CUGPrint::PrintPage(CDC* printer, int page)
{
    int firstCol, lastCol;
    long firstRow, lastRow;
    if (!printer || GetPage(page, &firstCol, &lastCol, &firstRow, &lastRow) == 0)
        return 0;
    const float hs = m_geometry.hScale, vs = m_geometry.vScale;

    struct Span
    {
        long index;
        int from, to;
    };
    std::vector<Span> rows, cols;
    int y = m_geometry.topEdge;
    auto addRow = [&](long r, int h) {
        const int ph = int(std::trunc(h * vs));
        if (ph > 0)
            rows.push_back({r, y, y + ph});
        y += ph;
    };
    if (m_printColHdgs)
        for (int k = -m_ctrl->GetNumberTopHdgRows(); k < 0; ++k)
            addRow(k, m_ctrl->GetTopHdgRowHeight(k));
    for (long r = firstRow; r <= lastRow; ++r)
        addRow(r, m_ctrl->GetRowHeight(r));
    int x = m_geometry.leftEdge;
    auto addCol = [&](int c, int w) {
        const int pw = int(std::trunc(w * hs));
        if (pw > 0)
            cols.push_back({c, x, x + pw});
        x += pw;
    };
    if (m_printRowHdgs)
        for (int k = -m_ctrl->GetNumberSideHdgCols(); k < 0; ++k)
            addCol(k, m_ctrl->GetSideHdgColWidth(k));
    for (int c = firstCol; c <= lastCol; ++c)
        addCol(c, m_ctrl->GetColWidth(c));
    if (rows.empty() || cols.empty())
        return 0;

    bool cornerDone = false;
    std::set<std::pair<int, long>> joinsDone;
    CUGCell cell;
    for (const Span& rs : rows) {
        for (const Span& cs : cols) {
            const int c = int(cs.index);
            const long r = rs.index;
            if (c < 0 && r < 0) {
                // The whole corner is one cell, as wide as the row heading and as
                // high as the column heading.
                if (cornerDone)
                    continue;
                cornerDone = true;
                const RECT corner{m_geometry.leftEdge, m_geometry.topEdge,
                                  m_geometry.leftEdge + int(std::trunc(m_ctrl->GetSideHdgWidth() * hs)),
                                  m_geometry.topEdge + int(std::trunc(m_ctrl->GetTopHdgHeight() * vs))};
                PrintCell(printer, corner, -1, -1);
                continue;
            }
            int sc = c, ec = c;
            long sr = r, er = r;
            if (c >= 0 && r >= 0 && m_ctrl->GetJoinRange(&sc, &sr, &ec, &er) == 0) {
                if (!joinsDone.insert({sc, sr}).second)
                    continue;
                // The block's part on this page, drawn from the block's own start cell.
                const int pc0 = std::max(sc, firstCol), pc1 = std::min(ec, lastCol);
                const long pr0 = std::max(sr, firstRow), pr1 = std::min(er, lastRow);
                // Its first or last column or row may be hidden (printed size 0):
                // the block spans the printed ones between them.
                const Span *a = nullptr, *b = nullptr, *t = nullptr, *u = nullptr;
                for (const Span& s : cols)
                    if (s.index >= pc0 && s.index <= pc1) {
                        a = a ? a : &s;
                        b = &s;
                    }
                for (const Span& s : rows)
                    if (s.index >= pr0 && s.index <= pr1) {
                        t = t ? t : &s;
                        u = &s;
                    }
                if (a && b && t && u) {
                    PrintCell(printer, RECT{a->from, t->from, b->to, u->to}, sc, sr);
                }
                continue;
            }
            PrintCell(printer, RECT{cs.from, rs.from, cs.to, rs.to}, c, r);
        }
    }
    if (m_frameLines) {
        const int left = cols.front().from, right = cols.back().to;
        const int top = m_printColHdgs ? m_geometry.topEdge : rows.front().from, bottom = rows.back().to;
        printer->SelectPen(UGRGB(0, 0, 0));
        printer->MoveTo(left, top);
        printer->LineTo(right + 1, top);
        printer->MoveTo(left, bottom);
        printer->LineTo(right + 1, bottom);
        printer->MoveTo(left, top);
        printer->LineTo(left, bottom + 1);
        printer->MoveTo(right, top);
        printer->LineTo(right, bottom + 1);
    }
    return 0;
}

void CUGPrint::PrintCell(CDC* printer, const RECT& rect, int col, long row)
{
    CUGCell cell;
    m_ctrl->GetCellIndirect(col, row, &cell);
    CUGCellType* type = m_ctrl->GetCellType(cell.GetCellType());
    if (!type)
        type = m_ctrl->GetCellType(0);
    RECT r = rect;
    printer->Save();
    type->OnDrawScaled(printer, &r, col, row, &cell);
    printer->Restore();
}

int CUGPrint::PrintSetOption(int option, long value)
{
    switch (option) {
    case 1:
        m_printColHdgs = value ? 1 : 0;
        break;
    case 2:
        m_printRowHdgs = value ? 1 : 0;
        break;
    case 3:
        m_margins.left = int(value);
        break;
    case 4:
        m_margins.top = int(value);
        break;
    case 5:
        m_margins.right = int(value);
        break;
    case 6:
        m_margins.bottom = int(value);
        break;
    case 10:
        m_frameLines = value ? 1 : 0;
        break;
    default:
        break;
    }
    return 0;
}

int CUGPrint::PrintGetOption(int option, long* value) const
{
    long v = 0;
    switch (option) {
    case 3:
        v = m_margins.left;
        break;
    case 4:
        v = m_margins.top;
        break;
    case 5:
        v = m_margins.right;
        break;
    case 6:
        v = m_margins.bottom;
        break;
    case 10:
        v = m_frameLines;
        break;
    default:
        return 1;
    }
    if (value)
        *value = v;
    return int(v);
}

int CUGPrint::AddPage(int page, int firstCol, int lastCol, long firstRow, long lastRow)
{
    for (Page& p : m_pages)
        if (p.page == page) {
            p = {page, firstCol, lastCol, firstRow, lastRow};
            return 1;
        }
    m_pages.push_back({page, firstCol, lastCol, firstRow, lastRow});
    return 1;
}

int CUGPrint::GetPage(int page, int* firstCol, int* lastCol, long* firstRow, long* lastRow) const
{
    for (const Page& p : m_pages)
        if (p.page == page) {
            *firstCol = p.firstCol;
            *lastCol = p.lastCol;
            *firstRow = p.firstRow;
            *lastRow = p.lastRow;
            return 1;
        }
    return 0;
}

int CUGPrint::ClearPages()
{
    m_pages.clear();
    return 1;
}
