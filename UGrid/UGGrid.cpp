#include "UGrid/UGGrid.h"

#include "UGrid/UGCtrl.h"
#include "UGrid/UGEdit.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QToolTip>

#include <algorithm>
#include <climits>

CUGGrid::CUGGrid(CUGCtrl* ctrl, QWidget* parent) : QWidget(parent), m_ctrl(ctrl)
{
    setObjectName(QStringLiteral("id_1"));
    setFocusPolicy(Qt::StrongFocus);
    setMouseTracking(true);
    setAttribute(Qt::WA_OpaquePaintEvent);
    m_dragTimer.setSingleShot(true);
    connect(&m_dragTimer, &QTimer::timeout, this, &CUGGrid::OnDragTimer);
}

CUGGridInfo* CUGGrid::GI() const
{
    return m_ctrl->GI();
}

UINT CUGGrid::ToVirtualKey(int k)
{
    switch (k) {
    case Qt::Key_Backspace:
        return VK_BACK;
    case Qt::Key_Tab:
    case Qt::Key_Backtab:
        return VK_TAB;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        return VK_RETURN;
    case Qt::Key_Shift:
        return VK_SHIFT;
    case Qt::Key_Control:
        return VK_CONTROL;
    case Qt::Key_Escape:
        return VK_ESCAPE;
    case Qt::Key_Space:
        return VK_SPACE;
    case Qt::Key_PageUp:
        return VK_PRIOR;
    case Qt::Key_PageDown:
        return VK_NEXT;
    case Qt::Key_End:
        return VK_END;
    case Qt::Key_Home:
        return VK_HOME;
    case Qt::Key_Left:
        return VK_LEFT;
    case Qt::Key_Up:
        return VK_UP;
    case Qt::Key_Right:
        return VK_RIGHT;
    case Qt::Key_Down:
        return VK_DOWN;
    case Qt::Key_Insert:
        return VK_INSERT;
    case Qt::Key_Delete:
        return VK_DELETE;
    default:
        break;
    }
    if ((k >= Qt::Key_0 && k <= Qt::Key_9) || (k >= Qt::Key_A && k <= Qt::Key_Z))
        return UINT(k);
    if (k >= Qt::Key_F1 && k <= Qt::Key_F24)
        return UINT(VK_F1 + (k - Qt::Key_F1));
    return 0;
}

QRect CUGGrid::CellQRect(int col, long row, bool wholeRow)
{
    if (col < 0 || row < 0)
        return QRect();
    RECT r;
    if (wholeRow) {
        m_ctrl->GetRangeRect(0, row, std::max(0, GI()->m_numberCols - 1), row, &r);
        r.left = 0;
        r.right = width();
    } else {
        m_ctrl->GetCellRect(&col, &row, &r);
    }
    return UGToQRect(r).adjusted(-1, -1, 1, 1);
}

int CUGGrid::RedrawCell(int col, long row)
{
    update(CellQRect(col, row, false));
    return 0;
}

int CUGGrid::RedrawRow(long row)
{
    update(CellQRect(0, row, true));
    return 0;
}

int CUGGrid::RedrawCol(int col)
{
    if (col < 0)
        return 0;
    RECT r;
    m_ctrl->GetRangeRect(col, 0, col, 0, &r);
    update(QRect(r.left - 1, 0, r.right - r.left + 2, height()));
    return 0;
}

int CUGGrid::RedrawRange(int startCol, long startRow, int endCol, long endRow)
{
    RECT r;
    m_ctrl->GetRangeRect(std::max(0, startCol), std::max(0L, startRow), std::max(0, endCol),
                         std::max(0L, endRow), &r);
    update(UGToQRect(r).adjusted(-1, -1, 1, 1));
    return 0;
}

void CUGGrid::Redraw()
{
    update();
}

