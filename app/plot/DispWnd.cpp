#include "app/plot/DispWnd.h"

#include <QPainter>

CDispWnd::CDispWnd(QWidget* parent) : QWidget(parent) {}

CDispWnd::~CDispWnd() = default;

void CDispWnd::SetActive(bool bActivate)
{
    if (bActivate == m_bActive)
        return;
    m_bActive = bActivate;
    DrawActiveRect(nullptr);
}

void CDispWnd::DrawActiveRect(QPainter* pDC)
{
    const QRect r = rect();
    if (!pDC) {
        // The frame is two pixels wide on every side.
        update(QRegion(r).subtracted(QRegion(r.adjusted(2, 2, -2, -2))));
        return;
    }
    const QPalette& pal = palette();
    const QColor light = pal.color(QPalette::Light), mid = pal.color(QPalette::Mid),
                 dark = pal.color(QPalette::Dark), face = pal.color(QPalette::Button);
    // Each edge: top-left colour, bottom-right colour, outer ring then inner ring.
    const QColor outerTL = m_bActive ? face : mid, outerBR = m_bActive ? dark : light;
    const QColor innerTL = m_bActive ? light : light, innerBR = m_bActive ? mid : mid;
    auto ring = [&](const QRect& q, const QColor& tl, const QColor& br) {
        pDC->setPen(QPen(tl, 0));
        pDC->drawLine(q.left(), q.top(), q.right() - 1, q.top());
        pDC->drawLine(q.left(), q.top(), q.left(), q.bottom() - 1);
        pDC->setPen(QPen(br, 0));
        pDC->drawLine(q.left(), q.bottom(), q.right(), q.bottom());
        pDC->drawLine(q.right(), q.top(), q.right(), q.bottom());
    };
    pDC->save();
    pDC->setClipping(false);
    pDC->setRenderHint(QPainter::Antialiasing, false);
    ring(r, outerTL, outerBR);
    ring(r.adjusted(1, 1, -1, -1), innerTL, innerBR);
    pDC->restore();
}
