#include "UGrid/UGTopHdg.h"

#include "UGrid/UGCtrl.h"
#include "UGrid/UGGrid.h"

#include <QApplication>
#include <QMouseEvent>
#include <QPainter>

#include <algorithm>

CUGTopHdg::CUGTopHdg(CUGCtrl* ctrl, QWidget* parent) : QWidget(parent), m_ctrl(ctrl)
{
    setObjectName(QStringLiteral("id_2"));
    setMouseTracking(true);
    setAttribute(Qt::WA_OpaquePaintEvent);
    // While a dragged column is held past either end the columns scroll, a step per tick.
    m_scrollTimer.setInterval(50);
    connect(&m_scrollTimer, &QTimer::timeout, this, [this] {
        if (!(QApplication::mouseButtons() & Qt::LeftButton) || m_dragCol < 0) {
            m_scrollTimer.stop();
            return;
        }
        m_ctrl->MoveLeftCol(m_scrollDir < 0 ? 0 : 1);
    });
}

CUGGridInfo* CUGTopHdg::GI() const
{
    return m_ctrl->GI();
}

int CUGTopHdg::RowTop(int row) const
{
    int y = 0;
    for (int k = -GI()->m_numberTopHdgRows; k < row; ++k)
        y += m_ctrl->GetTopHdgRowHeight(k);
    return y;
}

void CUGTopHdg::Redraw()
{
    // The outermost heading row takes what the others leave of the heading height.
    CUGGridInfo* gi = GI();
    int others = 0;
    for (int k = -gi->m_numberTopHdgRows + 1; k < 0; ++k)
        others += m_ctrl->GetTopHdgRowHeight(k);
    m_ctrl->SetTopHdgRowHeight(-gi->m_numberTopHdgRows, std::clamp(gi->m_topHdgHeight - others, 0, 1024));
    update();
}

void CUGTopHdg::Moved()
{
    if (GI()->m_leftCol != m_lastLeftCol) {
        m_lastLeftCol = GI()->m_leftCol;
        update();
    }
}

void CUGTopHdg::paintEvent(QPaintEvent*)
{
    CUGGridInfo* gi = GI();
    QPainter p(this);
    p.setFont(font());
    CDC dc(&p);
    if (gi->m_defFont)
        dc.SelectFont(gi->m_defFont);
    m_ctrl->OnSetupDC(&dc, nullptr, UG_SECTION_TOPHDG);
    CUGDrawHint painted;
    CUGCell cell;
    int widest = 0;
    for (int k = -gi->m_numberTopHdgRows; k < 0; ++k) {
        const int y = RowTop(k), h = m_ctrl->GetTopHdgRowHeight(k);
        int x = 0;
        for (int c = 0; c < gi->m_numberCols; ++c) {
            c = gi->SkipScrolledCols(c);
            if (c >= gi->m_numberCols)
                break;
            const int w = gi->ColWidth(c);
            RECT rect{x, y, x + w, y + h};
            x += w;
            if (w <= 0 || h <= 0)
                continue;
            int sc = c, ec;
            long sr = k, er;
            m_ctrl->GetCellIndirect(c, k, &cell);
            if (cell.IsPropertySet(UGCELL_JOIN) && m_ctrl->GetJoinRange(&sc, &sr, &ec, &er) == 0) {
                if (painted.IsValid(sc, sr))
                    continue;
                painted.SetAsValid(sc, sr);
                RECT block;
                m_ctrl->GetRangeRect(sc, 0, ec, 0, &block);
                int bc = sc;
                long br = 0;
                m_ctrl->GetCellRect(&bc, &br, &block);
                RECT endRect;
                int ecc = ec;
                long erow = 0;
                m_ctrl->GetCellRect(&ecc, &erow, &endRect);
                rect = RECT{block.left, RowTop(int(sr)), endRect.right,
                            RowTop(int(er)) + m_ctrl->GetTopHdgRowHeight(int(er))};
                m_ctrl->GetCellIndirect(sc, sr, &cell);
            }
            const int selected = (c == m_dragCol && m_dropPos >= 0) ? 1 : 0;
            dc.Save();
            m_ctrl->GetCellType(cell.GetCellType())->OnDraw(&dc, &rect, sc, sr, &cell, selected, 0);
            dc.Restore();
            if (x > gi->m_gridWidth)
                break;
        }
        widest = std::max(widest, x);
    }
    if (widest < width()) {
        CUGCell def;
        m_ctrl->GetHeadingDefault(&def);
        dc.FillSolidRect(RECT{widest, 0, width(), height()}, def.GetBackColor());
    }
}

