#include "acquire/core/AesSetup.h"

#include "acquire/core/AcquireGroup.h"
#include "acquire/core/RegionCheck.h"
#include "data/Experiment.h"
#include "data/Header.h"
#include "data/IonGun.h"
#include "data/Source.h"
#include "data/Region.h"
#include "data/StagePosn.h"
#include "data/VeltraneDoc.h"
#include "data/formats/RecordBuilder.h"
#include "platform/Archive.h"
#include "platform/AtomicFileWriter.h"
#include "platform/File.h"

#include <algorithm>
#include <cmath>
#include <memory>

namespace {
std::string Trimmed(const std::string& s)
{
    const auto first = s.find_first_not_of(" \t\r\n");
    if (first == std::string::npos)
        return std::string();
    return s.substr(first, s.find_last_not_of(" \t\r\n") - first + 1);
}
} // namespace

// ---- Experiment -------------------------------------------------------------

int CAesExpModel::ExpTypeOfCode(int code)
{
    switch (code) {
    case CExperiment::Widescan:
        return CAcquireAES::Widescan;
    case CExperiment::Narrowscan:
        return CAcquireAES::Narrowscan;
    case CExperiment::Profile:
        return CAcquireAES::Profile;
    case CExperiment::FastProfile:
        return CAcquireAES::FastProfile;
    case CExperiment::Image:
        return CAcquireAES::AugerImage;
    case CExperiment::SEImage:
        return CAcquireAES::SEImage;
    default:
        return -1;
    }
}

void CAesExpModel::OnAcqEnd()
{
    // A name without a number stays as typed, blanks included.
    const std::string next = NextDataFileName(m_csFileName);
    if (next != Trimmed(m_csFileName))
        m_csFileName = next;
}

void CAesExpModel::ErrorCheck() const
{
    if (m_iExperiment < CAcquireAES::Widescan || m_iExperiment > CAcquireAES::SEImage)
        ThrowAcq(2082);
}

void CAesExpModel::Store(CArchive& ar) const
{
    ar << int32_t(m_iExperiment) << m_csFileName << m_csComment;
}

void CAesExpModel::Load(CArchive& ar)
{
    int32_t exp = 0;
    std::string name, comment;
    ar >> exp >> name >> comment;
    m_iExperiment = exp;
    m_csFileName = std::move(name);
    m_csComment = std::move(comment);
}

void CAesExpModel::LoadFromExperiment(const CExperiment& e)
{
    const int exp = ExpTypeOfCode(e.GetExpType());
    if (exp < 0)
        ThrowAcq(2082);
    m_csComment = e.GetComment();
    m_iExperiment = exp;
}

// ---- Profiling --------------------------------------------------------------

void CAesPrfModel::OnReset()
{
    m_Levels = {{1, 5, 2}, {6, 10, 3}, {11, 15, 4}, {16, 20, 5}, {21, 25, 6}, {}};
    m_iSelRow = 1;
}

void CAesPrfModel::OnClear()
{
    m_Levels = {CLevelInfo()};
    m_iSelRow = 1;
}

CAesPrfModel::Totals CAesPrfModel::GetTotals() const
{
    Totals t;
    double time = 0; // the whole part of each row's time, added up
    for (const CLevelInfo& r : m_Levels) {
        if (!r.IsValid())
            continue;
        time += std::trunc((r.m_dTo - r.m_dFrom + 1) * r.m_dStep);
        t.levels = LevelTable::Whole<int>(r.m_dTo);
    }
    t.time = LevelTable::Whole<long long>(time);
    return t;
}

void CAesPrfModel::ErrorCheck(int expType) const
{
    if (!IsProfile(expType))
        return;
    if (std::none_of(m_Levels.begin(), m_Levels.end(), [](const CLevelInfo& r) { return r.IsValid(); }))
        ThrowAcq(2104);
    for (const CLevelInfo& r : m_Levels)
        if (r.IsValid() && r.m_dStep > MaxEtchTime)
            ThrowAcq(2105, {"3600"});
}

void CAesPrfModel::Store(CArchive& ar) const
{
    ar << int32_t(m_bManual) << int32_t(m_bRotate) << int32_t(m_Levels.size());
    for (const CLevelInfo& r : m_Levels)
        StoreLevel(ar, r);
}

void CAesPrfModel::Load(CArchive& ar)
{
    int32_t manual = 0, rotate = 0, n = 0;
    ar >> manual >> rotate >> n;
    ar.CheckCount(n, 3 * sizeof(double));
    std::vector<CLevelInfo> rows(static_cast<size_t>(n));
    for (CLevelInfo& r : rows)
        LoadLevel(ar, r);
    // The file holds the table's own empty row: a second one would show as a gap.
    if (rows.empty() || !rows.back().IsEmpty())
        rows.emplace_back();
    m_bManual = manual;
    m_bRotate = rotate;
    m_Levels = std::move(rows);
    m_iSelRow = 1;
}

