#include "app/SummaryView.h"
#include "app/Veltrane.h"

#include "data/VeltraneDoc.h"
#include "framework/ui/Resources.h"
#include "platform/Strings.h"
#include "res/resource.h"

#include <QListWidget>
#include <QVBoxLayout>
#include <map>

namespace {

std::map<unsigned, ToolCreator>& Tools()
{
    static std::map<unsigned, ToolCreator> tools;
    return tools;
}

constexpr unsigned kProcessIds[] = {
    ID_PROCESS_SMOOTH,         ID_PROCESS_DIFFERENTIATE,     ID_PROCESS_INTEGRATE,
    ID_PROCESS_SATELLITE,      ID_PROCESS_SPIKEREMOVAL,      ID_PROCESS_BACKGROUNDSUBTRACTION,
    ID_PROCESS_CHARGECORRN,    ID_PROCESS_CHEMICALPROFILING, ID_PROCESS_PELOMARTING,
    ID_PROCESS_QUANTIFICATION,
};

} // namespace

void RegisterProcessTool(unsigned id, ToolCreator creator)
{
    Tools()[id] = std::move(creator);
}

bool HasProcessTool(unsigned id)
{
    return Tools().count(id) != 0;
}

void RunProcessTool(unsigned id, CVeltraneView* view)
{
    // Data being acquired are not processed until the run has ended.
    if (CVeltrane::IsAcquiring(view->GetDocument()))
        return;
    auto it = Tools().find(id);
    if (it != Tools().end())
        it->second(view);
}

CSummaryView::CSummaryView(bool bProcessCommands) : m_pList(new QListWidget(this))
{
    m_pList->setObjectName(QStringLiteral("SummaryList"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_pList);
    if (!bProcessCommands)
        return;
    for (unsigned id : kProcessIds) {
        OnCommand(id, [this, id] { RunProcessTool(id, this); });
        OnUpdateCommand(id, [this, id](CCmdUI* ui) {
            // Curve fitting is never offered from a spectrum view.
            ui->Enable(id != ID_PROCESS_PELOMARTING && HasProcessTool(id) && SToolInstances::NoToolOpen() &&
                       !CVeltrane::IsAcquiring(GetDocument()));
        });
    }
}

void CSummaryView::OnInitialUpdate()
{
    Fill();
}

void CSummaryView::OnUpdate(IDocView* pSender, intptr_t lHint, void* pHint)
{
    // An update without hint, sender or object lays the view out anew.
    if (lHint == 0 && !pSender && !pHint)
        Fill();
}

void CSummaryView::Fill()
{
    m_pList->clear();
    CVeltraneDoc* doc = GetDocument();
    if (!doc)
        return;
    for (int p = 0; p < doc->GetNumStagePosns(); ++p) {
        const CStagePosn* posn = doc->GetStagePosn(p);
        if (!posn)
            continue;
        m_pList->addItem(QStringLiteral("Position %1: %2 region(s), %3 level(s)")
                             .arg(p + 1)
                             .arg(posn->GetNumRgns())
                             .arg(posn->GetNumTraces()));
        for (int r = 0; r < posn->GetNumRgns(); ++r) {
            const CRegion* rgn = posn->GetRegion(r);
            if (!rgn)
                continue;
            m_pList->addItem(QStringLiteral("    %1 %2: %3 point(s)")
                                 .arg(ToQString(rgn->GetName()), ToQString(rgn->GetRegion()))
                                 .arg(rgn->GetNumPoints()));
        }
    }
}
