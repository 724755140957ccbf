#pragma once
// The chemical profile: the fitted intensity of every reference against the
// level, one curve with symbols per reference and a legend. A snapshot of
// the fitted levels, shown over the spectrum view by the profiling sheet.

#include "app/ProfileViewBase.h"

#include <QPen>
#include <memory>
#include <string>
#include <vector>

class CLegend;

class CChemPrfView : public CProfileViewBase
{
    Q_OBJECT
public:
    // levels: the fitted levels, ascending; intensities[k][i]: reference k at
    // levels[i]; labels: the legend's text per reference.
    CChemPrfView(std::vector<double> levels, std::vector<std::vector<double>> intensities,
                 std::vector<std::string> labels);
    ~CChemPrfView() override;

    void OnInitialUpdate() override;
    bool SelectSample(int iSample) override;
    // The document's sample, region and level steps are not this view's: it
    // shows one plane of its own.
    bool OnCmdMsg(unsigned id, CCmdUI* pUI) override;
    CLegend* GetLegend() const { return m_pLegend; }
    double GetMin() const { return m_dMin; }
    double GetMax() const { return m_dMax; }

protected:
    void resizeEvent(QResizeEvent* e) override;

private:
    void PlaceLegend();

    std::vector<double> m_pdLevels;
    std::vector<std::vector<double>> m_Intensities;
    std::vector<std::string> m_Labels;
    std::vector<QPen*> m_Pens; // owned by the curves
    CLegend* m_pLegend = nullptr;
    bool m_bInitialised = false;
    double m_dMin = 0.0, m_dMax = 0.0;
};