void CUGGrid::Moved()
{
    CUGGridInfo* gi = GI();
    long long dx = 0, dy = 0;
    bool full = false;
    if (gi->m_lastLeftCol >= 0 && gi->m_leftCol != gi->m_lastLeftCol) {
        const int lo = std::min(gi->m_leftCol, gi->m_lastLeftCol),
                  hi = std::max(gi->m_leftCol, gi->m_lastLeftCol);
        for (int c = lo; c < hi && !full; ++c) {
            dx += gi->ColWidth(c);
            full = dx >= width();
        }
        if (gi->m_leftCol < gi->m_lastLeftCol)
            dx = -dx;
    } else if (gi->m_lastLeftCol < 0) {
        full = true;
    }
    if (gi->m_lastTopRow >= 0 && gi->m_topRow != gi->m_lastTopRow) {
        const long lo = std::min(gi->m_topRow, gi->m_lastTopRow),
                   hi = std::max(gi->m_topRow, gi->m_lastTopRow);
        if (gi->m_uniformRowHeightFlag) {
            dy = (long long)(hi - lo) * gi->m_defRowHeight;
        } else {
            for (long r = lo; r < hi && dy < height(); ++r)
                dy += gi->RowHeight(r);
        }
        full = full || dy >= height();
        if (gi->m_topRow < gi->m_lastTopRow)
            dy = -dy;
    } else if (gi->m_lastTopRow < 0) {
        full = true;
    }
    const bool highlightRow = gi->m_highlightRowFlag != 0;
    if (full || (dx != 0 && dy != 0)) {
        update();
    } else if (dy != 0) {
        // Only what the scroll uncovered is painted again.
        scroll(0, int(-dy), QRect(0, gi->m_lockRowHeight, width(), height() - gi->m_lockRowHeight));
    } else if (dx != 0) {
        scroll(int(-dx), 0, QRect(gi->m_lockColWidth, 0, width() - gi->m_lockColWidth, height()));
    }
    update(CellQRect(gi->m_lastCol, gi->m_lastRow, highlightRow));
    update(CellQRect(gi->m_currentCol, gi->m_currentRow, highlightRow));
}

int CUGGrid::SetDoubleBufferMode(int mode)
{
    m_doubleBufferMode = mode == 1 ? 1 : 0;
    update();
    return 0;
}

void CUGGrid::paintEvent(QPaintEvent* event)
{
    if (!m_ctrl->GI()->m_paintMode)
        return;
    QPainter p(this);
    if (!m_frozen.isNull()) {
        p.drawImage(event->rect(), m_frozen, event->rect());
    } else if (m_doubleBufferMode) {
        QImage image(size().expandedTo(QSize(1, 1)), QImage::Format_RGB32);
        {
            QPainter ip(&image);
            ip.setFont(font());
            CDC dc(&ip);
            DrawCells(&dc, event->rect());
        }
        p.drawImage(event->rect(), image, event->rect());
    } else {
        p.setFont(font());
        CDC dc(&p);
        DrawCells(&dc, event->rect());
    }
    if (!m_trackRect.isEmpty()) {
        // Inverting what lies beneath: drawn twice it would vanish, as an
        // exclusive-or line does; here the next paint simply leaves it out.
        p.save();
        p.setClipping(false);
        p.setCompositionMode(QPainter::RasterOp_NotDestination);
        p.fillRect(m_trackRect, Qt::black);
        p.restore();
    }
}

void CUGGrid::SetTrackRect(const QRect& rect)
{
    if (rect == m_trackRect)
        return;
    update(m_trackRect);
    m_trackRect = rect;
    update(m_trackRect);
}

void CUGGrid::Freeze(bool on)
{
    if (on == IsFrozen())
        return;
    if (on) {
        const QRect saved = m_trackRect;
        m_trackRect = QRect();
        m_frozen = grab().toImage();
        m_trackRect = saved;
    } else {
        m_frozen = QImage();
        update();
    }
}