int CUGTopHdg::GetCellFromPoint(int px, int py, int* col, long* row, RECT* rect)
{
    CUGGridInfo* gi = GI();
    int found = -1, x = 0, fx = 0;
    for (int c = 0; c < gi->m_numberCols; ++c) {
        c = gi->SkipScrolledCols(c);
        if (c >= gi->m_numberCols)
            break;
        const int w = gi->ColWidth(c);
        if (px >= x && px < x + w) {
            found = c;
            fx = x;
            break;
        }
        x += w;
        if (x > px)
            break;
    }
    if (found < 0)
        return 1;
    for (int k = -gi->m_numberTopHdgRows; k < 0; ++k) {
        const int y = RowTop(k), h = m_ctrl->GetTopHdgRowHeight(k);
        if (py >= y && py < y + h) {
            *col = found;
            *row = k;
            if (rect)
                *rect = RECT{fx, y, fx + gi->ColWidth(found), y + h};
            return 0;
        }
    }
    return 1;
}

void CUGTopHdg::HitTest(const QPoint& p)
{
    CUGGridInfo* gi = GI();
    m_inZone = false;
    if (gi->m_userSizingMode <= 0) {
        setCursor(Qt::ArrowCursor);
        return;
    }
    int x = 0;
    for (int c = 0; c < gi->m_numberCols; ++c) {
        c = gi->SkipScrolledCols(c);
        if (c >= gi->m_numberCols)
            break;
        x += gi->ColWidth(c);
        if (std::abs(p.x() - x) < 3) {
            int sizeCol = c;
            if (c + 1 < gi->m_numberCols && gi->ColWidth(c + 1) == 0)
                sizeCol = c + 1; // a hidden column can be dragged open
            if (!m_ctrl->OnCanSizeCol(sizeCol))
                break;
            m_inZone = true;
            m_zoneKind = 0;
            m_index = sizeCol;
            m_startSize = gi->ColWidth(sizeCol);
            m_startPos = p.x();
            setCursor(Qt::SizeHorCursor);
            return;
        }
        if (x > gi->m_gridWidth)
            break;
    }
    for (int k = -1; k >= -gi->m_numberTopHdgRows; --k) {
        const int edge = RowTop(k) + m_ctrl->GetTopHdgRowHeight(k);
        if (std::abs(p.y() - edge) < 3 && m_ctrl->OnCanSizeTopHdg()) {
            m_inZone = true;
            m_zoneKind = 1;
            m_index = -k - 1;
            m_startSize = m_ctrl->GetTopHdgRowHeight(k);
            m_startPos = p.y();
            m_startHdgHeight = gi->m_topHdgHeight;
            setCursor(Qt::SizeVerCursor);
            return;
        }
    }
    setCursor(Qt::ArrowCursor);
}

void CUGTopHdg::mousePressEvent(QMouseEvent* event)
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
        if (m_ctrl->OnColDragStart(col))
            m_dragCol = col;
        const int processed = m_ctrl->GetCellTypeOfCell(col, row)->OnLClicked(col, row, 1, &rect, &point);
        m_ctrl->OnTH_LClicked(col, row, 1, &rect, &point, processed);
    } else if (event->button() == Qt::RightButton) {
        int processed = 0;
        if (onCell) {
            processed = m_ctrl->GetCellTypeOfCell(col, row)->OnRClicked(col, row, 1, &rect, &point);
            m_ctrl->OnTH_RClicked(col, row, 1, &rect, &point, processed);
        }
        if (GI()->m_enablePopupMenu) {
            const QPoint g = mapToGlobal(pos);
            POINT screen{g.x(), g.y()};
            m_ctrl->StartMenu(onCell ? col : -1, onCell ? row : -1, &screen, UG_SECTION_TOPHDG);
        }
    }
}

