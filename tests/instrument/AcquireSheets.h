#pragma once
// Documents for the acquisition engine's tests and benchmark, built from
// stand-in acquisition sheets through the same builders the real sheets use.

#include "data/AcquireSheet.h"
#include "data/Experiment.h"
#include "data/InstrumentInfo.h"
#include "data/IonGun.h"
#include "data/Region.h"
#include "data/Source.h"
#include "data/StagePosn.h"
#include "data/VeltraneDoc.h"
#include "data/formats/RecordBuilder.h"
#include "instrument/Acquire.h"
#include "tests/common/SheetDoubles.h"

#include <memory>
#include <string>
#include <vector>

struct SFakeInstrument : IInstrumentInfo
{
    SFakeInstrument() { m_previous = SetInstrumentInfo(this); }
    ~SFakeInstrument() override { SetInstrumentInfo(m_previous); }
    double GetOffset() const override { return m_dOffset; }
    int GetAESMode() const override { return 0; }
    bool IsCMA() const override { return false; }
    bool HasMIED() const override { return m_bMIED; }
    double m_dOffset = 2.5;
    bool m_bMIED = true;
    IInstrumentInfo* m_previous = nullptr;
};

// --- stand-in sheets ----------------------------------------------------------

struct SFakeProfile : CAcquireProfile
{
    const std::vector<CLevelInfo>* GetLevelList(int method) const override { return &m_rows[method]; }
    std::vector<CLevelInfo> m_rows[nMethods];
};

struct SFakeGroup : CAcquireGroup
{
    const CAcquireProfile* GetProfile() const override { return &m_profile; }
    const std::vector<CRegion*>* GetRegions() const override { return &m_regions; }
    SFakeProfile m_profile;
    std::vector<CRegion*> m_regions;
};

struct SFakeXPSExp : CAcquireXPS_Exp
{
    int GetNumPosns() const override { return m_n; }
    int m_n = 1;
};
struct SFakeXPSStg : CAcquireXPS_Stg
{
    const CAcquireGroup* GetGroup(const std::string&) const override { return &m_group; }
    SFakeGroup m_group;
};
struct SFakeXPSImg : CAcquireXPS_Img
{
    double GetStep() const override { return 1.0; }
    double GetXStep() const override { return 1.0; }
    double GetYStep() const override { return 1.0; }
    int GetXSize() const override { return m_nx; }
    int GetYSize() const override { return m_ny; }
    int m_nx = 4, m_ny = 3;
};
using SFakeXPS = CXpsSheetDouble<SFakeXPSExp, SFakeXPSStg, SFakeXPSImg>;

struct SFakeAESScn : CAcquireAES_Scn
{
    int GetMoveType() const override { return m_iMove; }
    int GetSize() const override { return m_iSize; }
    int GetResol() const override { return 2; }
    int GetMag() const override { return 1000; }
    bool UseAreas() const override { return m_iMove == AreaScan; }
    bool UsePts() const override { return m_iMove == Point; }
    const std::vector<CScanPoint>& GetPointList() const override { return m_points; }
    const std::vector<CScanArea>& GetAreaList() const override { return m_areas; }
    int m_iMove = None;
    int m_iSize = 256;
    std::vector<CScanPoint> m_points;
    std::vector<CScanArea> m_areas;
};
using SFakeAES = CAesSheetDouble<SFakeAESScn>;

// A region as a page holds it (0 = no background).
inline std::unique_ptr<CRegion> MakeRegion(double start, int points, double step, int scans, int repeat = 1,
                                           double dwell = 10)
{
    auto r = std::make_unique<CRegion>();
    r->m_csName = "C";
    r->m_csRegion = "1s";
    r->m_dStart = start;
    r->m_dStep = step;
    r->m_dFinish = start + step * (points - 1);
    r->m_dPeak = start + 1;
    r->m_dDwell = dwell;
    r->m_dAnalyserEnergy = 20;
    r->m_csRetardRatio = "r4";
    r->m_nScans = scans;
    r->m_iRepeat = repeat;
    return r;
}

// Builds and saves the document of a sheet; positions numbered from first.
template <class Sheet>
std::string BuildDocument(CVeltraneDoc& doc, const Sheet& sheet, int nPosns, int first,
                          const std::string& path)
{
    doc.Initialize(CExperiment(&sheet));
    doc.Initialize(CSource(&sheet));
    doc.Initialize(CIonGun(&sheet));
    for (int i = 0; i < nPosns; ++i) {
        auto* posn = new CStagePosn(first + i);
        CRecordBuilder::Build(*posn, sheet);
        doc.SetStagePosn(i, posn);
    }
    doc.SetPathName(path);
    return CAcquire::WriteDocument(doc, path);
}
