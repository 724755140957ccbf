#include "UGrid/UGVScroll.h"

#include "UGrid/UGCtrl.h"
#include "UGrid/UGGrid.h"
#include "UGrid/UGHint.h"

#include <QCursor>
#include <QMouseEvent>

#include <algorithm>
#include <cmath>

CUGVScroll::CUGVScroll(CUGCtrl* ctrl, QWidget* parent) : QScrollBar(Qt::Vertical, parent), m_ctrl(ctrl)
{
    setObjectName(QStringLiteral("id_6"));
    setFocusPolicy(Qt::NoFocus);
    connect(this, &QAbstractSlider::actionTriggered, this, &CUGVScroll::OnAction);
}

void CUGVScroll::Update()
{
    CUGGridInfo* gi = m_ctrl->GI();
    const QSignalBlocker block(this);
    if (gi->m_maxTopRow != m_lastMaxTopRow || gi->m_vScrollMode != m_lastScrollMode ||
        gi->m_numLockRows != m_lastNumLockRow) {
        m_lastMaxTopRow = gi->m_maxTopRow;
        m_lastScrollMode = gi->m_vScrollMode;
        m_lastNumLockRow = gi->m_numLockRows;
        if (gi->m_vScrollMode == 2) {
            setRange(0, 2);
            setPageStep(1);
            m_multPos = m_multRange = 1.0;
        } else if (gi->m_maxTopRow > 1000) {
            setRange(int(gi->m_numLockRows), 1000);
            setPageStep(1);
            m_multPos = 1000.0 / double(gi->m_maxTopRow);
            m_multRange = double(gi->m_maxTopRow) / 1000.0;
        } else {
            const int v = std::max(1, gi->m_gridHeight / std::max(1, gi->m_defRowHeight));
            setRange(int(gi->m_numLockRows), int(gi->m_maxTopRow));
            setPageStep(v);
            m_multPos = m_multRange = 1.0;
        }
        if (gi->m_vScrollRect.right - gi->m_vScrollRect.left <= 0 && gi->m_maxTopRow > 0)
            m_ctrl->AdjustLayout(); // the bar may now be needed
    }
    setSliderPosition(gi->m_vScrollMode == 2 ? 1 : int(std::trunc(double(gi->m_topRow) * m_multPos)));
    update();
}

void CUGVScroll::OnAction(int action)
{
    switch (action) {
    case SliderSingleStepAdd:
        OnScroll(LineDown, 0);
        break;
    case SliderSingleStepSub:
        OnScroll(LineUp, 0);
        break;
    case SliderPageStepAdd:
        OnScroll(PageDown, 0);
        break;
    case SliderPageStepSub:
        OnScroll(PageUp, 0);
        break;
    case SliderToMinimum:
        OnScroll(Top, 0);
        break;
    case SliderToMaximum:
        OnScroll(Bottom, 0);
        break;
    case SliderMove:
        OnScroll(isSliderDown() ? ThumbTrack : ThumbPosition, sliderPosition());
        return; // the thumb stays where the user holds it
    default:
        break;
    }
    CUGGridInfo* gi = m_ctrl->GI();
    setSliderPosition(gi->m_vScrollMode == 2 ? 1 : int(std::trunc(double(gi->m_topRow) * m_multPos)));
}

void CUGVScroll::OnScroll(int code, int pos)
{
    CUGGridInfo* gi = m_ctrl->GI();
    if (!m_ctrl->GetGridWnd()->hasFocus())
        m_ctrl->GetGridWnd()->setFocus(Qt::OtherFocusReason);
    gi->m_moveType = 4;
    switch (code) {
    case LineUp:
        m_ctrl->MoveTopRow(0);
        break;
    case LineDown:
        m_ctrl->MoveTopRow(1);
        break;
    case PageUp:
        m_ctrl->MoveTopRow(2);
        break;
    case PageDown:
        m_ctrl->MoveTopRow(3);
        break;
    case ThumbTrack:
        m_trackRowPos = long(std::trunc(pos * m_multRange));
        if (gi->m_vScrollMode == 1)
            m_ctrl->SetTopRow(m_trackRowPos);
        if (gi->m_enableVScrollHints) {
            std::string text;
            m_ctrl->OnVScrollHint(m_trackRowPos, &text);
            CUGHint* hint = m_ctrl->GetHintWnd();
            hint->SetTextAlignment(UG_ALIGNRIGHT | UG_ALIGNVCENTER);
            hint->SetText(text.c_str(), FALSE);
            const QPoint p = m_ctrl->mapFromGlobal(QCursor::pos());
            hint->MoveHintWindow(geometry().left() - 1, p.y(), 40);
        }
        break;
    case ThumbPosition:
        if (gi->m_enableVScrollHints)
            m_ctrl->GetHintWnd()->Hide();
        m_ctrl->SetTopRow(long(std::trunc(pos * m_multRange)));
        break;
    case Top:
        m_ctrl->MoveTopRow(4);
        break;
    case Bottom:
        m_ctrl->MoveTopRow(5);
        break;
    default:
        break;
    }
    gi->m_moveType = 0;
}

void CUGVScroll::mousePressEvent(QMouseEvent* event)
{
    if (event->button() == Qt::RightButton && m_ctrl->GI()->m_enablePopupMenu) {
        const QPoint g = mapToGlobal(event->position().toPoint());
        POINT screen{g.x(), g.y()};
        m_ctrl->StartMenu(0, 0, &screen, UG_SECTION_VSCROLL);
    }
    QScrollBar::mousePressEvent(event);
    if (event->button() == Qt::LeftButton)
        connect(
            this, &QAbstractSlider::sliderReleased, this,
            [this] { OnScroll(ThumbPosition, sliderPosition()); }, Qt::SingleShotConnection);
}
