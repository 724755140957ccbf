#pragma once
// The view of the profile template: one plot window in which each region of
// an analysis position is one curve of intensity against level value, one
// plane per position. It adds each intensity as it is acquired. The Level
// button chooses which region curves are shown; there is one window, so the
// Region button changes nothing.

#include "app/ProfileViewBase.h"

#include <vector>

struct SAcqUpdate;

class CProfileView : public CProfileViewBase
{
    Q_OBJECT
public:
    CProfileView();
    ~CProfileView() override;

    void OnInitialUpdate() override;
    void OnUpdate(IDocView* pSender, intptr_t lHint, void* pHint) override;
    bool SelectRegion(int iRegion) override;
    bool SelectSample(int iSample) override;

    double GetMinIntensity(int iPosn) const { return m_adMin.at(size_t(iPosn)); }
    double GetMaxIntensity(int iPosn) const { return m_adMax.at(size_t(iPosn)); }
    const std::vector<double>& GetLevelValues(int iPosn) const { return m_apdXData.at(size_t(iPosn)); }
    double GetXMin() const { return m_dXMin; }
    double GetXMax() const { return m_dXMax; }

protected:
    void resizeEvent(QResizeEvent* e) override;

private:
    void OnAcquire(const SAcqUpdate& u);

    std::vector<double> m_adMin;
    std::vector<double> m_adMax;
    // The level values of each position (the X values of its curves).
    std::vector<std::vector<double>> m_apdXData;
    double m_dXMin = 0.0;
    double m_dXMax = 0.0;
};
