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

class CSymbol;

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

protected:
    std::vector<std::unique_ptr<CSymbol>> m_caSymbols;
    std::array<COLORREF, NumColours> m_aColours{};
};