void CUGGrid::DrawCells(CDC* dc, const QRect& clip)
{
    CUGGridInfo* gi = GI();
    if (gi->m_defFont)
        dc->SelectFont(gi->m_defFont);
    m_ctrl->OnSetupDC(dc, nullptr, UG_SECTION_GRID);
    const int paneW = width(), paneH = height();
    long rows = gi->m_numberRows;
    const int cols = gi->m_numberCols;
    gi->m_rightCol = cols;
    gi->m_bottomRow = rows;
    m_drawHint.ClearHints();

    RECT focusRect{};
    bool haveFocusRect = false;
    int xEnd = 0, yEnd = 0;
    bool colCrossed = false, rowCrossed = false, askedBottom = false;
    CUGCell cell;
    long r = 0;
    int y = 0;
    while (r < rows) {
        r = gi->SkipScrolledRows(r);
        if (r >= rows)
            break;
        const int h = gi->RowHeight(r);
        if (h > 0) {
            const bool rowVisible = y + h > clip.top() && y <= clip.bottom();
            int c = 0, x = 0;
            while (c < cols) {
                c = gi->SkipScrolledCols(c);
                if (c >= cols)
                    break;
                const int w = gi->ColWidth(c);
                if (w > 0) {
                    const bool current =
                        r == gi->m_currentRow && (c == gi->m_currentCol || gi->m_highlightRowFlag);
                    if (rowVisible && x + w > clip.left() && x <= clip.right()) {
                        RECT rect{x, y, x + w, y + h};
                        int dc0 = c;
                        long dr0 = r;
                        m_ctrl->GetCellIndirect(c, r, &cell);
                        bool skip = false;
                        if (gi->m_enableJoins && cell.IsPropertySet(UGCELL_JOIN)) {
                            int ec;
                            long er;
                            if (m_ctrl->GetJoinRange(&dc0, &dr0, &ec, &er) == 0) {
                                if (m_drawHint.IsValid(dc0, dr0)) {
                                    skip = true;
                                } else {
                                    m_drawHint.SetAsValid(dc0, dr0);
                                    int sc = dc0;
                                    long sr = dr0;
                                    m_ctrl->GetCellRect(&sc, &sr, &rect);
                                    m_ctrl->GetCellIndirect(dc0, dr0, &cell);
                                }
                            }
                        }
                        if (!skip) {
                            int selected = 0, isCurrent = 0;
                            if (r == gi->m_currentRow && (c == gi->m_currentCol || gi->m_highlightRowFlag)) {
                                isCurrent = 1;
                            } else if (gi->m_multiSelectFlag) {
                                int block = 0;
                                if (m_ctrl->IsSelected(c, r, &block))
                                    selected = 1 + block;
                            }
                            CUGCellType* type = m_ctrl->GetCellType(cell.GetCellType());
                            dc->Save();
                            type->OnDraw(dc, &rect, dc0, dr0, &cell, selected, isCurrent);
                            dc->SelectPen(0);
                            if (gi->m_numLockCols > 0) {
                                if (c == gi->m_leftCol) {
                                    dc->MoveTo(rect.left - 1, rect.top);
                                    dc->LineTo(rect.left - 1, rect.bottom + 1);
                                } else if (c == gi->m_numLockCols - 1) {
                                    dc->MoveTo(rect.right - 1, rect.top);
                                    dc->LineTo(rect.right - 1, rect.bottom + 1);
                                }
                            }
                            if (gi->m_numLockRows > 0) {
                                if (r == gi->m_topRow) {
                                    dc->MoveTo(rect.left, rect.top - 1);
                                    dc->LineTo(rect.right + 1, rect.top - 1);
                                } else if (r == gi->m_numLockRows - 1) {
                                    dc->MoveTo(rect.left, rect.bottom - 1);
                                    dc->LineTo(rect.right + 1, rect.bottom - 1);
                                }
                            }
                            dc->Restore();
                        }
                        if (current && !haveFocusRect) {
                            focusRect = rect;
                            haveFocusRect = true;
                        }
                    } else if (current && !haveFocusRect) {
                        focusRect = RECT{x, y, x + w, y + h};
                        haveFocusRect = true;
                    }
                    x += w;
                    if (x > paneW) {
                        gi->m_rightCol = c;
                        colCrossed = true;
                        break;
                    }
                }
                ++c;
            }
            xEnd = std::max(xEnd, std::min(x, paneW));
            y += h;
            yEnd = y;
            if (y > paneH) {
                gi->m_bottomRow = r;
                rowCrossed = true;
                break;
            }
        }
        ++r;
        if (r == rows && !askedBottom) {
            // The pane is not full: the data source or the table may add rows.
            askedBottom = true;
            long probe = rows;
            m_ctrl->CheckRow(&probe);
            rows = gi->m_numberRows;
        }
    }
    m_drawHint.ClearHints();
    const COLORREF back = m_ctrl->OnGetDefBackColor(UG_SECTION_GRID);
    if (!colCrossed && xEnd < paneW)
        dc->FillSolidRect(RECT{xEnd, 0, paneW, paneH}, back);
    if (!rowCrossed && yEnd < paneH)
        dc->FillSolidRect(RECT{0, yEnd, paneW, paneH}, back);
    if (haveFocusRect && (m_hasFocus || hasFocus())) {
        if (gi->m_highlightRowFlag) {
            focusRect.left = 0;
            focusRect.right = std::min(xEnd, paneW);
        }
        m_ctrl->OnDrawFocusRect(dc, &focusRect);
    }
}

