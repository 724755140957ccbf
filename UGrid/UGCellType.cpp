#include "UGrid/UGCellType.h"

#include "UGrid/UGCtrl.h"
#include "UGrid/UGGrid.h"

#include <QApplication>
#include <QStyle>

#include <algorithm>

namespace {
const unsigned char kNormalTypeId[16] = {0x8f, 0x3a, 0x51, 0x02, 0x6c, 0x44, 0x4e, 0x91,
                                         0xa1, 0x0d, 0x37, 0x5e, 0xc2, 0x11, 0x70, 0x01};
const unsigned char kCheckTypeId[16] = {0x8f, 0x3a, 0x51, 0x02, 0x6c, 0x44, 0x4e, 0x91,
                                        0xa1, 0x0d, 0x37, 0x5e, 0xc2, 0x11, 0x70, 0x02};
} // namespace

void UGDraw3DFrame(CDC* dc, const RECT& r, bool raised)
{
    const COLORREF light = UGRGB(255, 255, 255), dark = UGGetSysColor(UG_COLOR_BTNSHADOW);
    const COLORREF first = raised ? light : dark, second = raised ? dark : light;
    dc->SelectPen(first);
    dc->MoveTo(r.left, r.bottom - 1);
    dc->LineTo(r.left, r.top);
    dc->LineTo(r.right - 1, r.top);
    dc->SelectPen(second);
    dc->MoveTo(r.right - 1, r.top);
    dc->LineTo(r.right - 1, r.bottom - 1);
    dc->LineTo(r.left, r.bottom - 1);
    dc->LineTo(r.left, r.bottom); // the window system's line stops short: finish the corner
}

void UGDrawCellButton(CDC* dc, const RECT& btn, bool pressed)
{
    dc->FillSolidRect(btn, UGGetSysColor(UG_COLOR_BTNFACE));
    UGDraw3DFrame(dc, btn, !pressed);
    // A face-coloured line parts the button from the cell's text.
    dc->SelectPen(UGGetSysColor(UG_COLOR_BTNFACE));
    dc->MoveTo(btn.left - 1, btn.top);
    dc->LineTo(btn.left - 1, btn.bottom);
}

const unsigned char* CUGCellType::GetTypeId()
{
    return kNormalTypeId;
}

int CUGCellType::CanOverflow(CUGCell* cell) const
{
    if (cell->GetCellTypeParam() != 0 || cell->IsPropertySet(UGCELL_JOIN))
        return 0;
    return m_canOverflow;
}

void CUGCellType::OnDraw(CDC* dc, RECT* rect, int col, long row, CUGCell* cell, int selected, int current)
{
    RECT inner = *rect;
    CUGGridInfo* gi = m_ctrl->GI();
    if (gi->m_enableCellOverLap && CanOverflow(cell) && cell->GetTextLength() == 0 && col >= 0 && row >= 0) {
        int sourceCol = col;
        CUGCell source;
        const int offset = FindOverflowSource(dc, col, row, &sourceCol, &source);
        if (offset != 0) {
            DrawBorder(dc, rect, &inner, cell);
            DrawText(dc, &inner, offset, sourceCol, row, &source, selected, current);
            return;
        }
    }
    DrawBorder(dc, rect, &inner, cell);
    DrawText(dc, &inner, 0, col, row, cell, selected, current);
}

int CUGCellType::FindOverflowSource(CDC* dc, int col, long row, int* sourceCol, CUGCell* sourceCell)
{
    CUGGridInfo* gi = m_ctrl->GI();
    if (!gi->m_enableCellOverLap)
        return 0;
    int src = col;
    if (gi->m_defDataSource->GetPrevNonBlankCol(&src, row) != 0 || src < 0 || src >= col)
        return 0;
    m_ctrl->GetCellIndirect(src, row, sourceCell);
    dc->Save();
    if (sourceCell->GetFont())
        dc->SelectFont(sourceCell->GetFont());
    else if (gi->m_defFont)
        dc->SelectFont(gi->m_defFont);
    std::string text;
    sourceCell->GetTextString(text);
    const int textWidth = dc->GetTextExtent(text).cx + gi->m_margin;
    dc->Restore();
    CUGCellType* type = m_ctrl->GetCellType(sourceCell->GetCellType());
    if (textWidth <= m_ctrl->GetColWidth(src) || !type->CanOverflow(sourceCell))
        return 0;
    // The cells between the source and this one must be empty as well.
    long long sum = 0;
    for (int c = src; c < col; ++c) {
        sum += gi->ColWidth(c);
        if (sum > textWidth)
            return 0;
    }
    *sourceCol = src;
    return -int(sum);
}

