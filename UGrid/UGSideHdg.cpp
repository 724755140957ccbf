#include "UGrid/UGSideHdg.h"

#include "UGrid/UGCtrl.h"
#include "UGrid/UGGrid.h"

#include <QMouseEvent>
#include <QPainter>

#include <algorithm>

CUGSideHdg::CUGSideHdg(CUGCtrl* ctrl, QWidget* parent) : QWidget(parent), m_ctrl(ctrl)
{
    setObjectName(QStringLiteral("id_3"));
    setMouseTracking(true);
    setAttribute(Qt::WA_OpaquePaintEvent);
}

CUGGridInfo* CUGSideHdg::GI() const
{
    return m_ctrl->GI();
}

int CUGSideHdg::ColLeft(int col) const
{
    int x = 0;
    for (int k = -GI()->m_numberSideHdgCols; k < col; ++k)
        x += m_ctrl->GetSideHdgColWidth(k);
    return x;
}

void CUGSideHdg::Redraw()
{
    CUGGridInfo* gi = GI();
    int others = 0;
    for (int k = -gi->m_numberSideHdgCols + 1; k < 0; ++k)
        others += m_ctrl->GetSideHdgColWidth(k);
    const int outer = std::clamp(gi->m_sideHdgWidth - others, 0, 1024);
    // Straight into the table: the control's setter would resize the heading again.
    gi->m_sideHdgWidths[size_t(gi->m_numberSideHdgCols - 1)] = outer;
    update();
}

void CUGSideHdg::Moved()
{
    CUGGridInfo* gi = GI();
    if (gi->m_topRow == m_lastTopRow && gi->m_currentRow == m_lastCurrentRow)
        return;
    m_lastTopRow = gi->m_topRow;
    m_lastCurrentRow = gi->m_currentRow;
    update();
}

void CUGSideHdg::paintEvent(QPaintEvent* event)
{
    CUGGridInfo* gi = GI();
    QPainter p(this);
    p.setFont(font());
    CDC dc(&p);
    if (gi->m_defFont)
        dc.SelectFont(gi->m_defFont);
    m_ctrl->OnSetupDC(&dc, nullptr, UG_SECTION_SIDEHDG);
    const QRect clip = event->rect();
    CUGDrawHint painted;
    CUGCell cell;
    int y = 0;
    for (long r = 0; r < gi->m_numberRows; ++r) {
        r = gi->SkipScrolledRows(r);
        if (r >= gi->m_numberRows)
            break;
        const int h = gi->RowHeight(r);
        if (h <= 0)
            continue;
        if (y + h > clip.top() && y <= clip.bottom()) {
            for (int k = -gi->m_numberSideHdgCols; k < 0; ++k) {
                const int x = ColLeft(k), w = m_ctrl->GetSideHdgColWidth(k);
                if (w <= 0)
                    continue;
                RECT rect{x, y, x + w, y + h};
                m_ctrl->GetCellIndirect(k, r, &cell);
                int sc = k, ec;
                long sr = r, er;
                if (cell.IsPropertySet(UGCELL_JOIN) && m_ctrl->GetJoinRange(&sc, &sr, &ec, &er) == 0) {
                    if (painted.IsValid(sc, sr))
                        continue;
                    painted.SetAsValid(sc, sr);
                    RECT top, bottom;
                    int c0 = 0;
                    long r0 = sr, r1 = er;
                    m_ctrl->GetCellRect(&c0, &r0, &top);
                    c0 = 0;
                    m_ctrl->GetCellRect(&c0, &r1, &bottom);
                    rect = RECT{ColLeft(sc), top.top, ColLeft(ec) + m_ctrl->GetSideHdgColWidth(ec),
                                bottom.bottom};
                    m_ctrl->GetCellIndirect(sc, sr, &cell);
                }
                dc.Save();
                m_ctrl->GetCellType(cell.GetCellType())->OnDraw(&dc, &rect, sc, sr, &cell, 0, 0);
                dc.Restore();
            }
        }
        y += h;
        if (y > gi->m_gridHeight)
            break;
    }
    if (y < height()) {
        CUGCell def;
        m_ctrl->GetHeadingDefault(&def);
        dc.FillSolidRect(RECT{0, y, width(), height()}, def.GetBackColor());
    }
}