void CUGTopHdg::mouseMoveEvent(QMouseEvent* event)
{
    CUGGridInfo* gi = GI();
    const QPoint pos = event->position().toPoint();
    if (!(event->buttons() & Qt::LeftButton)) {
        HitTest(pos);
        return;
    }
    if (m_sizing) {
        if (m_zoneKind == 0) {
            int w = std::max(0, pos.x() + m_startSize - m_startPos);
            m_ctrl->OnColSizing(int(m_index), &w);
            // In mode 1 the cells keep their picture; a line shows where the edge goes.
            CUGGrid* grid = m_ctrl->GetGridWnd();
            if (gi->m_userSizingMode == 1)
                grid->Freeze(true);
            m_ctrl->SetColWidth(int(m_index), w);
            if (gi->m_userSizingMode == 1) {
                grid->SetTrackRect(QRect(pos.x() - 1, 0, 2, grid->height()));
                update();
            } else {
                m_ctrl->RedrawAll();
            }
        } else {
            int h = std::max(0, pos.y() + m_startHdgHeight - m_startPos);
            m_ctrl->OnTopHdgSizing(&h);
            gi->m_topHdgHeights[size_t(m_index)] = std::max(0, pos.y() + m_startSize - m_startPos);
            gi->m_topHdgHeight = std::max(0, h);
            m_ctrl->AdjustLayout();
        }
        return;
    }
    if (m_dragCol < 0 || !gi->m_enableColSwapping)
        return;
    if (pos.x() < 0 || pos.x() > gi->m_gridWidth) {
        m_dropPos = -1;
        m_ctrl->GetGridWnd()->SetTrackRect(QRect());
        m_scrollDir = pos.x() < 0 ? -1 : 1;
        m_ctrl->MoveLeftCol(m_scrollDir < 0 ? 0 : 1);
        if (!m_scrollTimer.isActive())
            m_scrollTimer.start();
        return;
    }
    m_scrollTimer.stop();
    int col;
    long row;
    RECT rect;
    if (GetCellFromPoint(pos.x(), std::min(pos.y(), RowTop(-1)), &col, &row, &rect) != 0)
        return;
    if (col == m_dragCol && m_dropPos < 0)
        return;
    const bool after = pos.x() > (rect.left + rect.right) / 2;
    const int drop = std::min(after ? col + 1 : col, gi->m_numberCols);
    if (m_dropPos < 0 || drop != m_dropPos) {
        if (m_dropPos < 0)
            update(); // the dragged column shows selected from now on
        m_dropPos = drop;
    }
    // The marker: two pixels from the boundary the column would drop at.
    CUGGrid* grid = m_ctrl->GetGridWnd();
    grid->SetTrackRect(QRect(after ? rect.right : rect.left, 0, 2, grid->height()));
}

void CUGTopHdg::mouseReleaseEvent(QMouseEvent* event)
{
    CUGGridInfo* gi = GI();
    const QPoint pos = event->position().toPoint();
    POINT point{pos.x(), pos.y()};
    if (m_sizing) {
        m_sizing = false;
        m_ctrl->GetGridWnd()->SetTrackRect(QRect());
        m_ctrl->GetGridWnd()->Freeze(false);
        if (m_zoneKind == 0) {
            int w = m_ctrl->GetColWidth(int(m_index));
            const int before = w;
            m_ctrl->OnColSized(int(m_index), &w);
            if (w != before)
                m_ctrl->SetColWidth(int(m_index), w);
        } else {
            m_ctrl->OnTopHdgSized(&gi->m_topHdgHeight);
        }
        m_ctrl->GetGridWnd()->update();
        m_ctrl->AdjustLayout();
        return;
    }
    int col = -1;
    long row = -1;
    RECT rect{};
    const bool onCell = GetCellFromPoint(pos.x(), pos.y(), &col, &row, &rect) == 0;
    if (event->button() == Qt::LeftButton) {
        if (onCell) {
            const int processed = m_ctrl->GetCellTypeOfCell(col, row)->OnLClicked(col, row, 0, &rect, &point);
            m_ctrl->OnTH_LClicked(col, row, 0, &rect, &point, processed);
        }
        if (gi->m_enableColSwapping && m_dragCol >= 0 && m_dropPos >= 0) {
            const int target = m_dropPos - (m_dragCol < m_dropPos ? 1 : 0);
            if (m_ctrl->OnCanMoveCol(m_dragCol, target))
                m_ctrl->MoveColPosition(m_dragCol, m_dropPos, TRUE);
            m_ctrl->RedrawAll();
        }
        m_dragCol = -1;
        m_dropPos = -1;
        m_scrollTimer.stop();
        m_ctrl->GetGridWnd()->SetTrackRect(QRect());
    } else if (event->button() == Qt::RightButton && onCell) {
        const int processed = m_ctrl->GetCellTypeOfCell(col, row)->OnRClicked(col, row, 0, &rect, &point);
        m_ctrl->OnTH_RClicked(col, row, 0, &rect, &point, processed);
    }
}

void CUGTopHdg::mouseDoubleClickEvent(QMouseEvent* event)
{
    const QPoint pos = event->position().toPoint();
    POINT point{pos.x(), pos.y()};
    if (m_inZone) {
        if (m_zoneKind == 0 && GI()->m_enableBestFitOnDClick) {
            m_ctrl->BestFit(int(m_index), int(m_index), 20, 1);
            HitTest(pos);
        }
        return;
    }
    int col;
    long row;
    RECT rect;
    if (GetCellFromPoint(pos.x(), pos.y(), &col, &row, &rect) != 0)
        return;
    const int processed = m_ctrl->GetCellTypeOfCell(col, row)->OnDClicked(col, row, &rect, &point);
    m_ctrl->OnTH_DClicked(col, row, &rect, &point, processed);
}
