#include "framework/ui/ScreenFit.h"

#include <QGuiApplication>
#include <QScreen>

#include <algorithm>

namespace {

// Enough of the top edge to take hold of the window and drag it.
constexpr int kMinReachable = 48;

qint64 OverlapArea(const QRect& a, const QRect& b)
{
    const QRect i = a.intersected(b);
    return i.isEmpty() ? 0 : qint64(i.width()) * i.height();
}

} // namespace

QRect FitOnScreens(const QRect& saved, const QList<QRect>& screens)
{
    if (saved.isEmpty() || screens.isEmpty())
        return saved;
    QRect screen = screens.front();
    qint64 best = 0;
    for (const QRect& s : screens)
        if (const qint64 a = OverlapArea(saved, s); a > best) {
            best = a;
            screen = s;
        }

    QRect r = saved;
    const bool tooLarge = r.width() > screen.width() || r.height() > screen.height();
    r.setWidth(std::min(r.width(), screen.width()));
    r.setHeight(std::min(r.height(), screen.height()));

    const int shown = std::min(r.right(), screen.right()) - std::max(r.left(), screen.left()) + 1;
    const bool reachable =
        r.top() >= screen.top() && r.top() <= screen.bottom() - kMinReachable && shown >= kMinReachable;
    if (tooLarge || !reachable) {
        r.moveLeft(std::clamp(r.left(), screen.left(), screen.right() - r.width() + 1));
        r.moveTop(std::clamp(r.top(), screen.top(), screen.bottom() - r.height() + 1));
    }
    return r;
}

QRect FitOnAttachedScreens(const QRect& saved)
{
    QList<QRect> areas;
    if (QScreen* primary = QGuiApplication::primaryScreen())
        areas.append(primary->availableGeometry());
    for (QScreen* s : QGuiApplication::screens())
        if (s != QGuiApplication::primaryScreen())
            areas.append(s->availableGeometry());
    return FitOnScreens(saved, areas);
}
