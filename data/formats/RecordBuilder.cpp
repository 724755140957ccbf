#include "data/formats/RecordBuilder.h"

#include "data/Experiment.h"
#include "data/Header.h"
#include "data/IonGun.h"
#include "data/Source.h"
#include "data/SpecRgn.h"
#include "data/StagePosn.h"
#include "data/Trace.h"
#include "data/Utility.h"
#include "data/VeltraneDoc.h"
#include "data/formats/ImportErrors.h"
#include "data/formats/PkLib.h"

#include <cmath>
#include <cstring>
#include <ctime>

namespace {

// The instant as the local date and time it was, as an OLE date.
COleDateTime LocalOleTime(int64_t seconds)
{
    COleDateTime t;
    if (seconds < 0) {
        t.m_status = COleDateTime::invalid;
        return t;
    }
    const std::time_t tt = static_cast<std::time_t>(seconds);
    std::tm local{};
    if (!localtime_r(&tt, &local)) {
        t.m_status = COleDateTime::invalid;
        return t;
    }
    // The local fields, counted as if they were UTC, give the local wall time.
    return COleDateTime::FromUnixTime(static_cast<double>(timegm(&local)));
}

} // namespace

void CRecordBuilder::Assign(CHeader& header, const CNorvale& model)
{
    const CNorvale::FileHeader* h = model.GetFileHeader();
    std::memset(header.m_ProgName, 0, sizeof header.m_ProgName);
    const std::string name = FieldText(h->szProgName);
    std::memcpy(header.m_ProgName, name.data(), std::min(name.size(), sizeof header.m_ProgName));
    header.m_iFileType = CHeader::DataFile;
    header.m_iProgVersion = h->wVersion;
    header.m_iFileVersion = h->wVersion;
}

void CRecordBuilder::Assign(CExperiment& e, const CNorvale& model)
{
    const CNorvale::Spectrum* s = model.GetSpectrum(0);
    if (!s)
        return;
    e.m_csOperator = FieldText(s->szOperator);
    e.m_csComment = FieldText(s->szComment);
    if (s->m_wallTime && *s->m_wallTime >= 0)
        e.m_cTime = COleDateTime::FromUnixTime(static_cast<double>(*s->m_wallTime));
    else
        e.m_cTime = LocalOleTime(s->m_wallTime ? -1 : s->lTime);
    if (s->m_bNoTimeOfDay && e.m_cTime.m_status == COleDateTime::valid) {
        // The date alone: an invalid time that keeps its day (see CVamas).
        e.m_cTime.m_dt = std::floor(e.m_cTime.m_dt);
        e.m_cTime.m_status = COleDateTime::invalid;
    }
    e.m_DataType = CExperiment::SpectralData;
    e.m_Technique = s->m_bAuger ? CExperiment::AES : CExperiment::XPS;
    switch (s->iDataType & 0xFF) {
    case 1:
        e.m_ExpType = CExperiment::Widescan;
        e.m_ProfileType = CExperiment::NoProfile;
        break;
    case 4:
        e.m_ExpType = CExperiment::Profile;
        e.m_ProfileType = CExperiment::DepthProfile;
        break;
    case 8:
        e.m_ExpType = CExperiment::Profile;
        e.m_ProfileType = CExperiment::AngleResolved;
        break;
    default:
        // A multi-level series (16) has no experiment type of its own; its
        // levels are shown as the curves of a narrow scan.
        e.m_ExpType = CExperiment::Narrowscan;
        e.m_ProfileType = CExperiment::NoProfile;
        break;
    }
    e.m_MoveType = CExperiment::None;
    if (s->iDataType & 0x100) {
        switch (s->iPosMode) {
        case 0:
            e.m_MoveType = CExperiment::Normal;
            break;
        case 1:
            e.m_MoveType = CExperiment::Linear;
            break;
        case 2:
            e.m_MoveType = CExperiment::Memory;
            break;
        default:
            break; // no movement the document knows: none
        }
    }
    e.m_dOffset = s->lOffset / 1000.0;
    e.m_nStagePosns = s->nPos;
    e.m_ScanType = CExperiment::Full;
    e.m_bAutoOff = s->bXraysAutoOff;
    e.m_bRotate = 0;
    e.m_bManualEtch = 0;
    // Bit 0 is the differential detection the VAMAS export names "AES diff".
    e.m_iDetector = s->m_bAugerDiff ? 1 : 0;
}

void CRecordBuilder::Assign(CSource& source, const CNorvale& model)
{
    const CNorvale::Spectrum* s = model.GetSpectrum(0);
    if (!s)
        return;
    source.m_dVolts = s->Source.lVolts;
    source.m_dCurrent = s->Source.lCurrent / 1000000.0;
    source.m_dEnergy = s->Source.lSource / 1000.0;
    if (s->m_bAuger)
        source.m_SourceType = CSource::ElectronGun;
    else if (s->Source.iType == 1)
        source.m_SourceType = CSource::MgKa;
    else if (s->Source.iType == 2)
        source.m_SourceType = CSource::AlKa;
    else
        source.m_SourceType = CSource::Unknown;
}

