#pragma once
// The view of the spectrum template: one plot window per region index of the
// document, whose planes are the stage positions and whose curves are the
// levels. It builds the windows from the document, follows acquired data as
// it arrives, redraws after processing, re-labels the energy axis when the
// unit changes and restyles the levels when the display mode changes. It
// owns the Process commands, which open one tool at a time on this view, and
// the full-scale command.

#include "app/SpecViewBase.h"

class CSource;
class CVeltraneDoc;

class CSpecView : public CSpecViewBase
{
    Q_OBJECT
public:
    CSpecView();
    ~CSpecView() override;

    void OnInitialUpdate() override;
    void OnUpdate(IDocView* pSender, intptr_t lHint, void* pHint) override;
    void OnDestroy() override;
    bool OnCmdMsg(unsigned id, CCmdUI* pUI) override;

    // The energy unit the document is shown in: the current XPS unit for
    // XPS, kinetic energy for AES, none otherwise.
    int GetEnergyUnit() const;
    // The display mode of the levels from the display options (0 stack, 1 offset).
    static int GetDispModeOption();
    void OnFullScale();

protected:
    void resizeEvent(QResizeEvent* e) override;

private:
    struct SLimits
    {
        double dMax = 0.0;
        double dMin = 0.0;
        bool bMax = false;
        bool bMin = false;
        bool bZero = false; // the minimum is the "Zero" choice
    };
    SLimits GetFullScaleLimits(int iPosn) const;
    // The lower end for region iRgn's pane: "Zero" keeps a spectrum's
    // baseline at the foot of its pane, but never hides what lies below it.
    double GetPaneMinimum(const SLimits& l, int iPosn, int iRgn) const;
    // The region's start and finish in the view's energy unit.
    void GetEnergyRange(int iPosn, int iRgn, double& dStart, double& dFinish) const;
    void OnAcquire(const struct SAcqUpdate& u);
    void OnProcess(const struct SViewUpdate& u);
    void OnUnitChange();
    void OnDispModeChange();
};
