#include "analysis/ui/Satellite.h"

#include "analysis/core/Process.h"
#include "app/SpecViewBase.h"
#include "data/SpecRgn.h"
#include "data/StagePosn.h"
#include "data/VeltraneDoc.h"
#include "res/resource.h"

#include <QHBoxLayout>
#include <QPushButton>

QRect CSatellite::m_rectWnd;

CSatellite::CSatellite() : CProcDlg(IDD_SATELLITE, &m_rectWnd)
{
    setObjectName(QStringLiteral("IDD_SATELLITE"));
    setWindowTitle(QStringLiteral("Satellite Removal"));
    QPushButton* close = AddButton("IDOK", QStringLiteral("Close"));
    QPushButton* apply = AddButton("IDC_SATELLITE_APPLY", QStringLiteral("Apply"));
    m_btnReset = AddButton("IDC_SATELLITE_RESET", QStringLiteral("Reset"));
    m_btnReset->setEnabled(false);
    auto* row = new QHBoxLayout(this);
    for (QPushButton* b : {close, apply, m_btnReset})
        row->addWidget(b);
    connect(close, &QPushButton::clicked, this, &CSatellite::accept);
    connect(apply, &QPushButton::clicked, this, [this] { OnApply(); });
    connect(m_btnReset, &QPushButton::clicked, this, [this] { OnReset(); });
}

void CSatellite::OnApply()
{
    SWaitCursor wait;
    const double* orig = GetUndo();
    CVeltraneDoc* doc = GetDocument();
    const SSatellites* sat = doc ? GetSatellites(doc->GetSource()->GetSourceType()) : nullptr;
    int iWnd = -1;
    CSpecWnd* last = nullptr;
    bool bRemoved = false;
    ForEachCurve([&](CSpecWnd* w, int plane, int, double* y, int n) {
        if (w != last) {
            last = w;
            iWnd = -1;
            for (int i = 0; i < m_pView->GetNumSpecWnds(); ++i)
                if (m_pView->GetSpecWnd(i) == w)
                    iWnd = i;
        }
        const CStagePosn* p = doc ? doc->GetStagePosn(plane) : nullptr;
        const CSpecRgn* rgn = p && iWnd >= 0 && iWnd < p->GetNumSpecRgns() ? p->GetSpecRgn(iWnd) : nullptr;
        // An electron gun has no satellites; a region whose step is 0 (or no number) is skipped.
        if (sat && rgn) {
            RemoveSatellites(*sat, rgn->GetStep(), y, orig, n);
            bRemoved = true;
        }
        orig += n;
    });
    // A source without satellites leaves the curves, and the document, as they were.
    if (bRemoved)
        Applied(m_btnReset);
}

void CSatellite::OnReset()
{
    ResetClicked(m_btnReset);
}