void CUGCellType::DrawBorder(CDC* dc, RECT* rect, RECT* inner, CUGCell* cell)
{
    CUGGridInfo* gi = m_ctrl->GI();
    const short style = cell->GetBorder();
    const COLORREF pen = cell->GetBorderPen() ? cell->GetBorderPen()->Colour() : gi->m_gridLineColor;
    const bool threeD = (style & (UG_BDR_RECESSED | UG_BDR_RAISED)) != 0;
    const bool gridLines = gi->m_enableGridLines && !threeD;
    const int L = rect->left, T = rect->top, R = rect->right, B = rect->bottom;
    *inner = *rect;
    dc->SelectPen(pen);
    if (style & UG_BDR_LTHIN) {
        dc->MoveTo(L, T);
        dc->LineTo(L, B);
        inner->left = L + 1;
    }
    if (style & UG_BDR_TTHIN) {
        dc->MoveTo(L, T);
        dc->LineTo(R, T);
        inner->top = T + 1;
    }
    if ((style & UG_BDR_RTHIN) || gridLines) {
        dc->SelectPen((style & UG_BDR_RTHIN) ? pen : gi->m_gridLineColor);
        dc->MoveTo(R - 1, T);
        dc->LineTo(R - 1, B);
        inner->right = R - 1;
    }
    if ((style & UG_BDR_BTHIN) || gridLines) {
        dc->SelectPen((style & UG_BDR_BTHIN) ? pen : gi->m_gridLineColor);
        dc->MoveTo(L, B - 1);
        dc->LineTo(R, B - 1);
        inner->bottom = B - 1;
    }
    dc->SelectPen(pen);
    auto thick = [&](short leftBit, short topBit, short rightBit, short bottomBit, int n) {
        for (int i = 0; i < n; ++i) {
            if (style & leftBit) {
                dc->MoveTo(L + i, T);
                dc->LineTo(L + i, B);
                inner->left = L + n;
            }
            if (style & topBit) {
                dc->MoveTo(L, T + i);
                dc->LineTo(R, T + i);
                inner->top = T + n;
            }
            if (style & rightBit) {
                dc->MoveTo(R - 1 - i, T);
                dc->LineTo(R - 1 - i, B);
                inner->right = R - n;
            }
            if (style & bottomBit) {
                dc->MoveTo(L, B - 1 - i);
                dc->LineTo(R, B - 1 - i);
                inner->bottom = B - n;
            }
        }
    };
    thick(UG_BDR_LMEDIUM, UG_BDR_TMEDIUM, UG_BDR_RMEDIUM, UG_BDR_BMEDIUM, 2);
    thick(UG_BDR_LTHICK, UG_BDR_TTHICK, UG_BDR_RTHICK, UG_BDR_BTHICK, 3);
    if (threeD) {
        const int depth = gi->m_3DHeight;
        const bool raised = (style & UG_BDR_RAISED) != 0;
        const COLORREF shadow = UGGetSysColor(UG_COLOR_BTNSHADOW), white = UGRGB(255, 255, 255);
        for (int i = 0; i < depth; ++i) {
            dc->SelectPen(raised ? white : shadow);
            dc->MoveTo(L + i, B - i - 1);
            dc->LineTo(L + i, T + i);
            dc->LineTo(R - i - 1, T + i);
            dc->SelectPen(raised ? shadow : white);
            dc->MoveTo(R - i - 1, T + i);
            dc->LineTo(R - i - 1, B - i - 1);
            dc->LineTo(L + i, B - i - 1);
        }
        *inner = RECT{L + depth, T + depth, R - depth, B - depth};
    }
}

