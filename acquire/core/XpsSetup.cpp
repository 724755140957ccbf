#include "acquire/core/XpsSetup.h"

#include "acquire/core/RegionCheck.h"
#include "acquire/core/RegionList.h"
#include "acquire/core/SettingsFile.h"
#include "data/Experiment.h"
#include "data/Header.h"
#include "data/ImageRgn.h"
#include "data/IonGun.h"
#include "data/Region.h"
#include "data/Source.h"
#include "data/StagePosn.h"
#include "data/VeltraneDoc.h"
#include "data/formats/RecordBuilder.h"
#include "instrument/Config.h"
#include "platform/Archive.h"
#include "platform/AtomicFileWriter.h"
#include "platform/Strings.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdlib>
#include <cstring>

namespace {
constexpr double NotValid = CLevelInfo::NotValid;

bool IsSet(double v)
{
    return v < NotValid || v > NotValid;
}

std::string Str(unsigned id, const char* fallback)
{
    std::string s;
    return TryLoadString(id, s) ? s : std::string(fallback);
}

std::string WideName()
{
    return Str(1152, "Wide");
}

std::string DefaultName()
{
    return Str(1139, "Default");
}

} // namespace

const std::string EmptyText(1, char(255));

bool IsEmptyText(const std::string& s)
{
    return s == EmptyText;
}

// ---- Experiment ------------------------------------------------------------

CXpsExpModel::CXpsExpModel()
{
    Init(SXpsInstrument{});
}

void CXpsExpModel::Init(const SXpsInstrument& instr)
{
    static constexpr int table[6][6] = {
        {1, 1, 1, 1, 1, 1}, {1, 1, 1, 1, 1, 1}, {0, 0, 1, 0, 1, 0},
        {0, 0, 1, 0, 1, 0}, {0, 0, 1, 0, 1, 0}, {0, 1, 0, 0, 0, 0},
    };
    std::memcpy(m_bAllowedExpts, table, sizeof(table));
    for (auto& row : m_bAllowedExpts) {
        if (instr.stageType != 3)
            row[CAcquireXPS::Planar] = 0;
        if (!((instr.status & 0x8) && instr.stageType == 2))
            row[CAcquireXPS::Rotary] = 0;
    }
    static constexpr int defaults[6] = {CAcquireXPS::None,   CAcquireXPS::None,   CAcquireXPS::Normal,
                                        CAcquireXPS::Normal, CAcquireXPS::Normal, CAcquireXPS::Planar};
    std::memcpy(m_iMovements, defaults, sizeof(defaults));
    for (int& n : m_nPosns)
        n = 1;
}

int CXpsExpModel::GetNumPosns() const
{
    return m_iMovement >= 0 && m_iMovement < 6 ? m_nPosns[m_iMovement] : 1;
}

int CXpsExpModel::MaxPosns(int move, const SXpsInstrument& instr)
{
    switch (move) {
    case CAcquireXPS::Normal:
    case CAcquireXPS::Rotary:
        return std::max(1, instr.maxNormal);
    case CAcquireXPS::Linear:
        return std::max(1, instr.maxLinear);
    case CAcquireXPS::Memory:
        return std::max(1, instr.maxMemory);
    default:
        return 1;
    }
}

bool CXpsExpModel::IsAllowed(int exp, int move) const
{
    return exp >= 0 && exp < 6 && move >= 0 && move < 6 && m_bAllowedExpts[exp][move] != 0;
}

void CXpsExpModel::SetExperiment(int exp)
{
    if (exp == m_iExperiment || exp < 0 || exp >= 6)
        return;
    m_iExperiment = exp;
    m_iMovement = m_iMovements[exp];
    // A set-up saved on an instrument with another stage may remember a
    // movement this one cannot make; its button is greyed, and Start would
    // still have run it.
    if (!IsAllowed(exp, m_iMovement))
        for (int m = 0; m < 6; ++m)
            if (IsAllowed(exp, m)) {
                SetMovement(m);
                break;
            }
}

void CXpsExpModel::SetMovement(int move)
{
    if (move == m_iMovement || move < 0 || move >= 6)
        return;
    m_iMovement = move;
    if (m_iExperiment >= 0 && m_iExperiment < 6)
        m_iMovements[m_iExperiment] = move;
}

std::string CXpsExpModel::NextFileName(const std::string& name)
{
    return NextDataFileName(name);
}

void CXpsExpModel::Store(CArchive& ar) const
{
    ar << int32_t(m_iExperiment) << m_csFileName << m_csComment << int32_t(m_iMovement);
    ar << int32_t(6);
    for (int n : m_nPosns)
        ar << int32_t(n);
    ar << int32_t(6);
    for (int m : m_iMovements)
        ar << int32_t(m);
}

void CXpsExpModel::Load(CArchive& ar)
{
    int32_t exp = 0, move = 0;
    ar >> exp >> m_csFileName >> m_csComment >> move;
    m_iExperiment = exp;
    m_iMovement = move;
    for (int* values : {m_nPosns, m_iMovements}) {
        const int32_t n = ReadCount(ar, sizeof(int32_t));
        for (int32_t i = 0; i < n; ++i) {
            int32_t v = 0;
            ar >> v;
            if (i < 6)
                values[i] = v;
        }
    }
}

// ---- Source ----------------------------------------------------------------