void CUGGrid::HandleKey(QKeyEvent* event)
{
    CUGGridInfo* gi = GI();
    gi->m_moveType = 0;
    int step = 1;
    if (m_keyRepeatCount < INT_MAX)
        ++m_keyRepeatCount;
    bool move = true;
    if (gi->m_keyAccelStep > 0) {
        // A key held long enough would overflow the cube; beyond 1000 the move
        // already spans any grid.
        const int c = std::min(m_keyRepeatCount / gi->m_keyAccelStep, 1000);
        step = c * c * c + 1;
        if (gi->m_keyAccelDelay > 0 && c == 0 && m_keyRepeatCount > 1) {
            // Repeats wait for the delay; the thread never sleeps for it.
            if (m_keyDelay.isValid() && m_keyDelay.elapsed() < gi->m_keyAccelDelay)
                move = false;
            else
                m_keyDelay.restart();
        }
    }
    UINT key = ToVirtualKey(event->key());
    const int col = gi->m_currentCol;
    const long row = gi->m_currentRow;
    if (key != 0) {
        CUGCellType* type = m_ctrl->GetCellTypeOfCell(col, row);
        const int processed = type->OnKeyDown(col, row, &key);
        m_ctrl->OnKeyDown(&key, processed);
        const bool ctrlDown = event->modifiers() & Qt::ControlModifier;
        if (move) {
            switch (key) {
            case VK_LEFT:
                m_ctrl->GotoCol(gi->m_dragCol - step);
                break;
            case VK_RIGHT:
                m_ctrl->GotoCol(gi->m_dragCol + step);
                break;
            case VK_UP:
                m_ctrl->GotoRow(gi->m_dragRow - step);
                break;
            case VK_DOWN:
                m_ctrl->GotoRow(gi->m_dragRow + step);
                break;
            case VK_PRIOR:
                m_ctrl->MoveCurrentRow(2);
                break;
            case VK_NEXT:
                m_ctrl->MoveCurrentRow(3);
                break;
            case VK_HOME:
                ctrlDown ? m_ctrl->MoveCurrentRow(4) : m_ctrl->MoveCurrentCol(4);
                break;
            case VK_END:
                ctrlDown ? m_ctrl->MoveCurrentRow(5) : m_ctrl->MoveCurrentCol(5);
                break;
            default:
                break;
            }
        }
    }
    // The character of the same key press follows its key-down.
    const std::string text = UGToCp1252(event->text());
    for (unsigned char ch : text) {
        UINT c = ch;
        const int cc = gi->m_currentCol;
        const long cr = gi->m_currentRow;
        CUGCellType* type = m_ctrl->GetCellTypeOfCell(cc, cr);
        const int processed = type->OnCharDown(cc, cr, &c);
        m_ctrl->OnCharDown(&c, processed);
    }
}

