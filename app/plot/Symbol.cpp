#include "app/plot/Symbol.h"

#include <QPaintDevice>
#include <QPainter>
#include <cmath>

int CSymbol::HalfSizePixels(QPainter* pDC)
{
    const QPaintDevice* dev = pDC->device();
    const int dpi = dev ? dev->logicalDpiY() : 96;
    return std::max(1, int(std::lround(DEFAULT_SIZE * dpi / 2540.0)));
}

void CSymbolCross::Draw(QPainter* pDC, CPoint p) const
{
    const int s = HalfSizePixels(pDC);
    pDC->drawLine(p.x - s, p.y, p.x + s, p.y);
    pDC->drawLine(p.x, p.y - s, p.x, p.y + s);
}

void CSymbolSquare::Draw(QPainter* pDC, CPoint p) const
{
    const int s = HalfSizePixels(pDC);
    const QBrush old = pDC->brush();
    pDC->setBrush(Qt::NoBrush);
    pDC->drawRect(p.x - s, p.y - s, 2 * s, 2 * s);
    pDC->setBrush(old);
}

void CSymbolTriangle::Draw(QPainter* pDC, CPoint p) const
{
    const int s = HalfSizePixels(pDC);
    const QPoint pts[3] = {{p.x, p.y + s}, {p.x - s, p.y - s}, {p.x + s, p.y - s}};
    const QBrush old = pDC->brush();
    pDC->setBrush(Qt::NoBrush);
    pDC->drawPolygon(pts, 3);
    pDC->setBrush(old);
}