CXpsSrcModel::CXpsSrcModel()
{
    m_dEnergy = CSource::m_MgKaEnergy;
    m_dCurrent = 10.0;
    m_dVoltage = 10.0;
}

bool CXpsSrcModel::TubeInRange() const
{
    return m_dVoltage >= MinVoltage && m_dVoltage <= MaxVoltage && m_dCurrent >= MinCurrent &&
           m_dCurrent <= MaxCurrent;
}

void CXpsSrcModel::FollowAnode()
{
    if (m_iType == 0)
        m_dEnergy = CSource::m_MgKaEnergy;
    else if (m_iType == 1)
        m_dEnergy = CSource::m_AlKaEnergy;
}

void CXpsSrcModel::Store(CArchive& ar) const
{
    ar << int32_t(m_bAuto) << int32_t(m_iType) << m_dVoltage << m_dEnergy << m_dCurrent;
}

void CXpsSrcModel::Load(CArchive& ar)
{
    int32_t automatic = 0, type = 0;
    ar >> automatic >> type >> m_dVoltage >> m_dEnergy >> m_dCurrent;
    m_bAuto = automatic;
    m_iType = type;
    FollowAnode();
}

// ---- Stage -----------------------------------------------------------------

CXpsStgModel::CXpsStgModel()
{
    m_Groups.push_back(std::make_unique<CStageGroup>(DefaultName()));
    const CGridRow empty{NotValid, NotValid, EmptyText, EmptyText};
    for (int m = 0; m < nMoveTypes; ++m) {
        if (m == CAcquireXPS::None)
            continue;
        if (m != CAcquireXPS::Planar)
            m_GridData[m].push_back(CGridRow{1, 1, DefaultName(), ""});
        m_GridData[m].push_back(empty);
    }
}

CXpsStgModel::~CXpsStgModel() = default;

const CAcquireGroup* CXpsStgModel::GetGroup(const std::string& name) const
{
    for (const auto& g : m_Groups)
        if (g->GetName() == name)
            return g.get();
    return nullptr;
}

CStageGroup* CXpsStgModel::FindGroup(const std::string& name)
{
    const int i = FindGroupIndex(name);
    return i < 0 ? nullptr : m_Groups[size_t(i)].get();
}

int CXpsStgModel::FindGroupIndex(const std::string& name) const
{
    for (size_t i = 0; i < m_Groups.size(); ++i)
        if (m_Groups[i]->GetName() == name)
            return int(i);
    return -1;
}

std::string CXpsStgModel::GroupNames() const
{
    std::string s;
    for (const auto& g : m_Groups)
        s += g->GetName() + "\n";
    return s;
}

bool CXpsStgModel::IsGroupUsed(const CAcquireGroup* group, int move) const
{
    if (move == CAcquireXPS::None)
        return true;
    if (move < 0 || move >= nMoveTypes)
        return false;
    const auto* g = static_cast<const CStageGroup*>(group);
    // A valid row whose group cell was emptied is measured with the Default group.
    const bool isDefault = g->GetName() == DefaultName();
    for (const auto& row : m_GridData[move])
        if (row.m_csGroup == g->GetName() ||
            (isDefault && IsEmptyText(row.m_csGroup) && IsSet(row.m_dFirst) && IsSet(row.m_dLast)))
            return true;
    return false;
}

int CXpsStgModel::GetStartPosn(int move) const
{
    if (move != CAcquireXPS::Normal && move != CAcquireXPS::Memory && move != CAcquireXPS::Rotary)
        return 0;
    double first = NotValid;
    for (const auto& row : m_GridData[move])
        if (IsSet(row.m_dFirst) && IsSet(row.m_dLast))
            first = std::min(first, row.m_dFirst);
    return first == NotValid ? 0 : int(std::clamp(first, -1e9, 1e9));
}

int CXpsStgModel::GetEndPosn(int move) const
{
    if (move != CAcquireXPS::Normal && move != CAcquireXPS::Memory && move != CAcquireXPS::Rotary)
        return 0;
    double last = -NotValid;
    for (const auto& row : m_GridData[move])
        if (IsSet(row.m_dFirst) && IsSet(row.m_dLast))
            last = std::max(last, row.m_dLast);
    return last == -NotValid ? 0 : int(std::clamp(last, -1e9, 1e9));
}

CStageGroup* CXpsStgModel::AddGroup(const std::string& name)
{
    m_Groups.push_back(std::make_unique<CStageGroup>(name));
    return m_Groups.back().get();
}

void CXpsStgModel::DeleteGroup(size_t k, const CRegion* wide)
{
    if (k == 0 || k >= m_Groups.size())
        return;
    const std::string name = m_Groups[k]->GetName();
    FreeRegions(*m_Groups[k]->GetRegions(), wide);
    m_Groups.erase(m_Groups.begin() + long(k));
    for (int m = 0; m < nMoveTypes; ++m) {
        auto& list = m_GridData[m];
        list.erase(
            std::remove_if(list.begin(), list.end(), [&](const CGridRow& r) { return r.m_csGroup == name; }),
            list.end());
        if (m != CAcquireXPS::None &&
            (list.empty() || IsSet(list.back().m_dFirst) || IsSet(list.back().m_dLast)))
            list.push_back(CGridRow{NotValid, NotValid, EmptyText, EmptyText});
        m_iSelectedRow[m] = std::min(m_iSelectedRow[m], std::max(1, int(list.size())));
    }
}

