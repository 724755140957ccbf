#pragma once
// The base of the views that plot intensities against levels (the profile
// view, the chemical-profile and quantification-profile views): the spectrum
// view base with three point symbols and ten curve colours that the derived
// views hand to their curves. The plot windows draw themselves.

#include "app/SpecViewBase.h"
#include "app/plot/PlotTypes.h"

#include <array>
#include <memory>
#include <vector>

class CLegend;
class CSymbol;
class QRect;

class CProfileViewBase : public CSpecViewBase
{
    Q_OBJECT
public:
    static constexpr int NumSymbols = 3;
    static constexpr int NumColours = 10;

    CProfileViewBase();
    ~CProfileViewBase() override;

    // Cross, square, triangle; any index, taken modulo their number.
    const CSymbol* GetSymbol(int i) const;
    // Blue, red, green, black, navy, maroon, teal, purple, grey, lime (0x00BBGGRR);
    // any index, taken modulo their number.
    COLORREF GetColour(int i) const;

    void OnDraw(QPainter* painter) override;

    // The points of the first nCurves curves of window 0, plane 0, that lie
    // under r or within a symbol's reach of it.
    int PointsIn(const QRect& r, int nCurves) const;

protected:
    // Puts the legend in the top-right corner of the plot area of window 0,
    // plane 0, or in the bottom-right one when that hides fewer points (a
    // curve that rises to the last level ends in the top corner).
    void PlaceLegendClear(CLegend* pLegend, int nCurves);

    std::vector<std::unique_ptr<CSymbol>> m_caSymbols;
    std::array<COLORREF, NumColours> m_aColours{};
};