void CUGCellType::DrawText(CDC* dc, RECT* rect, int xOffset, int, long, CUGCell* cell, int selected,
                           int current)
{
    CUGGridInfo* gi = m_ctrl->GI();
    std::string text;
    const long param = cell->GetCellTypeParam();
    if (m_drawLabelText || param == UGCT_NORMALLABELTEXT)
        cell->GetLabelString(text);
    else
        cell->GetTextString(text);
    dc->Save();
    if (cell->GetFont())
        dc->SelectFont(cell->GetFont());
    else if (gi->m_defFont)
        dc->SelectFont(gi->m_defFont);
    const bool highlight = selected || (current && (gi->m_currentCellMode & 2));
    const COLORREF back = highlight ? cell->GetHBackColor() : cell->GetBackColor();
    dc->SetTextColor(highlight ? cell->GetHTextColor() : cell->GetTextColor());
    dc->SetBkColor(back);

    const int savedLeft = rect->left;
    if (CBitmap* bmp = cell->GetBitmap())
        rect->left += DrawBitmap(dc, bmp, rect, back);
    if (xOffset < 0)
        rect->left -= 1;

    const SIZE extent = dc->GetTextExtent(text);
    const short align = cell->GetAlignment();
    const int margin = gi->m_margin;
    int x = rect->left + margin + xOffset;
    int y = rect->top + 1;
    if (align & UG_ALIGNCENTER)
        x = rect->left + (rect->right - rect->left - extent.cx) / 2;
    else if (align & UG_ALIGNRIGHT)
        x = rect->right - extent.cx - margin;
    if (align & UG_ALIGNVCENTER)
        y = rect->top + (rect->bottom - rect->top - extent.cy) / 2;
    else if (align & UG_ALIGNBOTTOM)
        y = rect->bottom - extent.cy - 1;

    if (param & UGCT_NORMALMULTILINE) {
        dc->FillSolidRect(*rect, back);
        RECT r = *rect;
        unsigned flags = UG_DT_WORDBREAK;
        if (align & UG_ALIGNCENTER) {
            flags |= UG_DT_CENTER;
        } else if (align & UG_ALIGNRIGHT) {
            flags |= UG_DT_RIGHT;
            r.right -= 2;
        } else {
            r.left += 2;
        }
        dc->DrawTextWrapped(r, text, flags);
    } else if ((param & UGCT_NORMALELLIPSIS) && extent.cx > rect->right - rect->left - 6) {
        const int dots = dc->GetTextExtent("...").cx;
        const int startRight = rect->right;
        RECT r = *rect;
        r.right -= dots + 3;
        if (r.right - r.left > 0)
            dc->ExtTextOut(r.left + 3, y, r, text);
        RECT d{r.right > savedLeft ? r.right : savedLeft + 1, rect->top, startRight, rect->bottom};
        dc->ExtTextOut(d.left + 1, y, d, "...");
    } else {
        dc->ExtTextOut(x, y, *rect, text);
    }
    rect->left = savedLeft;
    dc->Restore();
}

int CUGCellType::DrawBitmap(CDC* dc, CBitmap* bitmap, RECT* rect, COLORREF back)
{
    const int cellH = rect->bottom - rect->top, cellW = rect->right - rect->left;
    int w = bitmap->Width(), h = bitmap->Height();
    if (w <= 0 || h <= 0)
        return 0;
    int top = rect->top + 2;
    if (h > cellH - 4) {
        const int target = std::max(0, cellH - 4);
        const int percent = target * 100 / h;
        w = w * percent / 100;
        h = target;
    } else {
        top = rect->top + (cellH - h) / 2;
    }
    w = std::min(w, std::max(0, cellW - 4));
    dc->FillSolidRect(RECT{rect->left, rect->top, rect->left + w + 4, rect->bottom}, back);
    dc->DrawBitmap(*bitmap, RECT{rect->left + 2, top, rect->left + 2 + w, top + h});
    return w + 4;
}