void CXpsStgModel::DeleteGroups(const CRegion* wide)
{
    for (auto& g : m_Groups)
        FreeRegions(*g->GetRegions(), wide);
    m_Groups.clear();
}

void CXpsStgModel::CommitEdit(int move, int col, const std::string& text)
{
    if (move <= CAcquireXPS::None || move >= nMoveTypes)
        return;
    auto& list = m_GridData[move];
    if (list.empty())
        list.push_back(CGridRow{NotValid, NotValid, EmptyText, EmptyText});
    int& s = m_iSelectedRow[move];
    s = std::clamp(s, 1, int(list.size()));
    CGridRow r = list[size_t(s - 1)];
    const bool blank = text.find_first_not_of(" \t") == std::string::npos;
    if (col == 0 || col == 1)
        (col == 0 ? r.m_dFirst : r.m_dLast) = blank ? NotValid : std::atof(text.c_str());
    else
        (col == 2 ? r.m_csGroup : r.m_csComment) = text.empty() ? EmptyText : text;
    const bool empty = !IsSet(r.m_dFirst) && !IsSet(r.m_dLast);
    if (!empty)
        list[size_t(s - 1)] = r;
    else if (s < int(list.size()))
        list.erase(list.begin() + (s - 1));
    else
        list[size_t(s - 1)] = r;
    s = std::min(s, int(list.size()));
    if (IsSet(list.back().m_dFirst) && IsSet(list.back().m_dLast))
        list.push_back(CGridRow{NotValid, NotValid, DefaultName(), ""});
}

bool CXpsStgModel::SelectRow(int move, int row)
{
    if (move <= CAcquireXPS::None || move >= nMoveTypes)
        return false;
    auto& list = m_GridData[move];
    const int n = int(list.size());
    if (row < 1 || row > n + 1)
        return false;
    if (row == m_iSelectedRow[move])
        return true;
    if (row == n + 1) {
        if (n == 0 || !(IsSet(list.back().m_dFirst) && IsSet(list.back().m_dLast)))
            return false;
        list.push_back(CGridRow{NotValid, NotValid, DefaultName(), ""});
    }
    m_iSelectedRow[move] = row;
    return true;
}

void CXpsStgModel::Check(int exp, int move, int numPosns) const
{
    if (move <= CAcquireXPS::None || move >= nMoveTypes || exp == CAcquireXPS::Image)
        return;
    const auto& list = m_GridData[move];
    size_t n = list.size();
    if (n > 0 && !IsSet(list.back().m_dFirst) && !IsSet(list.back().m_dLast))
        --n;
    const bool planar = move == CAcquireXPS::Planar;
    const double lo = planar ? 0 : 1, hi = planar ? 99 : numPosns;
    const std::vector<std::string> range{FormatG(lo), FormatG(hi)};
    bool anyValid = false;
    for (size_t i = n; i-- > 0;) {
        const CGridRow& row = list[i];
        if (!(row.m_dFirst >= lo && row.m_dFirst <= hi))
            ThrowAcq(planar ? 2138 : 2140, range);
        if (!(row.m_dLast >= lo && row.m_dLast <= hi))
            ThrowAcq(planar ? 2139 : 2141, range);
        if (!planar) {
            bool printable = IsEmptyText(row.m_csGroup);
            for (char c : row.m_csGroup)
                if (static_cast<unsigned char>(c) > ' ')
                    printable = true;
            if (!printable)
                ThrowAcq(2080);
        }
        anyValid = true;
    }
    if (!anyValid)
        ThrowAcq(2176);
    // A named group must still exist (an emptied group cell means Default).
    const bool widescan = exp == CAcquireXPS::Widescan && move != CAcquireXPS::Rotary;
    if (!planar && !widescan)
        for (size_t i = 0; i < n; ++i)
            if (!IsEmptyText(list[i].m_csGroup) && !GetGroup(list[i].m_csGroup))
                ThrowAcq(2178, {list[i].m_csGroup});
    if (move == CAcquireXPS::Normal || move == CAcquireXPS::Memory || move == CAcquireXPS::Rotary) {
        const int start = GetStartPosn(move), end = GetEndPosn(move);
        for (int p = start; p <= end; ++p) {
            bool covered = false;
            for (size_t i = 0; i < n && !covered; ++i)
                covered = p >= list[i].m_dFirst && p <= list[i].m_dLast;
            if (!covered)
                ThrowAcq(2177, {std::to_string(p)});
        }
    }
}

void CXpsStgModel::Store(CArchive& ar) const
{
    ar << GroupNames();
    ar << int32_t(nMoveTypes);
    for (const auto& list : m_GridData) {
        ar << int32_t(list.size());
        for (const auto& row : list)
            ar << row.m_dFirst << row.m_dLast << row.m_csGroup << row.m_csComment;
    }
    ar << int32_t(m_Groups.size());
    for (const auto& g : m_Groups)
        g->Store(ar);
}

