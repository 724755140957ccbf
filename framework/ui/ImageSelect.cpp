#include "framework/ui/ImageSelect.h"

#include <QCursor>

#include <algorithm>

IImageSelectPage*& ImageSelectPage()
{
    static IImageSelectPage* page = nullptr;
    return page;
}

RECT TrackedRect(const SPaneTrack& t, POINT press, POINT now)
{
    const int dx = now.x - press.x, dy = now.y - press.y;
    RECT r = t.rect;
    switch (t.handle) {
    case TrackMove:
        r.left += dx;
        r.right += dx;
        r.top += dy;
        r.bottom += dy;
        break;
    case 0:
        r.left += dx;
        r.top += dy;
        break;
    case 1:
        r.right += dx;
        r.top += dy;
        break;
    case 2:
        r.right += dx;
        r.bottom += dy;
        break;
    case 3:
        r.left += dx;
        r.bottom += dy;
        break;
    case 4:
        r.top += dy;
        break;
    case 5:
        r.right += dx;
        break;
    case 6:
        r.bottom += dy;
        break;
    case 7:
        r.left += dx;
        break;
    default:
        break;
    }
    return r;
}

int TrackerHitTest(const RECT& r, POINT p, int handleSize)
{
    if (p.x < r.left || p.x > r.right || p.y < r.top || p.y > r.bottom)
        return -1;
    if (handleSize > 0) {
        // Handles shrink on a small rectangle so that its inside stays reachable.
        const int h = std::max(1, std::min<int>(handleSize, int((int64_t{r.right} - r.left) / 3)));
        const int v = std::max(1, std::min<int>(handleSize, int((int64_t{r.bottom} - r.top) / 3)));
        const bool atLeft = p.x<r.left + h, atRight = p.x> r.right - h;
        const bool atTop = p.y<r.top + v, atBottom = p.y> r.bottom - v;
        const int64_t cx = (int64_t{r.left} + r.right) / 2, cy = (int64_t{r.top} + r.bottom) / 2;
        const bool midX = p.x >= cx - h / 2 && p.x <= cx + h / 2;
        const bool midY = p.y >= cy - v / 2 && p.y <= cy + v / 2;
        if (atTop && atLeft)
            return 0;
        if (atTop && atRight)
            return 1;
        if (atBottom && atRight)
            return 2;
        if (atBottom && atLeft)
            return 3;
        if (atTop && midX)
            return 4;
        if (atRight && midY)
            return 5;
        if (atBottom && midX)
            return 6;
        if (atLeft && midY)
            return 7;
    }
    return TrackMove;
}

QCursor TrackerCursor(int hit)
{
    switch (hit) {
    case 0:
    case 2:
        return QCursor(Qt::SizeFDiagCursor);
    case 1:
    case 3:
        return QCursor(Qt::SizeBDiagCursor);
    case 4:
    case 6:
        return QCursor(Qt::SizeVerCursor);
    case 5:
    case 7:
        return QCursor(Qt::SizeHorCursor);
    default:
        return QCursor(Qt::SizeAllCursor);
    }
}
