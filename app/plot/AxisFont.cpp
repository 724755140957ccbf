#include "app/plot/AxisFont.h"

#include "app/plot/PaintUtil.h"

#include <QApplication>

namespace plot {

SAxisDefaults& AxisDefaults()
{
    // Made on first use, when the application's font is known, and never
    // destroyed: a font must not outlive the application object at exit.
    static SAxisDefaults* d = new SAxisDefaults{QApplication::font(), true};
    return *d;
}

CAxisFont::CAxisFont(const CAxisFont& src) : m_pShared(src.m_pShared), m_pFont(src.m_pShared)
{
    if (src.m_pFont != src.m_pShared) {
        m_ownFont = std::make_unique<QFont>(*src.m_pFont);
        m_pFont = m_ownFont.get();
    }
}

void CAxisFont::SetForDevice(QPainter* pDC)
{
    if (IsPrinting(pDC)) {
        m_ownFont = std::make_unique<QFont>(PrinterFont(*m_pFont));
        m_pFont = m_ownFont.get();
    }
}

} // namespace plot