int CUGSideHdg::GetCellFromPoint(int px, int py, int* col, long* row, RECT* rect)
{
    CUGGridInfo* gi = GI();
    int c = 1;
    for (int k = -gi->m_numberSideHdgCols; k < 0; ++k) {
        const int x = ColLeft(k), w = m_ctrl->GetSideHdgColWidth(k);
        if (px >= x && px < x + w) {
            c = k;
            break;
        }
    }
    if (c > 0)
        return 1;
    int cc = 0;
    long r = -1;
    RECT cellRect;
    if (m_ctrl->GetCellFromPointNoJoin(0, py, &cc, &r) != 0) {
        // No data column under x = 0 when there are no columns: walk the rows alone.
        return 1;
    }
    int c0 = 0;
    long r0 = r;
    m_ctrl->GetCellRect(&c0, &r0, &cellRect);
    *col = c;
    *row = r;
    if (rect)
        *rect = RECT{ColLeft(c), cellRect.top, ColLeft(c) + m_ctrl->GetSideHdgColWidth(c), cellRect.bottom};
    return 0;
}

void CUGSideHdg::HitTest(const QPoint& p)
{
    CUGGridInfo* gi = GI();
    m_inZone = false;
    if (gi->m_userSizingMode <= 0) {
        setCursor(Qt::ArrowCursor);
        return;
    }
    for (int k = -1; k >= -gi->m_numberSideHdgCols; --k) {
        const int edge = ColLeft(k) + m_ctrl->GetSideHdgColWidth(k);
        if (std::abs(p.x() - edge) < 3 && m_ctrl->OnCanSizeSideHdg()) {
            m_inZone = true;
            m_zoneKind = 0;
            m_index = -k - 1;
            m_startSize = m_ctrl->GetSideHdgColWidth(k);
            m_startPos = p.x();
            m_startHdgWidth = gi->m_sideHdgWidth;
            setCursor(Qt::SizeHorCursor);
            return;
        }
    }
    int y = 0;
    for (long r = 0; r < gi->m_numberRows; ++r) {
        r = gi->SkipScrolledRows(r);
        if (r >= gi->m_numberRows)
            break;
        y += gi->RowHeight(r);
        if (std::abs(p.y() - y) < 3) {
            long sizeRow = r;
            if (r + 1 < gi->m_numberRows && gi->RowHeight(r + 1) == 0)
                sizeRow = r + 1;
            if (!m_ctrl->OnCanSizeRow(sizeRow))
                break;
            m_inZone = true;
            m_zoneKind = 1;
            m_index = sizeRow;
            m_startSize = gi->RowHeight(sizeRow);
            m_startPos = p.y();
            m_rowDivisor = p.y() / std::max(1, gi->m_defRowHeight);
            setCursor(Qt::SizeVerCursor);
            return;
        }
        if (y > gi->m_gridHeight)
            break;
    }
    setCursor(Qt::ArrowCursor);
}

void CUGSideHdg::mousePressEvent(QMouseEvent* event)
{
    const QPoint pos = event->position().toPoint();
    POINT point{pos.x(), pos.y()};
    m_ctrl->GetGridWnd()->setFocus(Qt::MouseFocusReason);
    int col = -1;
    long row = -1;
    RECT rect{};
    const bool onCell = GetCellFromPoint(pos.x(), pos.y(), &col, &row, &rect) == 0;
    if (event->button() == Qt::LeftButton) {
        if (m_inZone) {
            m_sizing = true;
            return;
        }
        if (!onCell)
            return;
        const int processed = m_ctrl->GetCellTypeOfCell(col, row)->OnLClicked(col, row, 1, &rect, &point);
        m_ctrl->OnSH_LClicked(col, row, 1, &rect, &point, processed);
    } else if (event->button() == Qt::RightButton) {
        if (onCell) {
            const int processed = m_ctrl->GetCellTypeOfCell(col, row)->OnRClicked(col, row, 1, &rect, &point);
            m_ctrl->OnSH_RClicked(col, row, 1, &rect, &point, processed);
        }
        if (GI()->m_enablePopupMenu) {
            const QPoint g = mapToGlobal(pos);
            POINT screen{g.x(), g.y()};
            m_ctrl->StartMenu(onCell ? col : -1, onCell ? row : -1, &screen, UG_SECTION_SIDEHDG);
        }
    }
}