void CUGCellType::OnDrawScaled(CDC* dc, RECT* rect, int col, long row, CUGCell* cell)
{
    CUGGridInfo* gi = m_ctrl->GI();
    const CFont* font = cell->GetFont() ? cell->GetFont() : gi->m_defFont;
    int rowHeight = row < 0 ? m_ctrl->GetTopHdgRowHeight(int(row)) : m_ctrl->GetRowHeight(row);
    int c0 = col, ec = col;
    long r0 = row, er = row;
    if (m_ctrl->GetJoinRange(&c0, &r0, &ec, &er) == 0)
        rowHeight *= int(er - r0 + 1);
    const double scale = rowHeight > 0 ? double(rect->bottom - rect->top) / rowHeight : 1.0;
    QFont scaled = font ? font->Font() : dc->CurrentFont();
    const int px = scaled.pixelSize() > 0 ? scaled.pixelSize() : QFontMetrics(scaled).height();
    scaled.setPixelSize(std::max(1, int(px * scale)));
    CFont scaledFont(scaled);
    CUGCell copy(*cell);
    copy.SetFont(&scaledFont);
    OnDraw(dc, rect, col, row, &copy, 0, 0);
}

void CUGCellType::GetBestSize(CDC* dc, SIZE* size, CUGCell* cell)
{
    CUGGridInfo* gi = m_ctrl->GI();
    dc->Save();
    if (cell->GetFont())
        dc->SelectFont(cell->GetFont());
    else if (gi->m_defFont)
        dc->SelectFont(gi->m_defFont);
    SIZE s{3, 3};
    if (cell->GetTextLength() > 0)
        s = dc->GetTextExtent(cell->GetText());
    dc->Restore();
    size->cx = s.cx + 6;
    size->cy = s.cy + 2;
}

// ---------------------------------------------------------------- check box

const unsigned char* CUGCheckBoxType::GetTypeId()
{
    return kCheckTypeId;
}

RECT CUGCheckBoxType::BoxRect(const RECT& cell)
{
    const int h = cell.bottom - cell.top;
    const int d = std::min(h - 6, 12);
    const int f = (h - d) / 2;
    return RECT{cell.left + 3, cell.top + f, cell.left + 3 + d, cell.top + f + d};
}

void CUGCheckBoxType::OnDraw(CDC* dc, RECT* rect, int col, long row, CUGCell* cell, int selected, int current)
{
    CUGGridInfo* gi = m_ctrl->GI();
    RECT inner = *rect;
    DrawBorder(dc, rect, &inner, cell);
    const RECT box = BoxRect(*rect);
    const int d = box.right - box.left;
    const bool highlight = selected || (current && (gi->m_currentCellMode & 2));
    dc->FillSolidRect(RECT{inner.left, inner.top, std::min(inner.right, rect->left + d + 6), inner.bottom},
                      highlight ? cell->GetHBackColor() : cell->GetBackColor());
    if (d > 5) {
        const long param = cell->GetCellTypeParam();
        const COLORREF shadow = UGGetSysColor(UG_COLOR_BTNSHADOW), face = UGGetSysColor(UG_COLOR_BTNFACE);
        const COLORREF light = UGRGB(225, 225, 225), black = 0;
        // The flat frame and the mark sit on window-coloured ground: in its
        // text colour they show under a dark theme too.
        const COLORREF ink = UGGetSysColor(UG_COLOR_WINDOWTEXT);
        auto frame = [&](const RECT& r, COLORREF lt, COLORREF rb) {
            dc->SelectPen(lt);
            dc->MoveTo(r.left, r.bottom - 1);
            dc->LineTo(r.left, r.top);
            dc->LineTo(r.right, r.top);
            dc->SelectPen(rb);
            dc->MoveTo(r.right - 1, r.top + 1);
            dc->LineTo(r.right - 1, r.bottom - 1);
            dc->MoveTo(r.left, r.bottom - 1);
            dc->LineTo(r.right, r.bottom - 1);
        };
        const RECT in1{box.left + 1, box.top + 1, box.right - 1, box.bottom - 1};
        if (param & UGCT_CHECKBOX3DRECESS) {
            frame(box, shadow, light);
            frame(in1, black, face);
        } else if (param & UGCT_CHECKBOX3DRAISED) {
            frame(box, light, black);
            frame(in1, face, shadow);
        } else {
            frame(box, ink, ink);
        }
        const bool threeD = (param & (UGCT_CHECKBOX3DRECESS | UGCT_CHECKBOX3DRAISED)) != 0;
        const RECT inside = threeD ? RECT{box.left + 2, box.top + 2, box.right - 2, box.bottom - 2} : in1;
        dc->FillSolidRect(inside, UGGetSysColor(UG_COLOR_WINDOW));
        if (cell->GetNumber() > 0) {
            const int l = inside.left, t = inside.top, r = inside.right, b = inside.bottom;
            dc->SelectPen(ink);
            if (param & UGCT_CHECKBOXCHECKMARK) {
                const int strokes = d > 9 ? 3 : 1;
                for (int i = 0; i < strokes; ++i) {
                    dc->MoveTo(l + 2, b - 4 + i);
                    dc->LineTo(l + 4, b - 2 + i);
                    dc->LineTo(r + 3, t - 1 + i);
                }
            } else {
                const int strokes = d > 9 ? 3 : 1;
                for (int i = 0; i < strokes; ++i) {
                    const int o = i - strokes / 2;
                    dc->MoveTo(l + 1 + o, t + 1);
                    dc->LineTo(r - 1 + o, b - 1);
                    dc->MoveTo(l + 1 + o, b - 2);
                    dc->LineTo(r - 1 + o, t);
                }
            }
        }
    }
    const int savedLabel = m_drawLabelText;
    m_drawLabelText = 1;
    RECT labelRect{rect->left + d + 6, inner.top, inner.right, inner.bottom};
    if (labelRect.right > labelRect.left)
        DrawText(dc, &labelRect, 0, col, row, cell, selected, current);
    m_drawLabelText = savedLabel;
}

