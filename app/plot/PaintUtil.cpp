#include "app/plot/PaintUtil.h"

#include <QColor>
#include <QFont>
#include <QGuiApplication>
#include <QPaintDevice>
#include <QPaintEngine>
#include <QPainter>
#include <QScreen>

namespace plot {

CRect ClipBoxOf(QPainter* p)
{
    QRect r;
    if (p->hasClipping())
        r = p->clipBoundingRect().toAlignedRect();
    else if (p->device())
        r = QRect(0, 0, p->device()->width(), p->device()->height());
    return FromQRect(r);
}

namespace {

bool BlackReadsOn(const QColor& c)
{
    // Black on grey 128 still reads at about 5:1; darker colours swallow the ink.
    constexpr int kDarkest = 128;
    return qGray(c.rgb()) >= kDarkest;
}

} // namespace

QColor PlotFace(const QColor& desktopFace)
{
    // The light face of a standard desktop theme.
    static const QColor kLightFace(240, 240, 240);
    return BlackReadsOn(desktopFace) ? desktopFace : kLightFace;
}

QColor PlotPaper(const QColor& desktopWindow)
{
    return BlackReadsOn(desktopWindow) ? desktopWindow : QColor(Qt::white);
}

bool IsPrinting(QPainter* p)
{
    return p && p->device() && p->device()->devType() == QInternal::Printer;
}

bool IsVectorDevice(QPainter* p)
{
    const QPaintEngine* e = p ? p->paintEngine() : nullptr;
    return e && e->type() != QPaintEngine::Raster;
}

QFont PrinterFont(const QFont& f)
{
    QFont out(f);
    if (f.pixelSize() > 0) {
        // Point size from the screen's resolution, as the screen shows it.
        const QScreen* s = QGuiApplication::primaryScreen();
        const double dpi = s ? s->logicalDotsPerInchY() : 96.0;
        out.setPointSizeF(f.pixelSize() * 72.0 / dpi);
    }
    return out;
}

int SubTickFractions(double m, double* f)
{
    if (m == 1 || m == 5 || m == 10) {
        for (int k = 0; k < 4; ++k)
            f[k] = (k + 1) / 5.0;
        return 4;
    }
    if (m == 3) {
        f[0] = 1 / 3.0;
        f[1] = 2 / 3.0;
        return 2;
    }
    // 2, 4 and 20: quarters
    f[0] = 0.25;
    f[1] = 0.5;
    f[2] = 0.75;
    return 3;
}

} // namespace plot
