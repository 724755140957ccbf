#include "UGrid/UGHScroll.h"

#include "UGrid/UGCtrl.h"
#include "UGrid/UGGrid.h"
#include "UGrid/UGHint.h"

#include <QCursor>
#include <QMouseEvent>

#include <algorithm>

CUGHScroll::CUGHScroll(CUGCtrl* ctrl, QWidget* parent) : QScrollBar(Qt::Horizontal, parent), m_ctrl(ctrl)
{
    setObjectName(QStringLiteral("id_7"));
    setFocusPolicy(Qt::NoFocus);
    connect(this, &QAbstractSlider::actionTriggered, this, &CUGHScroll::OnAction);
}

void CUGHScroll::Update()
{
    CUGGridInfo* gi = m_ctrl->GI();
    const QSignalBlocker block(this);
    if (gi->m_maxLeftCol != m_lastMaxLeftCol || gi->m_numLockCols != m_lastNumLockCols) {
        m_lastMaxLeftCol = gi->m_maxLeftCol;
        m_lastNumLockCols = gi->m_numLockCols;
        const int v = std::max(1, (gi->m_gridWidth - gi->m_lockColWidth) / std::max(1, gi->m_defColWidth));
        setRange(0, std::max(0, gi->m_maxLeftCol - gi->m_numLockCols));
        setPageStep(v);
        if (gi->m_hScrollRect.bottom - gi->m_hScrollRect.top <= 0 && gi->m_maxLeftCol > 0)
            m_ctrl->AdjustLayout();
    }
    setSliderPosition(gi->m_leftCol - gi->m_numLockCols);
    update();
}

void CUGHScroll::OnAction(int action)
{
    switch (action) {
    case SliderSingleStepAdd:
        OnScroll(1, 0);
        break;
    case SliderSingleStepSub:
        OnScroll(0, 0);
        break;
    case SliderPageStepAdd:
        OnScroll(3, 0);
        break;
    case SliderPageStepSub:
        OnScroll(2, 0);
        break;
    case SliderToMinimum:
        OnScroll(6, 0);
        break;
    case SliderToMaximum:
        OnScroll(7, 0);
        break;
    case SliderMove:
        OnScroll(isSliderDown() ? 5 : 4, sliderPosition());
        return;
    default:
        break;
    }
    CUGGridInfo* gi = m_ctrl->GI();
    setSliderPosition(gi->m_leftCol - gi->m_numLockCols);
}

void CUGHScroll::OnScroll(int code, int pos)
{
    CUGGridInfo* gi = m_ctrl->GI();
    if (!m_ctrl->GetGridWnd()->hasFocus())
        m_ctrl->GetGridWnd()->setFocus(Qt::OtherFocusReason);
    gi->m_moveType = 4;
    switch (code) {
    case 0:
        m_ctrl->MoveLeftCol(0);
        break;
    case 1:
        m_ctrl->MoveLeftCol(1);
        break;
    case 2:
        m_ctrl->MoveLeftCol(2);
        break;
    case 3:
        m_ctrl->MoveLeftCol(3);
        break;
    case 5:
        m_trackColPos = pos + gi->m_numLockCols;
        if (gi->m_hScrollMode == 1)
            m_ctrl->SetLeftCol(m_trackColPos);
        if (gi->m_enableHScrollHints) {
            std::string text;
            m_ctrl->OnHScrollHint(m_trackColPos, &text);
            CUGHint* hint = m_ctrl->GetHintWnd();
            hint->SetTextAlignment(UG_ALIGNCENTER | UG_ALIGNBOTTOM);
            hint->SetText(text.c_str(), FALSE);
            const QPoint p = m_ctrl->mapFromGlobal(QCursor::pos());
            hint->MoveHintWindow(p.x(), geometry().top() - 1, 20);
        }
        break;
    case 4:
        if (gi->m_enableHScrollHints)
            m_ctrl->GetHintWnd()->Hide();
        m_ctrl->SetLeftCol(pos + gi->m_numLockCols);
        break;
    case 6:
        m_ctrl->MoveLeftCol(4);
        break;
    case 7:
        m_ctrl->MoveLeftCol(5);
        break;
    default:
        break;
    }
    gi->m_moveType = 0;
}

void CUGHScroll::mousePressEvent(QMouseEvent* event)
{
    if (event->button() == Qt::RightButton && m_ctrl->GI()->m_enablePopupMenu) {
        const QPoint g = mapToGlobal(event->position().toPoint());
        POINT screen{g.x(), g.y()};
        m_ctrl->StartMenu(0, 0, &screen, UG_SECTION_HSCROLL);
    }
    QScrollBar::mousePressEvent(event);
    if (event->button() == Qt::LeftButton)
        connect(
            this, &QAbstractSlider::sliderReleased, this, [this] { OnScroll(4, sliderPosition()); },
            Qt::SingleShotConnection);
}
