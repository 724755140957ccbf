#include "app/ProfileViewBase.h"

#include "app/plot/SpecWnd.h"
#include "app/plot/Symbol.h"

CProfileViewBase::CProfileViewBase()
{
    m_caSymbols.push_back(std::make_unique<CSymbolCross>());
    m_caSymbols.push_back(std::make_unique<CSymbolSquare>());
    m_caSymbols.push_back(std::make_unique<CSymbolTriangle>());
    m_aColours = {PlotRGB(0, 0, 255),     PlotRGB(255, 0, 0), PlotRGB(0, 128, 0),   PlotRGB(0, 0, 0),
                  PlotRGB(0, 0, 128),     PlotRGB(128, 0, 0), PlotRGB(0, 128, 128), PlotRGB(128, 0, 128),
                  PlotRGB(128, 128, 128), PlotRGB(0, 255, 0)};
}

CProfileViewBase::~CProfileViewBase()
{
    // The windows' curves point at the symbols: the windows go first.
    ResetSpecWnds(0);
    while (!m_caSymbols.empty())
        m_caSymbols.pop_back();
}

const CSymbol* CProfileViewBase::GetSymbol(int i) const
{
    const int n = int(m_caSymbols.size());
    return n > 0 ? m_caSymbols[size_t(((i % n) + n) % n)].get() : nullptr;
}

COLORREF CProfileViewBase::GetColour(int i) const
{
    return m_aColours[size_t(((i % NumColours) + NumColours) % NumColours)];
}

void CProfileViewBase::OnDraw(QPainter*) {}