void CXpsStgModel::Load(CArchive& ar, CRegion* wide)
{
    std::string names;
    int32_t lists = 0;
    ar >> names >> lists;
    for (auto& list : m_GridData) {
        const int32_t n = ReadCount(ar, 2 * sizeof(double) + 2);
        list.assign(size_t(n), CGridRow{});
        for (auto& row : list)
            ar >> row.m_dFirst >> row.m_dLast >> row.m_csGroup >> row.m_csComment;
    }
    // The page edits and shows a selected row of every movement's table but
    // None's: a table read without any gets the empty row a new one is typed into.
    for (int m = CAcquireXPS::Planar; m < nMoveTypes; ++m)
        if (m_GridData[m].empty())
            m_GridData[m].push_back(CGridRow{NotValid, NotValid, EmptyText, EmptyText});
    for (int& s : m_iSelectedRow)
        s = 1;
    m_iSelectedRow[CAcquireXPS::None] = 0;
    DeleteGroups(wide);
    const int32_t n = ReadCount(ar, 1 + 4 * sizeof(int32_t) + sizeof(int32_t));
    const std::string wideName = WideName();
    for (int32_t i = 0; i < n; ++i) {
        auto group = std::make_unique<CStageGroup>();
        m_Groups.push_back(std::move(group));
        CStageGroup& g = *m_Groups.back();
        g.Load(ar);
        for (CRegion*& r : g.m_Regions)
            if (r->GetName() == wideName && wide) {
                delete r;
                r = wide;
            }
    }
    if (m_Groups.empty())
        m_Groups.push_back(std::make_unique<CStageGroup>(DefaultName()));
}

// ---- Profiling -------------------------------------------------------------

void CXpsPrfModel::Init(const SXpsInstrument& instr)
{
    m_iGun = (instr.ascuGuns & 2) ? 1 : 0;
    m_bManual = (!instr.dauMIED && instr.ascuGuns == 0) ? 1 : 0;
}

void CXpsPrfModel::Store(CArchive& ar) const
{
    ar << int32_t(m_bFastScan) << int32_t(m_bManual) << int32_t(m_iDuty) << int32_t(m_iGun)
       << int32_t(m_iPreset);
}

void CXpsPrfModel::Load(CArchive& ar)
{
    int32_t v[5] = {};
    for (int32_t& x : v)
        ar >> x;
    m_bFastScan = v[0];
    m_bManual = v[1];
    m_iDuty = v[2];
    m_iGun = v[3];
    m_iPreset = v[4];
}

// ---- Regions ---------------------------------------------------------------

CXpsRgnModel::CXpsRgnModel(bool bindingUnit)
{
    auto* wide = new CRegion;
    wide->m_csName = WideName();
    wide->m_iRegion = -1;
    wide->m_dStep = 1.0;
    wide->m_dDwell = 100.0;
    wide->m_nScans = 1;
    wide->m_iRepeat = 1;
    wide->m_dAnalyserEnergy = 50.0;
    wide->m_csRetardRatio = "Low";
    if (bindingUnit) {
        const CSource source;
        wide->m_dStart = source.ConvertEnergy(1000.0, CSource::BE, CSource::KE);
        wide->m_dFinish = source.ConvertEnergy(0.0, CSource::BE, CSource::KE);
    } else {
        wide->m_dStart = 0.0;
        wide->m_dFinish = 1000.0;
    }
    wide->m_dPeak = (wide->m_dStart + wide->m_dFinish) / 2;
    wide->m_dBk1 = wide->m_dStart;
    wide->m_dBk2 = wide->m_dFinish;
    m_WidescanRegions.push_back(wide);
}

CXpsRgnModel::~CXpsRgnModel()
{
    ClearImageRegions();
    delete m_WidescanRegions.front();
}

void CXpsRgnModel::ClearImageRegions()
{
    FreeRegions(m_ImageRegions, GetWidescanRgn());
}

void CXpsRgnModel::Store(CArchive& ar) const
{
    ar << int32_t(m_iAnalyserMode) << int32_t(m_iNarrowscanMode) << int32_t(m_iWidescanMode);
    ar << int32_t(m_ImageRegions.size());
    for (const CRegion* r : m_ImageRegions)
        r->Write(ar);
    ar << int32_t(1);
    GetWidescanRgn()->Write(ar);
}

void CXpsRgnModel::Load(CArchive& ar)
{
    int32_t analyser = 0, narrow = 0, wide = 0;
    ar >> analyser >> narrow >> wide;
    m_iAnalyserMode = analyser;
    m_iNarrowscanMode = narrow;
    m_iWidescanMode = wide;
    ClearImageRegions();
    const int32_t n = ReadCount(ar, RegionRecordMin);
    for (int32_t i = 0; i < n; ++i) {
        auto r = std::make_unique<CRegion>();
        r->Read(ar);
        m_ImageRegions.push_back(r.release());
    }
    int32_t wides = 0;
    ar >> wides;
    if (wides != 1)
        throw CArchiveException(CArchiveException::badIndex);
    GetWidescanRgn()->Read(ar);
}

// ---- Imaging ---------------------------------------------------------------

CXpsImgModel::CXpsImgModel()
{
    for (int p = 16; p <= 1024; p *= 2) {
        m_caSizes.push_back(p);
        if (p < 1024)
            m_caSizes.push_back(p * 3 / 2);
    }
}

double CXpsImgModel::GetStep() const
{
    return m_iScan ? m_dStep : 1.0;
}

double CXpsImgModel::GetXStep() const
{
    return m_iScan ? m_dStep : (m_dX2 - m_dX1) / (Size() - 1);
}

