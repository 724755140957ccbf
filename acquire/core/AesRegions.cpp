#include "acquire/core/AesRegions.h"

#include "data/Region.h"

CAesRgnModel::CAesRgnModel(bool cma)
{
    auto* wide = new CRegion;
    wide->m_csName = "Wide";
    wide->m_iRegion = -1;
    wide->m_dStart = 0.0;
    wide->m_dFinish = 1000.0;
    wide->m_dPeak = 500.0;
    wide->m_dBk1 = 0.0;
    wide->m_dBk2 = 1000.0;
    wide->m_dStep = 1.0;
    wide->m_dDwell = 100.0;
    wide->m_nScans = 1;
    wide->m_iRepeat = 1;
    wide->m_dAnalyserEnergy = 50.0;
    wide->m_csRetardRatio = cma ? "High" : "Low";
    m_WidescanRegions.push_back(wide);
}

CAesRgnModel::~CAesRgnModel()
{
    const CRegion* wide = GetWidescanRgn();
    for (auto* list : {&m_NarrowscanRegions, &m_ImageRegions})
        for (CRegion* r : *list)
            if (r != wide)
                delete r;
    delete wide;
}

void CAesRgnModel::OnExpTypeChange(int) {}
void CAesRgnModel::ErrorCheck(int) const {}
void CAesRgnModel::Store(CArchive&) const {}
void CAesRgnModel::Load(CArchive&) {}
void CAesRgnModel::LoadFromDocument(const CVeltraneDoc&, int) {}