int CUGCheckBoxType::Toggle(int col, long row, bool fromKey)
{
    m_ctrl->GetCellIndirect(col, row, &m_cell);
    if (m_cell.GetReadOnly())
        return 0;
    const int checked = fromKey ? m_cell.GetBool() : (m_cell.GetNumber() != 0 ? 1 : 0);
    const int value = checked ? 0 : 1;
    CUGCell stored;
    m_ctrl->GetCell(col, row, &stored);
    stored.SetNumber(value);
    m_ctrl->SetCell(col, row, &stored);
    m_ctrl->RedrawCell(col, row);
    m_ctrl->OnCellTypeNotify(m_ID, col, row, CTN_CHECK, value);
    return 1;
}

int CUGCheckBoxType::OnLClicked(int col, long row, int pressed, RECT* rect, POINT* point)
{
    if (pressed || !rect || !point)
        return 0;
    const RECT box = BoxRect(*rect);
    if (point->x < box.left || point->x > box.right || point->y < box.top || point->y > box.bottom)
        return 0;
    return Toggle(col, row, false);
}

int CUGCheckBoxType::OnDClicked(int col, long row, RECT* rect, POINT* point)
{
    return OnLClicked(col, row, 1, rect, point);
}

int CUGCheckBoxType::OnCharDown(int col, long row, UINT* key)
{
    if (!key || *key != 32)
        return 0;
    Toggle(col, row, true);
    return 1;
}

// ---------------------------------------------------------------- arrow

void CUGArrowType::OnDraw(CDC* dc, RECT* rect, int, long, CUGCell* cell, int selected, int current)
{
    RECT inner = *rect;
    DrawBorder(dc, rect, &inner, cell);
    dc->FillSolidRect(inner, (selected || current) ? cell->GetHBackColor() : cell->GetBackColor());
    if (rect->right - rect->left <= 3)
        return;
    const int cx = (rect->left + rect->right) / 2, cy = (rect->top + rect->bottom) / 2;
    long param = cell->GetCellTypeParam();
    if (param == 0)
        param = UGCT_ARROWRIGHT;
    dc->SelectPen(cell->GetTextColor());
    auto triangle = [&](int baseX, int dir) {
        // Vertical strokes of 7, 5, 3 and 1 pixels.
        for (int i = 0; i < 4; ++i) {
            const int half = 3 - i;
            dc->MoveTo(baseX + dir * i, cy - half);
            dc->LineTo(baseX + dir * i, cy + half + 1);
        }
    };
    if (param & UGCT_ARROWDRIGHT) {
        triangle(cx - 4, 1);
        triangle(cx + 2, 1);
    } else if (param & UGCT_ARROWDLEFT) {
        triangle(cx + 4, -1);
        triangle(cx - 2, -1);
    } else if (param & UGCT_ARROWLEFT) {
        triangle(cx + 1, -1);
    } else {
        triangle(cx - 1, 1);
    }
}