void CUGGrid::keyPressEvent(QKeyEvent* event)
{
    // Ctrl+Tab and Ctrl+Shift+Tab turn the pages of the sheet the grid sits
    // on; the grid has no use for them.
    const bool pageKey = (event->key() == Qt::Key_Tab || event->key() == Qt::Key_Backtab) &&
                         (event->modifiers() & Qt::ControlModifier) &&
                         !(event->modifiers() & Qt::AltModifier);
    if (pageKey) {
        event->ignore();
        return;
    }
    try {
        HandleKey(event);
    } catch (...) {
        // Nothing may cross the event loop.
    }
    event->accept();
}

void CUGGrid::contextMenuEvent(QContextMenuEvent* event)
{
    CUGGridInfo* gi = GI();
    if (event->reason() != QContextMenuEvent::Keyboard || !gi->m_enablePopupMenu) {
        event->ignore();
        return;
    }
    event->accept();
    try {
        int col = gi->m_currentCol;
        long row = gi->m_currentRow;
        RECT r{};
        m_ctrl->GetCellRect(&col, &row, &r);
        const QPoint at = mapToGlobal(QPoint(r.left, r.bottom));
        POINT screen{at.x(), at.y()};
        m_ctrl->StartMenu(gi->m_currentCol, gi->m_currentRow, &screen, UG_SECTION_GRID);
    } catch (...) {
        // Nothing may cross the event loop.
    }
}

void CUGGrid::keyReleaseEvent(QKeyEvent* event)
{
    if (!event->isAutoRepeat())
        m_keyRepeatCount = 0;
    event->accept();
}

namespace {

// Where a click landed: the cell and its rectangle, or column and row -1 when
// it missed the cells.
struct SClickTarget
{
    POINT point;
    RECT rect{};
    int col = -1;
    long row = -1;
    bool onCell = false;
};

SClickTarget ClickTarget(CUGCtrl* ctrl, const QPoint& pos)
{
    SClickTarget t{{pos.x(), pos.y()}};
    t.onCell = ctrl->GetCellFromPoint(pos.x(), pos.y(), &t.col, &t.row, &t.rect) == 0;
    if (!t.onCell) {
        t.col = -1;
        t.row = -1;
    }
    return t;
}

} // namespace

unsigned CUGGrid::MouseFlags(Qt::MouseButtons buttons, Qt::KeyboardModifiers mods) const
{
    unsigned f = 0;
    if (buttons & Qt::LeftButton)
        f |= UG_MK_LBUTTON;
    if (buttons & Qt::RightButton)
        f |= UG_MK_RBUTTON;
    if (mods & Qt::ShiftModifier)
        f |= UG_MK_SHIFT;
    if (mods & Qt::ControlModifier)
        f |= UG_MK_CONTROL;
    return f;
}

void CUGGrid::mousePressEvent(QMouseEvent* event)
{
    if (m_ctrl->IsEditing())
        return;
    CUGGridInfo* gi = GI();
    const QPoint pos = event->position().toPoint();
    auto [point, rect, col, row, onCell] = ClickTarget(m_ctrl, pos);
    if (event->button() == Qt::LeftButton) {
        gi->m_moveType = 1;
        gi->m_moveFlags = MouseFlags(event->buttons(), event->modifiers());
        int processed = 0;
        if (onCell) {
            m_ctrl->GotoCell(col, row);
            processed = m_ctrl->GetCellTypeOfCell(col, row)->OnLClicked(col, row, 1, &rect, &point);
            if (processed)
                m_buttonTaken = 1;
        }
        m_ctrl->OnLClicked(col, row, 1, &rect, &point, processed);
        gi->m_moveType = 0;
    } else if (event->button() == Qt::RightButton) {
        gi->m_moveType = 2;
        gi->m_moveFlags = MouseFlags(event->buttons(), event->modifiers());
        int processed = 0;
        if (onCell) {
            m_ctrl->GotoCell(col, row);
            processed = m_ctrl->GetCellTypeOfCell(col, row)->OnRClicked(col, row, 1, &rect, &point);
        }
        m_ctrl->OnRClicked(col, row, 1, &rect, &point, processed);
        gi->m_moveType = 0;
        if (gi->m_enablePopupMenu) {
            const QPoint g = mapToGlobal(pos);
            POINT screen{g.x(), g.y()};
            m_ctrl->StartMenu(col, row, &screen, UG_SECTION_GRID);
        }
    }
}