double CXpsImgModel::GetYStep() const
{
    return m_iScan ? m_dStep : (m_dY2 - m_dY1) / (Size() - 1);
}

namespace {
int StepCount(double extent, double step)
{
    const double n = std::floor(extent / step) + 1;
    return n >= 1 && n < 1e6 ? int(n) : 1;
}
} // namespace

int CXpsImgModel::GetXSize() const
{
    return m_iScan ? StepCount(m_dX2 - m_dX1, m_dStep) : Size();
}

int CXpsImgModel::GetYSize() const
{
    if (m_iMode == 1)
        return 1;
    return m_iScan ? StepCount(m_dY2 - m_dY1, m_dStep) : Size();
}

void CXpsImgModel::Store(CArchive& ar) const
{
    ar << int32_t(m_iMode) << int32_t(m_iScan) << int32_t(m_iSize) << m_dStep;
}

void CXpsImgModel::Load(CArchive& ar)
{
    int32_t mode = 0, scan = 0, size = 0;
    ar >> mode >> scan >> size >> m_dStep;
    m_iMode = mode;
    m_iScan = scan;
    m_iSize = size;
}

// ---- The sheet -------------------------------------------------------------

CXpsSetup::CXpsSetup(const SXpsInstrument& instr, bool bindingUnit) : m_Instr(instr), m_Rgn(bindingUnit)
{
    m_Exp.Init(instr);
    m_Prf.Init(instr);
}

CXpsSetup::~CXpsSetup()
{
    m_Stg.DeleteGroups(m_Rgn.GetWidescanRgn());
}

int CXpsSetup::FastScanMode() const
{
    const int exp = GetExpType();
    if (exp == DepthProfile || exp == AngleResolved || exp == TotalReflection || GetMoveType() == Rotary)
        return m_Prf.m_bFastScan;
    return 0;
}

int CXpsSetup::ProfileIndex() const
{
    switch (GetExpType()) {
    case DepthProfile:
        return CAcquireProfile::DepthProfile;
    case AngleResolved:
        return CAcquireProfile::AngleResolved;
    case TotalReflection:
        return CAcquireProfile::TotalReflection;
    default:
        return GetMoveType() == Rotary ? CAcquireProfile::Rotary : -1;
    }
}

CStageGroup* CXpsSetup::CurGroup()
{
    auto& groups = m_Stg.GetGroups();
    if (m_iGroup < 0 || m_iGroup >= int(groups.size()))
        m_iGroup = 0;
    return groups[size_t(m_iGroup)].get();
}

void CXpsSetup::SetCurGroup(int i)
{
    if (i >= 0 && i < int(m_Stg.GetGroups().size()))
        m_iGroup = i;
}

std::vector<CRegion*>* CXpsSetup::CurRegions()
{
    if (GetExpType() == Widescan)
        return &m_Rgn.m_WidescanRegions;
    if (GetExpType() == Image)
        return &m_Rgn.m_ImageRegions;
    return CurGroup()->GetRegions();
}

void CXpsSetup::Check(bool xraysOn) const
{
    if (GetExpType() < 0 || GetExpType() > 5)
        ThrowAcq(2082);
    if (GetMoveType() < 0 || GetMoveType() > 5)
        ThrowAcq(2128);
    // The count the experiment page takes, which only that page checked: one
    // from a settings file let the stage rows run past the instrument's positions.
    if (GetMoveType() >= Normal) {
        const int most = CXpsExpModel::MaxPosns(GetMoveType(), m_Instr);
        if (m_Exp.GetNumPosns() < 1 || m_Exp.GetNumPosns() > most)
            ThrowAcq(61714, {"1", std::to_string(most)});
    }
    if (m_Src.m_iType != 2 && !xraysOn)
        ThrowAcq(2130);
    m_Stg.Check(GetExpType(), GetMoveType(), m_Exp.GetNumPosns());
    CheckProfiles();
    CheckRegions();
    if (GetExpType() == Image) {
        // A step of zero or less would make an endless raster, a negative
        // extent a negative one.
        if (m_Img.m_iScan && !(m_Img.m_dStep > 0))
            ThrowAcq(2179);
        if (m_Img.m_dX2 < m_Img.m_dX1 || (m_Img.m_iMode == 0 && m_Img.m_dY2 < m_Img.m_dY1))
            ThrowAcq(2180);
        // A small step over a wide area asked for an image of up to a
        // million points a side, which Start then tried to allocate. No
        // image larger than the largest offered size is taken.
        if (m_Img.m_iScan) {
            const auto count = [&](double extent) { return std::floor(extent / m_Img.m_dStep) + 1.0; };
            const double nx = count(m_Img.m_dX2 - m_Img.m_dX1);
            const double ny = m_Img.m_iMode == 1 ? 1.0 : count(m_Img.m_dY2 - m_Img.m_dY1);
            constexpr double kMaxPoints = 1024.0 * 1024.0;
            if (!(nx * ny <= kMaxPoints))
                ThrowAcq(2181, {FormatPrintf("%.0f", nx), FormatPrintf("%.0f", ny)});
        }
    }
}