// ---------------------------------------------------------------- ellipsis

CUGEllipsisType::CUGEllipsisType()
    : m_btnWidth(qApp ? qApp->style()->pixelMetric(QStyle::PM_ScrollBarExtent) : 17)
{
    m_canOverflow = 0;
}

void CUGEllipsisType::OnDraw(CDC* dc, RECT* rect, int col, long row, CUGCell* cell, int selected, int current)
{
    RECT inner = *rect;
    DrawBorder(dc, rect, &inner, cell);
    RECT btn{inner.right - m_btnWidth, inner.top, inner.right, inner.bottom};
    const bool pressed = m_btnDown && current && m_btnCol == col && m_btnRow == row;
    UGDrawCellButton(dc, btn, pressed);
    const int x0 = btn.left + (m_btnWidth - 7) / 2;
    const int y = btn.top + (btn.bottom - btn.top) * 3 / 4;
    dc->SelectPen(UGGetSysColor(UG_COLOR_BTNTEXT));
    for (int i = 0; i < 3; ++i) {
        dc->MoveTo(x0 + 3 * i, y - 2);
        dc->LineTo(x0 + 3 * i, y);
    }
    RECT text{inner.left, inner.top, btn.left - 1, inner.bottom};
    DrawText(dc, &text, 0, col, row, cell, selected, current);
}

int CUGEllipsisType::OnLClicked(int col, long row, int pressed, RECT* rect, POINT* point)
{
    if (pressed) {
        if (rect && point && point->x > rect->right - m_btnWidth) {
            m_btnDown = 1;
            m_btnRect = RECT{rect->right - m_btnWidth, rect->top, rect->right, rect->bottom};
            m_btnCol = col;
            m_btnRow = row;
            m_ctrl->RedrawCell(col, row);
            return 1;
        }
        m_btnCol = -1;
        m_btnRow = -1;
        return 0;
    }
    if (!m_btnDown)
        return 0;
    m_ctrl->OnCellTypeNotify(m_ID, m_btnCol, m_btnRow, CTN_OPEN, 0);
    m_btnDown = 0;
    const int c = m_btnCol;
    const long r = m_btnRow;
    m_btnCol = -1;
    m_btnRow = -1;
    m_ctrl->RedrawCell(c, r);
    return 1;
}

int CUGEllipsisType::OnKeyDown(int col, long row, UINT* key)
{
    const bool ctrlDown = QApplication::keyboardModifiers() & Qt::ControlModifier;
    if (!key || !(*key == VK_RETURN || (*key == VK_DOWN && ctrlDown)))
        return 0;
    *key = 0;
    m_ctrl->OnCellTypeNotify(m_ID, col, row, CTN_OPEN, 0);
    return 1;
}

int CUGEllipsisType::OnCharDown(int, long, UINT* key)
{
    // The character of the Enter that pressed the button.
    return key && *key == 13;
}

int CUGEllipsisType::OnMouseMove(int, long, POINT* point, UINT flags)
{
    if (!(flags & UG_MK_LBUTTON) || !point || m_btnCol < 0)
        return 0;
    const bool inside = point->x >= m_btnRect.left && point->x < m_btnRect.right &&
                        point->y >= m_btnRect.top && point->y < m_btnRect.bottom;
    if (int(inside) != m_btnDown) {
        m_btnDown = inside ? 1 : 0;
        m_ctrl->RedrawCell(m_btnCol, m_btnRow);
    }
    return inside ? 1 : 0;
}
