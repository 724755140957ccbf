#include "UGrid/UGSpreadsheetCtrl.h"

#include "UGrid/model/UGMultiSelect.h"
#include "UGrid/model/UGTextOps.h"

#include <algorithm>
#include <cstdio>

namespace {
QFont SheetFont()
{
    QFont f(QStringLiteral("Arial"));
    f.setPixelSize(16);
    f.setWeight(QFont::Medium);
    return f;
}
} // namespace

CUGSpreadsheetCtrl::CUGSpreadsheetCtrl(QWidget* parent) : CUGCtrl(parent), m_font(SheetFont()) {}

void CUGSpreadsheetCtrl::OnSetup()
{
    SetDefFont(&m_font);
    CUGCell cell;
    GetGridDefault(&cell);
    cell.SetBorder(UG_BDR_RTHIN | UG_BDR_BTHIN);
    cell.SetFont(&m_font);
    cell.SetHBackColor(0);
    SetGridDefault(&cell);
    GetHeadingDefault(&cell);
    cell.SetFont(&m_font);
    SetHeadingDefault(&cell);
    SetDefRowHeight(17);
    SetDefColWidth(70);
    SetTopHdgHeight(17);
    SetSideHdgWidth(30);
    SetMultiSelectMode(TRUE);
    SetDoubleBufferMode(1);
}

void CUGSpreadsheetCtrl::OnDClicked(int, long, RECT*, POINT*, int)
{
    StartEdit();
}

void CUGSpreadsheetCtrl::OnTH_LClicked(int col, long, int updn, RECT*, POINT*, int)
{
    if (!updn)
        return;
    const long lastRow = GetRowCount() - 1;
    if (IsShiftHeld() && !IsCtrlHeld()) {
        m_GI->m_multiSelect->EndBlock(col, lastRow);
        RedrawAll();
        return;
    }
    if (!IsCtrlHeld())
        ClearSelections();
    SelectRange(col, 0, col, lastRow);
    RedrawAll();
}

void CUGSpreadsheetCtrl::OnSH_LClicked(int, long row, int updn, RECT*, POINT*, int)
{
    if (!updn)
        return;
    const int lastCol = GetColCount() - 1;
    if (IsShiftHeld() && !IsCtrlHeld()) {
        m_GI->m_multiSelect->EndBlock(lastCol, row);
        RedrawAll();
        return;
    }
    if (!IsCtrlHeld())
        ClearSelections();
    SelectRange(0, row, lastCol, row);
    RedrawAll();
}

void CUGSpreadsheetCtrl::OnCB_LClicked(int, RECT*, POINT*, int)
{
    SelectRange(0, 0, GetColCount() - 1, GetRowCount() - 1);
    RedrawAll();
}

void CUGSpreadsheetCtrl::OnKeyDown(UINT* vcKey, int)
{
    if (!vcKey || *vcKey != 46)
        return;
    // A read-only cell cannot be edited, so Delete leaves it too.
    CUGCell cell;
    GetCellIndirect(GetCurrentCol(), GetCurrentRow(), &cell);
    if (cell.GetReadOnly())
        return;
    if (DeleteCell(GetCurrentCol(), GetCurrentRow()) == 0)
        RedrawAll();
}

void CUGSpreadsheetCtrl::OnCharDown(UINT* vcKey, int processed)
{
    if (!processed && vcKey)
        StartEdit(int(*vcKey));
}

void CUGSpreadsheetCtrl::OnGetCell(int col, long row, CUGCell* cell)
{
    char text[32];
    if (col < 0 && row >= 0) {
        std::snprintf(text, sizeof text, "%ld", row + 1);
        cell->SetText(text);
    } else if (col >= 0 && row < 0) {
        // Letters all the way (AA after Z, ZA after YZ, AAA after ZZ): no two
        // columns share a label.
        cell->SetText(UGColumnLetters(col).c_str());
    }
}

void CUGSpreadsheetCtrl::OnMenuCommand(int col, long row, int section, int item)
{
    if (section == UG_SECTION_GRID && item == 1000) {
        LockColumns(col);
        LockRows(row);
        RedrawAll();
    }
}

void CUGSpreadsheetCtrl::OnTabSelected(int id)
{
    SetSheetNumber(id, TRUE);
}

void CUGSpreadsheetCtrl::OnDrawFocusRect(CDC* dc, RECT* rect)
{
    dc->Save();
    RECT r = *rect;
    bool openLeft = false, openTop = false, handle = true;
    CUGMultiSelect* ms = m_GI->m_multiSelect.get();
    if (m_GI->m_multiSelectFlag) {
        if (ms->GetCount() > 1)
            handle = false;
        int sc, ec;
        long sr, er;
        if (ms->GetCount() == 1 && ms->GetCurrentBlock(&sc, &sr, &ec, &er) == 0 && (sc != ec || sr != er)) {
            GetRangeRect(std::min(sc, ec), std::min(sr, er), std::max(sc, ec), std::max(sr, er), &r);
            const int firstCol = std::min(sc, ec);
            const long firstRow = std::min(sr, er);
            openLeft = firstCol >= m_GI->m_numLockCols && firstCol < m_GI->m_leftCol;
            openTop = firstRow >= m_GI->m_numLockRows && firstRow < m_GI->m_topRow;
        }
    }
    const int left = std::max(r.left, 1), top = std::max(r.top, 1);
    const int right = r.right - 1, bottom = r.bottom - 1;
    auto frame = [&](COLORREF colour, int l, int t, int rr, int b) {
        dc->SelectPen(colour);
        if (!openTop) {
            dc->MoveTo(l, t);
            dc->LineTo(rr, t);
        }
        dc->MoveTo(rr, t);
        dc->LineTo(rr, b);
        dc->MoveTo(rr, b);
        dc->LineTo(l - 1, b);
        if (!openLeft) {
            dc->MoveTo(l, b);
            dc->LineTo(l, t - 1);
        }
    };
    frame(UGRGB(0, 0, 0), left, top, right, bottom);
    frame(UGRGB(255, 255, 255), left + 1, top + 1, right - 1, bottom - 1);
    if (handle) {
        frame(UGRGB(0, 0, 0), left - 2, top - 2, right + 2, bottom + 2);
        // The corner handle: a small black square ringed white and grey.
        const int hx = right + 2, hy = bottom + 2;
        dc->FillSolidRect(RECT{hx - 3, hy - 3, hx + 3, hy + 3}, UGRGB(0, 0, 0));
        dc->SelectPen(UGRGB(255, 255, 255));
        dc->MoveTo(hx - 4, hy + 3);
        dc->LineTo(hx - 4, hy - 4);
        dc->LineTo(hx + 4, hy - 4);
        dc->SelectPen(UGRGB(120, 120, 120));
        dc->MoveTo(hx + 3, hy - 3);
        dc->LineTo(hx + 3, hy + 4);
        if (top > 3) {
            dc->MoveTo(left - 2, top - 3);
            dc->LineTo(right + 3, top - 3);
        }
        if (left > 3) {
            dc->MoveTo(left - 3, top - 2);
            dc->LineTo(left - 3, bottom + 3);
        }
    }
    dc->Restore();
}
