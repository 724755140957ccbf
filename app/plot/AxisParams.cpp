#include "app/plot/AxisParams.h"

#include "app/plot/PlotColor.h"

#include <QFontMetrics>
#include <QPaintDevice>
#include <QPainter>
#include <cmath>

using plot::HimetricToPixels;
using plot::ToQColor;

int plot::HimetricToPixels(int himetric, int dpi)
{
    return int(std::lround(himetric * double(dpi) / 2540.0));
}

CAxisParams::CAxisParams() : m_Pen(QColor(Qt::black), 0, Qt::SolidLine), m_cDigit(7, 13)
{
    m_cy = 1 + m_cyMajorTickHeight + m_dTxt + (2 * m_dTxt) / 3 + m_cyText;
}

int CAxisParams::Set(QPainter* pDC, const QFont& f)
{
    QPaintDevice* dev = pDC ? pDC->device() : nullptr;
    const int dpi = dev ? dev->logicalDpiY() : 96;
    m_cyMajorTickHeight = HimetricToPixels(MAJORTICKHEIGHT, dpi);
    m_cyMinorTickHeight = HimetricToPixels(MINORTICKHEIGHT, dpi);
    m_cySubTickHeight = HimetricToPixels(SUBTICKHEIGHT, dpi);
    m_dTxt = HimetricToPixels(AXIS_DTXT, dpi);
    const QFontMetrics fm = dev ? QFontMetrics(f, dev) : QFontMetrics(f);
    m_cDigit = CSize(fm.horizontalAdvance(QLatin1Char('0')), fm.height());
    m_cxSpace = fm.horizontalAdvance(QLatin1Char(' '));
    m_cxMinusDPSpace = fm.horizontalAdvance(QStringLiteral(". -"));
    m_cxDecPt = fm.horizontalAdvance(QLatin1Char('.'));
    m_cxMinus = fm.horizontalAdvance(QLatin1Char('-'));
    m_cyText = fm.height() + std::max(fm.leading(), 0);
    m_cy = 1 + m_cyMajorTickHeight + m_dTxt + (2 * m_dTxt) / 3 + m_cyText;
    m_Pen = QPen(ToQColor(m_clrAxis), 0, Qt::SolidLine);
    return 0;
}

plot::SAxisMetrics CAxisParams::Metrics() const
{
    plot::SAxisMetrics m;
    m.cxDigit = m_cDigit.cx;
    m.cyDigit = m_cDigit.cy;
    m.cxSpace = m_cxSpace;
    m.cxMinus = m_cxMinus;
    m.cyMajorTick = m_cyMajorTickHeight;
    m.dTxt = m_dTxt;
    return m;
}