void CXpsSetup::CheckProfiles() const
{
    const int m = ProfileIndex();
    if (m < 0)
        return;
    const double minTilt = m_Instr.minTilt, maxTilt = m_Instr.maxTilt;
    double lo = 0, hi = 0, slo = 0, shi = 0;
    switch (m) {
    case CAcquireProfile::DepthProfile:
        lo = 1, hi = 9999, slo = 0, shi = 3600;
        break;
    case CAcquireProfile::AngleResolved:
        lo = minTilt, hi = maxTilt, slo = 1, shi = maxTilt;
        break;
    case CAcquireProfile::TotalReflection:
        lo = minTilt, hi = maxTilt, slo = (m_Instr.status & 8) ? 0.01 : 1, shi = maxTilt;
        break;
    default:
        lo = 0, hi = 360, slo = 0.01, shi = 360;
        break;
    }
    for (const auto& g : m_Stg.GetGroups()) {
        if (!m_Stg.IsGroupUsed(g.get(), GetMoveType()))
            continue;
        const CLevelList& list = *g->GetProfile()->GetLevelList(m);
        if (list.size() <= 1)
            ThrowAcq(2132);
        for (size_t i = 0; i < list.size(); ++i) {
            const CLevelInfo& row = list[i];
            if (i + 1 == list.size() && row.IsEmpty())
                break;
            const std::string& name = g->GetName();
            if (!(row.m_dFrom >= lo && row.m_dFrom <= hi && row.m_dTo >= lo && row.m_dTo <= hi))
                ThrowAcq(2133, {name, FormatG(lo), FormatG(hi)});
            if (row.m_dTo < row.m_dFrom)
                ThrowAcq(2135, {name});
            if (!(row.m_dStep >= slo && row.m_dStep <= shi))
                ThrowAcq(2136, {name, FormatG(slo), FormatG(shi)});
            // At least two angles; to - from is compared in whole steps, so
            // that 0.7 to 1.7 by 1 is not short of its step by a rounding error.
            if (m != CAcquireProfile::DepthProfile && !(CLevelInfo::AngleCount(row.m_dFrom, row.m_dTo, row.m_dStep) >= 2))
                ThrowAcq(2137, {name});
        }
    }
}

void CXpsSetup::CheckRegions() const
{
    const bool peak = PeakMode();
    switch (GetExpType()) {
    case Widescan:
        CheckRegion(*m_Rgn.GetWidescanRgn(), peak, true);
        if (GetMoveType() != Rotary) {
            CheckRepeats(m_Rgn.m_WidescanRegions, 1);
            return;
        }
        // A rotary wide scan turns through the series of each position's group.
        for (const auto& g : m_Stg.GetGroups())
            if (m_Stg.IsGroupUsed(g.get(), GetMoveType()))
                CheckRepeats(m_Rgn.m_WidescanRegions, std::max(CRecordBuilder::XpsLevelCount(*this, g.get()), 1));
        return;
    case Image:
        if (m_Rgn.m_ImageRegions.empty())
            ThrowAcq(2142);
        for (const CRegion* r : m_Rgn.m_ImageRegions)
            CheckRegion(*r, peak, true);
        CheckRepeats(m_Rgn.m_ImageRegions, 1);
        return;
    default:
        // Each group's regions are measured at the levels of that group's profile.
        for (const auto& g : m_Stg.GetGroups()) {
            if (!m_Stg.IsGroupUsed(g.get(), GetMoveType()))
                continue;
            if (g->m_Regions.empty())
                ThrowAcq(2143);
            for (const CRegion* r : g->m_Regions)
                CheckRegion(*r, peak, true);
            CheckRepeats(g->m_Regions, std::max(CRecordBuilder::XpsLevelCount(*this, g.get()), 1));
        }
    }
}

void CXpsSetup::Store(CArchive& ar) const
{
    m_Exp.Store(ar);
    m_Src.Store(ar);
    m_Stg.Store(ar);
    m_Prf.Store(ar);
    m_Rgn.Store(ar);
    m_Img.Store(ar);
}

void CXpsSetup::Load(CArchive& ar)
{
    m_Exp.Load(ar);
    m_Src.Load(ar);
    m_Stg.Load(ar, m_Rgn.GetWidescanRgn());
    m_Prf.Load(ar);
    m_Rgn.Load(ar);
    m_Img.Load(ar);
    m_iGroup = 0;
}