void CUGGrid::mouseReleaseEvent(QMouseEvent* event)
{
    const QPoint pos = event->position().toPoint();
    auto [point, rect, col, row, onCell] = ClickTarget(m_ctrl, pos);
    int processed = 0;
    if (event->button() == Qt::LeftButton) {
        m_dragTimer.stop();
        if (onCell)
            processed = m_ctrl->GetCellTypeOfCell(col, row)->OnLClicked(col, row, 0, &rect, &point);
        m_ctrl->OnLClicked(col, row, 0, &rect, &point, processed);
        m_buttonTaken = 0;
    } else if (event->button() == Qt::RightButton) {
        if (onCell)
            processed = m_ctrl->GetCellTypeOfCell(col, row)->OnRClicked(col, row, 0, &rect, &point);
        m_ctrl->OnRClicked(col, row, 0, &rect, &point, processed);
    }
}

void CUGGrid::mouseDoubleClickEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton)
        return;
    const QPoint pos = event->position().toPoint();
    POINT point{pos.x(), pos.y()};
    RECT rect{};
    int col = -1;
    long row = -1;
    int processed = 0;
    if (m_ctrl->GetCellFromPoint(pos.x(), pos.y(), &col, &row, &rect) == 0)
        processed = m_ctrl->GetCellTypeOfCell(col, row)->OnDClicked(col, row, &rect, &point);
    else
        col = -1, row = -1;
    m_ctrl->OnDClicked(col, row, &rect, &point, processed);
}

void CUGGrid::mouseMoveEvent(QMouseEvent* event)
{
    if (m_ctrl->IsEditing())
        return;
    CUGGridInfo* gi = GI();
    const QPoint pos = event->position().toPoint();
    POINT point{pos.x(), pos.y()};
    const unsigned flags = MouseFlags(event->buttons(), event->modifiers());
    if (m_buttonTaken) {
        const int processed = m_ctrl->GetCellTypeOfCell(gi->m_currentCol, gi->m_currentRow)
                                  ->OnMouseMove(gi->m_currentCol, gi->m_currentRow, &point, flags);
        m_ctrl->OnMouseMove(gi->m_currentCol, gi->m_currentRow, &point, flags, processed);
        return;
    }
    gi->m_moveType = 3;
    gi->m_moveFlags = flags;
    int col = -1;
    long row = -1;
    if (m_ctrl->GetCellFromPoint(pos.x(), pos.y(), &col, &row) == 0) {
        const int processed = m_ctrl->GetCellTypeOfCell(col, row)->OnMouseMove(col, row, &point, flags);
        m_ctrl->OnMouseMove(col, row, &point, flags, processed);
        if (col != m_tipCol || row != m_tipRow) {
            m_tipCol = col;
            m_tipRow = row;
            QToolTip::hideText();
        }
    }
    if (event->buttons() & Qt::LeftButton) {
        m_dragPos = pos;
        DragPass(pos);
    }
    gi->m_moveType = 0;
}

