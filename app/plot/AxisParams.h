#pragma once
// The pen, tick heights and text metrics an axis draws with on one device.

#include "app/plot/PlotMath.h"
#include "app/plot/PlotTypes.h"

#include <QPen>

class QFont;
class QPainter;

// Tick sizes in HIMETRIC units (0.01 mm), the same on every device.
inline constexpr int SUBTICKHEIGHT = 60;
inline constexpr int MINORTICKHEIGHT = 120;
inline constexpr int MAJORTICKHEIGHT = 180;
inline constexpr int AXIS_DTXT = 60;

class CAxisParams
{
public:
    CAxisParams();
    CAxisParams(const CAxisParams&) = default;
    CAxisParams& operator=(const CAxisParams&) = default;

    // Measures font f on the painter's device and converts the tick sizes.
    int Set(QPainter* pDC, const QFont& f);
    plot::SAxisMetrics Metrics() const;

    QPen m_Pen;
    CSize m_cDigit;
    COLORREF m_clrAxis = 0;
    int m_cxSpace = 3;
    int m_cxMinusDPSpace = 10;
    int m_cxDecPt = 3;
    int m_cxMinus = 4;
    int m_cy = 0;
    int m_cyText = 13;
    int m_cySubTickHeight = 2;
    int m_cyMinorTickHeight = 5;
    int m_cyMajorTickHeight = 7;
    int m_dTxt = 2;
};

namespace plot {
// HIMETRIC to device pixels at a logical resolution.
int HimetricToPixels(int himetric, int dpi);
} // namespace plot