namespace XpsSettingsFile {
void Store(const CXpsSetup& setup, CArchive& ar)
{
    SettingsFile::StoreHeader(ar, CHeader::XPSSetupFile);
    setup.Store(ar);
}

void Write(const CXpsSetup& setup, const std::string& path)
{
    CAtomicFileWriter writer(path);
    {
        CArchive ar(&writer.File(), CArchive::store);
        Store(setup, ar);
        ar.Close();
    }
    writer.Commit();
}

namespace {
// Values a page would index with or that select a mode: out of range means a
// file that cannot be used as it stands.
bool InRange(const CXpsSetup& s)
{
    auto in = [](int v, int lo, int hi) { return v >= lo && v <= hi; };
    return in(s.m_Src.m_iType, 0, 2) && in(s.m_Prf.m_iDuty, 0, 9) && in(s.m_Prf.m_iPreset, 0, 7) &&
           in(s.m_Prf.m_iGun, 0, 1) && in(s.m_Img.m_iSize, 0, int(s.m_Img.m_caSizes.size()) - 1) &&
           in(s.m_Img.m_iMode, 0, 1) && in(s.m_Img.m_iScan, 0, 1) && in(s.m_Rgn.m_iAnalyserMode, 0, 1) &&
           in(s.m_Rgn.m_iNarrowscanMode, 0, 1) && in(s.m_Rgn.m_iWidescanMode, 0, 1) &&
           !s.m_Stg.GetGroups().empty();
}
} // namespace

Kind Read(CFile& file, const std::string& shown, CXpsSetup& into, CAcqError& error)
{
    const auto title = [&shown] { return SettingsFile::TitleOf(shown); };
    try {
        // A file of the older program holds no XPS set-up: it says so, as the
        // AES sheet says such a file has no Auger data.
        const Kind kind = SettingsFile::CheckHeader(file, shown, CHeader::XPSSetupFile, 2160, 2161, error);
        if (kind != Kind::Settings)
            return kind;
        CArchive ar(&file, CArchive::load);
        into.Load(ar);
        const int exp = into.GetExpType(), move = into.GetMoveType();
        if (exp < 0 || exp > 5 || move < 0 || move > 5 || !into.m_Exp.IsAllowed(exp, move)) {
            error = CAcqError{2129, {title()}};
            return Kind::Refused;
        }
        if (!InRange(into)) {
            error = CAcqError{2068, {title()}};
            return Kind::Refused;
        }
        return Kind::Settings;
    } catch (const CArchiveException& e) {
        error = e.m_cause == CArchiveException::endOfFile ? CAcqError{2065, {title()}}
                                                          : CAcqError{2068, {title()}};
    } catch (const CFileException&) {
        error = CAcqError{2065, {title()}};
    }
    return Kind::Refused;
}
} // namespace XpsSettingsFile

void BuildXpsDocument(CVeltraneDoc& doc, const CXpsSetup& setup)
{
    CHeader header(&setup);
    doc.Initialize(header);
    doc.Initialize(CExperiment(&setup));
    doc.Initialize(CSource(&setup));
    doc.Initialize(CIonGun(&setup));
    const int start = setup.m_Stg.GetStartPosn(setup.GetMoveType());
    const int end = std::max(start, setup.m_Stg.GetEndPosn(setup.GetMoveType()));
    for (int i = start; i <= end; ++i) {
        auto posn = std::make_unique<CStagePosn>(i);
        CRecordBuilder::Build(*posn, setup);
        doc.SetStagePosn(i - start, posn.release());
    }
}

