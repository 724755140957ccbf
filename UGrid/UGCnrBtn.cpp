#include "UGrid/UGCnrBtn.h"

#include "UGrid/UGCtrl.h"
#include "UGrid/UGGrid.h"

#include <QMouseEvent>
#include <QPainter>

#include <algorithm>

CUGCnrBtn::CUGCnrBtn(CUGCtrl* ctrl, QWidget* parent) : QWidget(parent), m_ctrl(ctrl)
{
    setObjectName(QStringLiteral("id_4"));
    setMouseTracking(true);
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void CUGCnrBtn::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.setFont(font());
    CDC dc(&p);
    m_ctrl->OnSetupDC(&dc, nullptr, UG_SECTION_CORNER);
    dc.SetBkColor(UGGetSysColor(UG_COLOR_BTNFACE));
    CUGCell cell;
    m_ctrl->GetCellIndirect(-1, -1, &cell);
    RECT rect{0, 0, width(), height()};
    m_ctrl->GetCellType(cell.GetCellType())->OnDraw(&dc, &rect, -1, -1, &cell, 0, 0);
}

void CUGCnrBtn::mousePressEvent(QMouseEvent* event)
{
    const QPoint pos = event->position().toPoint();
    POINT point{pos.x(), pos.y()};
    RECT rect = m_ctrl->GI()->m_cnrBtnRect;
    if (event->button() == Qt::LeftButton) {
        if (m_sizingHeight || m_sizingWidth) {
            m_sizing = true;
            return;
        }
        m_ctrl->OnCB_LClicked(1, &rect, &point, 0);
    } else if (event->button() == Qt::RightButton) {
        m_ctrl->OnCB_RClicked(1, &rect, &point, 0);
        if (m_ctrl->GI()->m_enablePopupMenu) {
            const QPoint g = mapToGlobal(pos);
            POINT screen{g.x(), g.y()};
            m_ctrl->StartMenu(-1, -1, &screen, UG_SECTION_CORNER);
        }
    }
}

void CUGCnrBtn::mouseMoveEvent(QMouseEvent* event)
{
    const QPoint pos = event->position().toPoint();
    if (m_sizing) {
        if (m_sizingWidth) {
            int w = std::max(pos.x(), 0);
            m_ctrl->OnSideHdgSizing(&w);
            m_ctrl->SetSideHdgWidth(w);
        } else {
            int h = std::max(pos.y(), 0);
            m_ctrl->OnTopHdgSizing(&h);
            m_ctrl->SetTopHdgHeight(h);
        }
        m_ctrl->AdjustLayout();
        return;
    }
    if (event->buttons() != Qt::NoButton)
        return;
    m_sizingWidth = m_sizingHeight = false;
    if (m_ctrl->GI()->m_userSizingMode > 0) {
        if (pos.x() > width() - 4 && m_ctrl->OnCanSizeSideHdg())
            m_sizingWidth = true;
        else if (pos.y() > height() - 4 && m_ctrl->OnCanSizeTopHdg())
            m_sizingHeight = true;
    }
    setCursor(m_sizingWidth ? Qt::SizeHorCursor : m_sizingHeight ? Qt::SizeVerCursor : Qt::ArrowCursor);
}

void CUGCnrBtn::mouseReleaseEvent(QMouseEvent* event)
{
    const QPoint pos = event->position().toPoint();
    POINT point{pos.x(), pos.y()};
    RECT rect = m_ctrl->GI()->m_cnrBtnRect;
    m_sizing = false;
    if (event->button() == Qt::LeftButton)
        m_ctrl->OnCB_LClicked(0, &rect, &point, 0);
    else if (event->button() == Qt::RightButton)
        m_ctrl->OnCB_RClicked(0, &rect, &point, 0);
}

void CUGCnrBtn::mouseDoubleClickEvent(QMouseEvent* event)
{
    const QPoint pos = event->position().toPoint();
    POINT point{pos.x(), pos.y()};
    RECT rect = m_ctrl->GI()->m_cnrBtnRect;
    m_ctrl->OnCB_DClicked(&rect, &point, 0);
}