void CUGSideHdg::mouseMoveEvent(QMouseEvent* event)
{
    CUGGridInfo* gi = GI();
    const QPoint pos = event->position().toPoint();
    if (!(event->buttons() & Qt::LeftButton)) {
        HitTest(pos);
        return;
    }
    if (!m_sizing)
        return;
    if (m_zoneKind == 1) {
        int h;
        if (gi->m_uniformRowHeightFlag)
            h = m_rowDivisor < 1 ? pos.y() : std::max(1, pos.y()) / m_rowDivisor;
        else
            h = pos.y() + m_startSize - m_startPos;
        h = std::max(0, h);
        m_ctrl->OnRowSizing(m_index, &h);
        CUGGrid* grid = m_ctrl->GetGridWnd();
        if (gi->m_userSizingMode == 1)
            grid->Freeze(true);
        m_ctrl->SetRowHeight(m_index, h);
        if (gi->m_userSizingMode == 1) {
            grid->SetTrackRect(QRect(0, pos.y() - 1, grid->width(), 2));
            update();
        } else {
            m_ctrl->RedrawAll();
        }
    } else {
        int w = std::max(0, pos.x() + m_startHdgWidth - m_startPos);
        m_ctrl->OnSideHdgSizing(&w);
        gi->m_sideHdgWidths[size_t(m_index)] = std::max(0, pos.x() + m_startSize - m_startPos);
        gi->m_sideHdgWidth = std::max(0, w);
        m_ctrl->AdjustLayout();
    }
}

void CUGSideHdg::mouseReleaseEvent(QMouseEvent* event)
{
    CUGGridInfo* gi = GI();
    const QPoint pos = event->position().toPoint();
    POINT point{pos.x(), pos.y()};
    if (m_sizing) {
        m_sizing = false;
        m_ctrl->GetGridWnd()->SetTrackRect(QRect());
        m_ctrl->GetGridWnd()->Freeze(false);
        if (m_zoneKind == 1) {
            int h = m_ctrl->GetRowHeight(m_index);
            m_ctrl->OnRowSized(m_index, &h);
            m_ctrl->SetRowHeight(m_index, h);
        } else {
            m_ctrl->OnSideHdgSized(&gi->m_sideHdgWidth);
        }
        m_ctrl->AdjustLayout();
        return;
    }
    int col;
    long row;
    RECT rect;
    if (GetCellFromPoint(pos.x(), pos.y(), &col, &row, &rect) != 0)
        return;
    if (event->button() == Qt::LeftButton) {
        const int processed = m_ctrl->GetCellTypeOfCell(col, row)->OnLClicked(col, row, 0, &rect, &point);
        m_ctrl->OnSH_LClicked(col, row, 0, &rect, &point, processed);
    } else if (event->button() == Qt::RightButton) {
        const int processed = m_ctrl->GetCellTypeOfCell(col, row)->OnRClicked(col, row, 0, &rect, &point);
        m_ctrl->OnSH_RClicked(col, row, 0, &rect, &point, processed);
    }
}

void CUGSideHdg::mouseDoubleClickEvent(QMouseEvent* event)
{
    const QPoint pos = event->position().toPoint();
    POINT point{pos.x(), pos.y()};
    int col;
    long row;
    RECT rect;
    if (GetCellFromPoint(pos.x(), pos.y(), &col, &row, &rect) != 0)
        return;
    const int processed = m_ctrl->GetCellTypeOfCell(col, row)->OnDClicked(col, row, &rect, &point);
    m_ctrl->OnSH_DClicked(col, row, &rect, &point, processed);
}