CAcqError LoadXpsFromDocument(const CVeltraneDoc& doc, const std::string& title, CXpsSetup& into)
{
    const CExperiment& e = *doc.GetExperiment();
    int exp = -1;
    switch (e.GetExpType()) {
    case CExperiment::Widescan:
        exp = CAcquireXPS::Widescan;
        break;
    case CExperiment::Narrowscan:
        exp = CAcquireXPS::Narrowscan;
        break;
    case CExperiment::Profile:
    case CExperiment::FastProfile:
        exp = e.GetProfileType() == CExperiment::DepthProfile      ? CAcquireXPS::DepthProfile
              : e.GetProfileType() == CExperiment::AngleResolved   ? CAcquireXPS::AngleResolved
              : e.GetProfileType() == CExperiment::TotalReflection ? CAcquireXPS::TotalReflection
                                                                   : -1;
        break;
    case CExperiment::Image:
        exp = CAcquireXPS::Image;
        break;
    default:
        break;
    }
    const int move = e.GetMoveType();
    // Codes of another kind of document, or a movement out of range, are
    // refused like a movement this instrument cannot make.
    if (exp < 0 || !into.m_Exp.IsAllowed(exp, move))
        return CAcqError{2129, {title}};

    CXpsExpModel& x = into.m_Exp;
    x.m_iExperiment = exp;
    x.m_iMovement = move;
    x.m_iMovements[exp] = move;
    x.m_csComment = e.GetComment();
    x.m_nPosns[move] = std::clamp(doc.GetNumStagePosns(), 1, CXpsExpModel::MaxPosns(move, into.m_Instr));

    // Source: the document marks the anode with its source type.
    const CSource& src = *doc.GetSource();
    into.m_Src.m_bAuto = e.GetAutoFlag();
    into.m_Src.m_iType = src.GetSourceType() == CSource::MgKa   ? 0
                         : src.GetSourceType() == CSource::AlKa ? 1
                                                                : 2;
    into.m_Src.m_dVoltage = src.GetVoltage();
    into.m_Src.m_dEnergy = src.GetEnergy();
    into.m_Src.m_dCurrent = src.GetCurrent();
    into.m_Src.FollowAnode();

    // Profiling.
    CXpsPrfModel& p = into.m_Prf;
    p.m_bFastScan = e.GetScanType() == CExperiment::Fast ? 1 : 0;
    p.m_bManual = e.GetManualEtchFlag() ? 1 : 0;
    const CIonGun& gun = *doc.GetIonGun();
    if (gun.GetType() == CIonGun::HSIG) {
        p.m_iGun = 1;
        p.m_iPreset = std::clamp(gun.GetPreset(), 0, 7);
        p.m_iDuty = std::clamp(gun.GetDutyCycle() - 1, 0, 9);
    } else if (gun.GetType() == CIonGun::MIED_ASCU || gun.GetType() == CIonGun::MIED_DAU) {
        p.m_iGun = 0;
    }

    // Regions page modes and, for an image, its regions; a background the
    // document marks with +infinity is "none" (0) on the pages.
    auto pageRegion = [](const CRegion& r) { return PageRegion(r).release(); };
    CXpsRgnModel& rgn = into.m_Rgn;
    const CStagePosn* first = doc.GetStagePosn(0);
    if (first) {
        if (exp == CAcquireXPS::Image) {
            rgn.ClearImageRegions();
            for (int i = 0; i < first->GetNumImageRgns(); ++i)
                rgn.m_ImageRegions.push_back(pageRegion(*first->GetImageRgn(i)));
        } else {
            rgn.m_iAnalyserMode = first->GetAnalyserMode() == CStagePosn::CAE ? 0 : 1;
            if (exp == CAcquireXPS::Widescan)
                rgn.m_iWidescanMode = first->GetScanMode() == CStagePosn::Average ? 0 : 1;
            else
                rgn.m_iNarrowscanMode = first->GetScanMode() == CStagePosn::Across ? 0 : 1;
        }
    }

    // Stage rows and groups: consecutive positions of one group and comment
    // share a row. Without movement there are no rows, but the regions and
    // levels still come into the groups. A planar row is a point the stage
    // went to and a linear row the line it ran along: they come from the
    // position's coordinates, not from its number.
    CXpsStgModel& stg = into.m_Stg;
    if (move != CAcquireXPS::None && exp != CAcquireXPS::Image) {
        auto& list = stg.m_GridData[move];
        list.clear();
        stg.m_iSelectedRow[move] = 1;
        for (const auto& posn : doc.GetStagePosns()) {
            if (!posn)
                continue;
            if (move == CAcquireXPS::Planar && posn->GetPosnMode() == CStagePosn::PointList) {
                for (int k = 0; k < posn->GetNumPoints(-1); ++k)
                    list.push_back({posn->GetCoord(0, k), posn->GetCoord(1, k), *posn->GetGroupName(),
                                    *posn->GetComment()});
                continue;
            }
            if (move == CAcquireXPS::Linear && posn->GetPosnMode() == CStagePosn::Linear1D) {
                const CStagePosn::SStoredFields f = posn->GetStoredFields();
                list.push_back({f.X0, f.X1, *posn->GetGroupName(), *posn->GetComment()});
                continue;
            }
            const double n = posn->GetPosnNum();
            if (move != CAcquireXPS::Planar && !list.empty() && list.back().m_dLast + 1 == n &&
                list.back().m_csGroup == *posn->GetGroupName() &&
                list.back().m_csComment == *posn->GetComment())
                list.back().m_dLast = n;
            else
                list.push_back({n, n, *posn->GetGroupName(), *posn->GetComment()});
        }
        // The count of positions must take in every row, or the set-up that
        // ran (positions 3 to 9, say) is refused at Start.
        if (move != CAcquireXPS::Planar) {
            double highest = 0;
            for (const auto& row : list)
                highest = std::max({highest, row.m_dFirst, row.m_dLast});
            const int most = CXpsExpModel::MaxPosns(move, into.m_Instr);
            if (highest > x.m_nPosns[move])
                x.m_nPosns[move] = highest >= most ? most : int(highest);
        }
        list.push_back({CLevelInfo::NotValid, CLevelInfo::NotValid, EmptyText, EmptyText});
    }
    if (exp != CAcquireXPS::Image) {
        stg.DeleteGroups(rgn.GetWidescanRgn());
        const std::string wideName = WideName();
        const int method = into.ProfileIndex();
        for (const auto& posn : doc.GetStagePosns()) {
            if (!posn || stg.FindGroup(*posn->GetGroupName()))
                continue;
            CStageGroup* g = stg.AddGroup(*posn->GetGroupName());
            if (method >= 0)
                g->GetProfile()->Load(posn.get(), method);
            for (int i = 0; i < posn->GetNumRgns(); ++i) {
                const CRegion* r = posn->GetRegion(i);
                if (r->GetName() == wideName) {
                    CRegion* wide = rgn.GetWidescanRgn();
                    std::unique_ptr<CRegion> values(pageRegion(*r));
                    *wide = *values;
                    g->m_Regions.push_back(wide);
                } else {
                    g->m_Regions.push_back(pageRegion(*r));
                }
            }
        }
        auto& groups = stg.GetGroups();
        const int def = stg.FindGroupIndex(DefaultName());
        if (def > 0) {
            auto head = std::move(groups[size_t(def)]);
            groups.erase(groups.begin() + def);
            groups.insert(groups.begin(), std::move(head));
        } else if (def < 0) {
            groups.insert(groups.begin(), std::make_unique<CStageGroup>(DefaultName()));
        }
    }

    // Imaging: the mode from the first image region; a size of the list, else the step.
    if (exp == CAcquireXPS::Image && first && first->GetNumImageRgns() > 0) {
        const CImageRgn* image = first->GetImageRgn(0);
        CXpsImgModel& img = into.m_Img;
        img.m_iMode = image->IsLinescan() ? 1 : 0;
        const auto it = std::find(img.m_caSizes.begin(), img.m_caSizes.end(), image->GetNumPoints_x());
        if (it != img.m_caSizes.end()) {
            img.m_iScan = 0;
            img.m_iSize = int(it - img.m_caSizes.begin());
        } else {
            img.m_iScan = 1;
            img.m_dStep = e.GetStep();
        }
    }
    into.m_iGroup = 0;
    return CAcqError{};
}