void CRecordBuilder::Assign(CIonGun& gun, const CNorvale& model)
{
    const CNorvale::Spectrum* s = model.GetSpectrum(0);
    if (!s)
        return;
    gun.m_Type = s->EtchPrms[0];
    if (gun.m_Type == CIonGun::HSIG) {
        gun.m_iPreset = s->EtchPrms[1];
        gun.m_iDutyCycle = s->EtchPrms[2];
    } else {
        gun.m_iPreset = 0;
        gun.m_iDutyCycle = 1;
    }
}

void CRecordBuilder::Assign(CStagePosn& posn, const CNorvale::Spectrum& s, const CPkLib* pkLib)
{
    posn.m_iPosn = s.iPosn;
    if (!s.m_csGroup.empty())
        posn.m_csGroup = s.m_csGroup;
    if (!s.m_csPosnComment.empty())
        posn.m_csComment = s.m_csPosnComment;
    posn.m_ScanMode = s.iMode;
    const std::string mode = FieldText(s.szMode);
    const bool vamas = s.m_pVamas != nullptr;
    if (mode == "CAE" || (vamas && mode == "FAT"))
        posn.m_AnalyserMode = CStagePosn::CAE;
    else if (mode == "CRR" || (vamas && mode == "FRR"))
        posn.m_AnalyserMode = CStagePosn::CRR;
    else
        ReportImportError(IDS_ERR_ILLEGAL_PARAMS, s.m_csFilename);

    posn.m_caSpecRgns.clear();
    for (int r = 0; r < static_cast<int>(s.m_pRgns.size()); ++r) {
        auto rgn = std::make_unique<CSpecRgn>();
        Assign(*rgn, s, r, pkLib);
        posn.m_caSpecRgns.push_back(std::move(rgn));
    }
    posn.m_caLevels.assign(s.m_pLevels.size(), CLevel());
    for (size_t l = 0; l < s.m_pLevels.size(); ++l)
        Assign(posn.m_caLevels[l], s.m_pLevels[l]);
}

void CRecordBuilder::Assign(CSpecRgn& rgn, const CNorvale::Spectrum& s, int region, const CPkLib* pkLib)
{
    const CNorvale::SpecRgn& r = s.m_pRgns[static_cast<size_t>(region)];
    rgn.m_csName = FieldText(r.szElement);
    rgn.m_csRegion = FieldText(r.szRegion);
    rgn.m_dOffset = r.lOffset / 1000.0;
    if (std::isnan(r.dStart)) {
        rgn.m_dStart = r.RetardVoltsToKE(r.lStart_RV) - rgn.m_dOffset;
        const int64_t last =
            static_cast<int64_t>(r.lStart_RV) + static_cast<int64_t>(r.nPts - 1) * r.lStep_RV;
        rgn.m_dFinish = r.RetardVoltsToKE(static_cast<long>(last)) - rgn.m_dOffset;
        rgn.m_dStep = r.lStep_RV / 1000.0;
    } else {
        // The file's own energies, unrounded: a millivolt step would drift
        // along a long region.
        rgn.m_dStart = r.dStart;
        rgn.m_dStep = r.dStep;
        rgn.m_dFinish = r.dStart + (r.nPts - 1) * r.dStep;
    }
    rgn.m_dPeak = (rgn.m_dStart + rgn.m_dFinish) / 2.0;
    rgn.m_dBk1 = CUtility::Infinity;
    rgn.m_dBk2 = CUtility::Infinity;
    rgn.m_dDwell = std::isnan(r.dDwell) ? r.iDwell : r.dDwell;
    rgn.m_dAnalyserEnergy = std::isnan(r.dPass) ? r.lPass_V : r.dPass;
    rgn.m_nScans = r.nScans;
    rgn.m_iRepeat = 1;
    rgn.m_nx = r.nPts;
    rgn.m_ny = 1;
    rgn.m_nz = 1;
    if (pkLib) {
        if (const CPkLibElement* element = pkLib->GetElement(rgn.m_csName))
            rgn.m_iRegion = element->GetPeakIndex(rgn.m_csRegion);
    }
    rgn.m_caTraces.clear();
    for (int l = 0; l < r.nLevels; ++l) {
        auto trace = std::make_unique<CTrace>();
        if (const double* data = s.GetRgnData(region, l); data && r.nPts > 0)
            trace->CopyData(data, r.nPts);
        rgn.m_caTraces.push_back(std::move(trace));
    }
}

void CRecordBuilder::Assign(CLevel& level, const CNorvale::SpecLevel& specLevel)
{
    level.SetValue(std::isnan(specLevel.dTime) ? static_cast<double>(specLevel.fTime) : specLevel.dTime);
}

void CRecordBuilder::Convert(CVeltraneDoc& doc, const CNorvale& model, const CPkLib* pkLib)
{
    CHeader header;
    Assign(header, model);
    CExperiment experiment;
    Assign(experiment, model);
    CSource source;
    Assign(source, model);
    CIonGun gun;
    Assign(gun, model);
    doc.Initialize(header);
    doc.Initialize(experiment);
    doc.Initialize(source);
    doc.Initialize(gun);
    for (int i = 0; const CNorvale::Spectrum* s = model.GetSpectrum(i); ++i) {
        auto posn = std::make_unique<CStagePosn>();
        CStagePosn* p = posn.get();
        doc.SetStagePosn(i, posn.release());
        Assign(*p, *s, pkLib);
    }
}