void CAesPrfModel::LoadFromDocument(const CVeltraneDoc& doc)
{
    const CExperiment* e = doc.GetExperiment();
    if (!e || !(e->GetExpType() & 4))
        return;
    m_bManual = e->GetManualEtchFlag();
    m_bRotate = e->GetRotateFlag();
    m_iSelRow = 1;
    CProfileLevels levels;
    levels.Load(doc.GetStagePosn(0), CAcquireProfile::DepthProfile);
    m_Levels = *levels.GetLevelList(CAcquireProfile::DepthProfile);
    if (m_Levels.empty() || !m_Levels.back().IsEmpty())
        m_Levels.emplace_back();
}

// ---- The whole set-up -------------------------------------------------------

void CAesSetup::Check() const
{
    m_Exp.ErrorCheck();
    m_Scn.ErrorCheck();
    m_Prf.ErrorCheck(GetExpType());
    m_Rgn.ErrorCheck(GetExpType());
    // While the sample is etched away.
    if (CAesPrfModel::IsProfile(GetExpType()))
        CheckRepeats(m_Rgn.m_NarrowscanRegions, std::max(m_Prf.GetTotals().levels, 1));
}

void CAesSetup::Store(CArchive& ar) const
{
    m_Exp.Store(ar);
    m_Scn.Store(ar);
    m_Prf.Store(ar);
    m_Rgn.Store(ar);
}

void CAesSetup::Load(CArchive& ar)
{
    m_Exp.Load(ar);
    m_Rgn.OnExpTypeChange(GetExpType());
    m_Scn.Load(ar);
    m_Prf.Load(ar);
    m_Rgn.Load(ar);
    m_Rgn.OnExpTypeChange(GetExpType());
    FollowAnalyser();
}

void CAesSetup::CopyFrom(const CAesSetup& from)
{
    CMemFile file;
    {
        CArchive ar(&file, CArchive::store);
        from.Store(ar);
        ar.Close();
    }
    file.SeekToBegin();
    CArchive ar(&file, CArchive::load);
    Load(ar);
}

void CAesSetup::LoadFromDocument(const CVeltraneDoc& doc)
{
    const CExperiment* e = doc.GetExperiment();
    if (!e)
        ThrowAcq(2082);
    m_Exp.LoadFromExperiment(*e);
    m_Rgn.OnExpTypeChange(GetExpType());
    m_Scn.LoadFromDocument(doc);
    m_Prf.LoadFromDocument(doc);
    m_Rgn.LoadFromDocument(doc, GetExpType());
    m_Rgn.OnExpTypeChange(GetExpType());
    FollowAnalyser();
}

namespace AesSettingsFile {
void Store(const CAesSetup& setup, CArchive& ar)
{
    SettingsFile::StoreHeader(ar, CHeader::AESSetupFile);
    setup.Store(ar);
}

void Write(const CAesSetup& setup, const std::string& path)
{
    CAtomicFileWriter writer(path);
    {
        CArchive ar(&writer.File(), CArchive::store);
        Store(setup, ar);
        ar.Close();
    }
    writer.Commit();
}

Kind Read(CFile& file, const std::string& shown, CAesSetup& into, CAcqError& error)
{
    const std::string title = SettingsFile::TitleOf(shown);
    try {
        const Kind kind = SettingsFile::CheckHeader(file, shown, CHeader::AESSetupFile, 2112, 2113, error);
        if (kind != Kind::Settings)
            return kind;
        CArchive ar(&file, CArchive::load);
        into.Load(ar);
        return Kind::Settings;
    } catch (const CArchiveException& e) {
        error =
            e.m_cause == CArchiveException::endOfFile ? CAcqError{2065, {title}} : CAcqError{2068, {title}};
    } catch (const CFileException&) {
        error = CAcqError{2065, {title}};
    }
    return Kind::Refused;
}
} // namespace AesSettingsFile

CAcqError LoadAesFromDocument(const CVeltraneDoc& doc, const std::string& title, CAesSetup& into)
{
    if (doc.GetTechnique() != CExperiment::AES)
        return CAcqError{2113, {title}};
    try {
        into.LoadFromDocument(doc);
    } catch (const CAcqException& e) {
        return e.Error();
    }
    return CAcqError{};
}

void BuildAesDocument(CVeltraneDoc& doc, const CAesSetup& setup)
{
    doc.Initialize(CHeader(&setup));
    doc.Initialize(CExperiment(&setup));
    doc.Initialize(CSource(&setup));
    doc.Initialize(CIonGun(&setup));
    const int last = std::max(0, setup.m_Scn.GetEndPosn());
    for (int i = 0; i <= last; ++i) {
        auto posn = std::make_unique<CStagePosn>(i);
        CRecordBuilder::Build(*posn, setup);
        doc.SetStagePosn(i, posn.release());
    }
}
