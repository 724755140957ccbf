#pragma once
// Everything the XPS acquisition sheet holds, without the toolkit: one model
// per page (they implement the page interfaces the records read when a new
// document is built), the settings-file sections, the edits of the stage
// rows and the checks made at Start. The sheet and its pages on Qt show and
// edit this model; a settings file is read into a second model, which takes
// effect only once the whole file was read.

#include "acquire/core/AcqError.h"
#include "acquire/core/AcquireGroup.h"
#include "acquire/core/RegionList.h"
#include "acquire/core/SettingsFile.h"
#include "data/AcquireSheet.h"

#include <array>
#include <memory>
#include <string>
#include <vector>

class CArchive;
class CFile;
class CRegion;

// What the page models need of the instrument (filled from the stage unit,
// the DAU and the configuration; tests set it directly).
struct SXpsInstrument
{
    int stageType = 3;     // CASCU::GetStageType
    unsigned status = 0x8; // CASCU::GetStatus
    bool dauMIED = true;   // CDAU::HasMIED
    int ascuGuns = 0;      // CASCU::HasIonGun flags: 1 MIED, 2 HSIG
    int maxNormal = 99;    // CConfig::GetMaxNormalStagePosns
    int maxLinear = 99;    // CConfig::GetMaxLinearStagePosns
    int maxMemory = 99;    // CConfig::GetMaxMemoryStagePosns
    int minTilt = -30;     // CConfig::GetMinTilt
    int maxTilt = 90;      // CConfig::GetMaxTilt
};

// The text of an empty stage-table cell: one character of code 255.
extern const std::string EmptyText;
bool IsEmptyText(const std::string& s);

class CXpsExpModel : public CAcquireXPS_Exp
{
public:
    CXpsExpModel();
    // The allowed movements of the instrument; every count back to 1.
    void Init(const SXpsInstrument& instr);
    int GetNumPosns() const override;
    // The most positions the movement can have.
    static int MaxPosns(int move, const SXpsInstrument& instr);
    bool IsAllowed(int exp, int move) const;
    // A new experiment type brings back the movement last used with it.
    void SetExperiment(int exp);
    void SetMovement(int move);
    // At the end of an acquisition: the number that ends the file's name
    // (before its extension) counts on; NextDataFileName.
    static std::string NextFileName(const std::string& name);

    void Store(CArchive& ar) const;
    void Load(CArchive& ar);

    int m_iExperiment = CAcquireXPS::Widescan;
    int m_iMovement = CAcquireXPS::None;
    std::string m_csFileName; // a path, UTF-8 as the system spells it (not cp1252)
    int m_bAllowedExpts[6][6] = {};
    int m_nPosns[6] = {1, 1, 1, 1, 1, 1};
    int m_iMovements[6] = {};
};

class CXpsSrcModel : public CAcquireXPS_Src
{
public:
    // What the tube takes, as the source page checks it.
    static constexpr double MinVoltage = 3.0, MaxVoltage = 15.0; // kV
    static constexpr double MinCurrent = 2.5, MaxCurrent = 50.0; // mA

    CXpsSrcModel();
    // Voltage and current within the tube's ranges (NaN is not).
    bool TubeInRange() const;
    // The photon energy of an Mg or Al anode is this instrument's, as the
    // page shows it, whatever instrument a file or a document came from.
    void FollowAnode();
    void Store(CArchive& ar) const;
    void Load(CArchive& ar);
};

class CXpsStgModel : public CAcquireXPS_Stg
{
public:
    using CGridRow = CAcquireXPS_Stg::CGridRow;
    static constexpr int nMoveTypes = 6;

    CXpsStgModel();
    ~CXpsStgModel() override;
    CXpsStgModel(const CXpsStgModel&) = delete;
    CXpsStgModel& operator=(const CXpsStgModel&) = delete;

    const CAcquireGroup* GetGroup(const std::string& name) const override;
    CStageGroup* FindGroup(const std::string& name);
    int FindGroupIndex(const std::string& name) const;
    const std::vector<std::unique_ptr<CStageGroup>>& GetGroups() const { return m_Groups; }
    std::vector<std::unique_ptr<CStageGroup>>& GetGroups() { return m_Groups; }
    // The group names, each followed by a line feed (the group drop-down's items).
    std::string GroupNames() const;

    bool IsGroupUsed(const CAcquireGroup* group, int move) const;
    // First and last position number of an acquisition: 0 for None, Planar
    // and Linear; otherwise the smallest First and the largest Last of the valid rows.
    int GetStartPosn(int move) const;
    int GetEndPosn(int move) const;

    // Appends a group of that name with no regions and a new profile.
    CStageGroup* AddGroup(const std::string& name);
    // Deletes group k (never the head) with its own regions, and every row of
    // every movement that names it. wide: the shared region, never deleted.
    void DeleteGroup(size_t k, const CRegion* wide);
    // Every group with its own regions.
    void DeleteGroups(const CRegion* wide);

    // The edit of the row-0 cell of column col applied to the selected row of
    // movement move (the stage table's rules).
    void CommitEdit(int move, int col, const std::string& text);
    bool SelectRow(int move, int row);

    // Validation at Start; throws CAcqException.
    void Check(int exp, int move, int numPosns) const;

    void Store(CArchive& ar) const;
    // wide replaces any loaded region named "Wide" in the groups.
    void Load(CArchive& ar, CRegion* wide);

