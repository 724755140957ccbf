#include "analysis/ui/ChemPrfView.h"

#include "app/Legend.h"
#include "app/plot/SpecTrace.h"
#include "app/plot/SpecWnd.h"
#include "data/Utility.h"
#include "framework/ui/Guard.h"
#include "res/resource.h"

#include <QResizeEvent>
#include <algorithm>
#include <cstring>

CChemPrfView::CChemPrfView(std::vector<double> levels, std::vector<std::vector<double>> intensities,
                           std::vector<std::string> labels)
    : m_pdLevels(std::move(levels)), m_Intensities(std::move(intensities)), m_Labels(std::move(labels))
{
    setObjectName(QStringLiteral("CChemPrfView"));
}

CChemPrfView::~CChemPrfView()
{
    // The curves point at the level array, the legend at their pens: the
    // window (with the legend) goes first.
    ResetSpecWnds(0);
}

void CChemPrfView::OnInitialUpdate()
{
    const int m = int(m_Intensities.size()), n = int(m_pdLevels.size());
    if (m == 0 || n == 0)
        return;
    ResetSpecWnds(1);
    m_iSample = 0;
    m_iDispWnd = 0;
    m_nDispWnds = 1;
    m_iDispTrace = 0;
    m_nDispTraces = m;
    m_dMin = CUtility::Infinity;
    m_dMax = -CUtility::Infinity;
    for (const auto& v : m_Intensities)
        for (double d : v) {
            m_dMin = std::min(m_dMin, d);
            m_dMax = std::max(m_dMax, d);
        }
    if (!(m_dMin < m_dMax)) {
        m_dMax = m_dMin + 1.0;
    }
    auto w = std::make_unique<CSpecWnd>(1);
    w->SetNumTraces(m, 0);
    w->SetCaption("Level", 0);
    m_Pens.clear();
    for (int k = 0; k < m; ++k) {
        auto* y = new double[size_t(n)];
        std::memcpy(y, m_Intensities[size_t(k)].data(), sizeof(double) * size_t(n));
        w->SetDataAutoDelete(TRUE, k, 0);
        w->SetYData(y, m_dMin, m_dMax, n, k, 0);
        w->SetXData(m_pdLevels.data(), m_pdLevels.front(), m_pdLevels.back(), n, k, 0);
        const COLORREF c = GetColour(k);
        m_Pens.push_back(new QPen(QColor(int(c & 0xFF), int((c >> 8) & 0xFF), int((c >> 16) & 0xFF)), 0));
        w->SetPen(m_Pens.back(), k, 0);
        w->SetSymbol(GetSymbol(k), k, 0);
        // Outlines only: a filled curve would hide the ones drawn before it.
        if (CSpecTrace* t = w->GetSpecTrace(k, 0))
            t->SetDispMode(CSpecTrace::Transparent);
    }
    w->SetDispMode(2, true);
    w->Create(this, RECT{}, FirstSpecWndID);
    w->installEventFilter(this);
    m_caSpecWnd[0] = std::move(w);

    m_pLegend = new CLegend(GetSpecWnd(0));
    m_pLegend->SetNumEntries(m);
    for (int k = 0; k < m; ++k) {
        m_pLegend->SetPen(m_Pens[size_t(k)], k);
        m_pLegend->SetSymbol(GetSymbol(k), k);
        m_pLegend->SetLabel(m_Labels[size_t(k)], k);
    }
    m_pLegend->show();

    SetViewSize(true);
    SetWindowPositions();
    CSpecWnd* pw = GetSpecWnd(0);
    pw->SetDispPlane(0, FALSE);
    double lo = m_dMin, hi = m_dMax;
    pw->Show(true, &hi, &lo, m_pdLevels.front(), m_pdLevels.back());
    ReadDispTraces(pw);
    m_bInitialised = true;
    SelectSample(0);
    PlaceLegend();
}

bool CChemPrfView::SelectSample(int iSample)
{
    CSpecWnd* w = GetSpecWnd(0);
    if (!w)
        return false;
    m_iSample = iSample;
    w->SetDispPlane(iSample, TRUE);
    if (m_nDispTraces < 2)
        SetDispTrace(0);
    else
        SetDispTraces(0, 1, m_nDispTraces);
    update();
    return true;
}

bool CChemPrfView::OnCmdMsg(unsigned id, CCmdUI* pUI)
{
    if (id == ID_DISP_SAMPLE || id == ID_DISP_REGION || id == ID_DISP_LEVEL) {
        if (pUI)
            pUI->Enable(false);
        return true;
    }
    return CProfileViewBase::OnCmdMsg(id, pUI);
}

void CChemPrfView::PlaceLegend()
{
    // A reference that rises to the last level ends in the top corner: the
    // legend takes the right-hand corner where it hides fewer points.
    PlaceLegendClear(m_pLegend, int(m_Intensities.size()));
}

void CChemPrfView::resizeEvent(QResizeEvent* e)
{
    CProfileViewBase::resizeEvent(e);
    if (!m_bInitialised || !GetSpecWnd(0))
        return;
    SafeInvoke([&] {
        SetViewSize(true);
        SetWindowPositions();
        SelectSample(m_iSample);
        PlaceLegend();
    });
}