void CUGGrid::DragPass(const QPoint& pos)
{
    CUGGridInfo* gi = GI();
    const int e = gi->m_autoScrollExponent;
    int lastStep = 0;
    bool outside = false;
    auto colStep = [&](int d) { return e > 0 ? CUGCtrlCore::AutoScrollStep(d, gi->m_defColWidth, e) : 1; };
    auto rowStep = [&](int d) { return e > 0 ? CUGCtrlCore::AutoScrollStep(d, gi->m_defRowHeight, e) : 1; };
    if (pos.x() < 0) {
        outside = true;
        lastStep = colStep(-pos.x());
        m_ctrl->GotoCol(gi->m_dragCol - lastStep);
    } else if (pos.x() >= width()) {
        outside = true;
        lastStep = colStep(pos.x() - width());
        m_ctrl->GotoCol(gi->m_dragCol + lastStep);
    }
    if (pos.y() < 0) {
        outside = true;
        lastStep = rowStep(-pos.y());
        m_ctrl->GotoRow(gi->m_dragRow - lastStep);
    } else if (pos.y() >= height()) {
        outside = true;
        lastStep = rowStep(pos.y() - height());
        m_ctrl->GotoRow(gi->m_dragRow + lastStep);
    }
    if (!outside) {
        int col;
        long row;
        if (m_ctrl->GetCellFromPoint(pos.x(), pos.y(), &col, &row) != 0)
            return;
        if (gi->m_numLockCols == 0 && gi->m_numLockRows == 0) {
            m_ctrl->GotoCell(col, row);
        } else {
            if (gi->m_dragCol >= gi->m_numLockCols && col < gi->m_numLockCols)
                m_ctrl->GotoCol(gi->m_dragCol - 1);
            else
                m_ctrl->GotoCol(col);
            if (gi->m_dragRow >= gi->m_numLockRows && row < gi->m_numLockRows)
                m_ctrl->GotoRow(gi->m_dragRow - 1);
            else
                m_ctrl->GotoRow(row);
        }
        m_dragTimer.stop();
        return;
    }
    // Keep scrolling while the pointer is held still outside the pane.
    m_dragTimer.start(e > 0 && lastStep == 1 ? gi->m_autoScrollDelay : 30);
}

void CUGGrid::OnDragTimer()
{
    if (!(QApplication::mouseButtons() & Qt::LeftButton))
        return;
    CUGGridInfo* gi = GI();
    gi->m_moveType = 3;
    DragPass(m_dragPos);
    gi->m_moveType = 0;
}

void CUGGrid::wheelEvent(QWheelEvent* event)
{
    const int delta = event->angleDelta().y();
    const long steps = delta / 120;
    if (steps != 0)
        m_ctrl->SetTopRow(GI()->m_topRow - steps * 3);
    event->accept();
}

void CUGGrid::focusInEvent(QFocusEvent* event)
{
    m_hasFocus = 1;
    m_buttonTaken = 0;
    m_keyRepeatCount = 0;
    QWidget::focusInEvent(event);
    m_ctrl->OnSetFocus(UG_SECTION_GRID);
    RedrawCell(GI()->m_currentCol, GI()->m_currentRow);
}

void CUGGrid::focusOutEvent(QFocusEvent* event)
{
    m_hasFocus = 0;
    QWidget::focusOutEvent(event);
    RedrawCell(GI()->m_currentCol, GI()->m_currentRow);
    m_ctrl->OnKillFocus(UG_SECTION_GRID);
}

bool CUGGrid::event(QEvent* event)
{
    if (event->type() == QEvent::ToolTip) {
        auto* help = static_cast<QHelpEvent*>(event);
        int col;
        long row;
        if (GI()->m_enableHints &&
            m_ctrl->GetCellFromPoint(help->pos().x(), help->pos().y(), &col, &row) == 0) {
            std::string text;
            m_ctrl->OnHint(col, row, UG_SECTION_GRID, &text);
            if (text.size() > 79)
                text.resize(79);
            QToolTip::showText(help->globalPos(), UGFromCp1252(text), this);
        } else {
            QToolTip::hideText();
        }
        return true;
    }
    return QWidget::event(event);
}