    int m_iSelectedRow[6] = {0, 1, 1, 1, 1, 1};

private:
    std::vector<std::unique_ptr<CStageGroup>> m_Groups;
};

class CXpsPrfModel : public CAcquireXPS_Prf
{
public:
    void Init(const SXpsInstrument& instr);
    void Store(CArchive& ar) const;
    void Load(CArchive& ar);

    int m_bFastScan = 0;
};

class CXpsRgnModel : public CAcquireXPS_Rgn
{
public:
    // The wide-scan region over binding energies 1000 to 0 eV (Mg Ka) when the
    // unit is binding energy, else kinetic 0 to 1000 eV.
    explicit CXpsRgnModel(bool bindingUnit = false);
    ~CXpsRgnModel() override;
    CXpsRgnModel(const CXpsRgnModel&) = delete;
    CXpsRgnModel& operator=(const CXpsRgnModel&) = delete;

    CRegion* GetWidescanRgn() { return m_WidescanRegions.front(); }
    const CRegion* GetWidescanRgn() const { return m_WidescanRegions.front(); }
    void ClearImageRegions();

    void Store(CArchive& ar) const;
    void Load(CArchive& ar);
};

class CXpsImgModel : public CAcquireXPS_Img
{
public:
    CXpsImgModel();
    double GetStep() const override;
    double GetXStep() const override;
    double GetYStep() const override;
    int GetXSize() const override;
    int GetYSize() const override;
    int Size() const { return m_caSizes.at(size_t(m_iSize)); }

    void Store(CArchive& ar) const;
    void Load(CArchive& ar);

    int m_iScan = 0; // 0 the size list applies, 1 the step
    int m_iSize = 0;
    double m_dStep = 1.0;
    std::vector<int> m_caSizes;
};

class CXpsSetup : public CAcquireXPS
{
public:
    explicit CXpsSetup(const SXpsInstrument& instr = {}, bool bindingUnit = false);
    // Frees the groups' own regions, which the groups do not own.
    ~CXpsSetup() override;
    CXpsSetup(const CXpsSetup&) = delete;
    CXpsSetup& operator=(const CXpsSetup&) = delete;

    const CAcquireXPS_Exp* GetExpPage() const override { return &m_Exp; }
    const CAcquireXPS_Src* GetSrcPage() const override { return &m_Src; }
    const CAcquireXPS_Stg* GetStgPage() const override { return &m_Stg; }
    const CAcquireXPS_Prf* GetPrfPage() const override { return &m_Prf; }
    const CAcquireXPS_Rgn* GetRgnPage() const override { return &m_Rgn; }
    const CAcquireXPS_Img* GetImgPage() const override { return &m_Img; }
    int GetExpType() const override { return m_Exp.m_iExperiment; }
    int GetMoveType() const override { return m_Exp.m_iMovement; }
    int FastScanMode() const override;

    // The profile method in use: the profile experiment types, else Rotary
    // for a rotary movement, else -1.
    int ProfileIndex() const;
    // Regions are shown as peak and backgrounds (fast scan or an image).
    bool PeakMode() const { return FastScanMode() != 0 || GetExpType() == Image; }

    CStageGroup* CurGroup();
    void SetCurGroup(int i);
    // The region list the regions page shows: the wide-scan region, the
    // image regions or the current group's regions.
    std::vector<CRegion*>* CurRegions();

    // Validation at Start in the sheet's order (Experiment, Source, Stage,
    // Profiling, Regions); the first refusal throws CAcqException.
    void Check(bool xraysOn) const;
    void CheckProfiles() const;
    void CheckRegions() const;

    // The sections of the settings file after the header.
    void Store(CArchive& ar) const;
    void Load(CArchive& ar);

    SXpsInstrument m_Instr;
    CXpsExpModel m_Exp;
    CXpsSrcModel m_Src;
    CXpsStgModel m_Stg;
    CXpsPrfModel m_Prf;
    CXpsRgnModel m_Rgn;
    CXpsImgModel m_Img;
    int m_iGroup = 0;
};

namespace XpsSettingsFile {
// The header (XPS settings) and the sections.
void Store(const CXpsSetup& setup, CArchive& ar);
// Writes the header (XPS settings) and the sections through a temporary
// file renamed over path; throws CFileException and leaves path untouched.
void Write(const CXpsSetup& setup, const std::string& path);

using Kind = SettingsFile::Kind;
// Reads file (already open) into into, which the caller made fresh; shown is
// the path the messages name. On Refused nothing the caller holds changed.
Kind Read(CFile& file, const std::string& shown, CXpsSetup& into, CAcqError& error);
} // namespace XpsSettingsFile

class CVeltraneDoc;
// Fills a new document from the set-up: header, experiment, source, ion gun
// and one stage position for each number from the start to the end position.
void BuildXpsDocument(CVeltraneDoc& doc, const CXpsSetup& setup);

// Takes the set-up of an acquired XPS document into a fresh set-up (the
// sheet's Open of a data file): experiment, movement and counts, source,
// stage rows and groups with their regions and levels, profiling and region
// modes, imaging. Returns 2129 when the experiment code or the movement is
// unknown or not allowed on this instrument (nothing usable then), else 0.
CAcqError LoadXpsFromDocument(const CVeltraneDoc& doc, const std::string& title, CXpsSetup& into);
