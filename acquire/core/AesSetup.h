#pragma once
// Everything the AES acquisition sheet holds, without the toolkit: one model
// per page (they implement the page interfaces the records read when a new
// document is built), the settings-file sections and the checks made at
// Start. The sheet and its pages on Qt show and edit this model; a settings
// file is read into a second model, which takes effect only once the whole
// file was read.

#include "acquire/core/AcqError.h"
#include "acquire/core/AesRegions.h"
#include "acquire/core/AesScnModel.h"
#include "acquire/core/SettingsFile.h"
#include "data/AcquireSheet.h"

#include <string>
#include <vector>

// What the page models need of the instrument (filled from the DAU, the
// stage unit and the configuration; tests set it directly).
struct SAesInstrument
{
    bool cma = false;    // the analyser is a cylindrical mirror analyser (CRR only)
    bool canEtch = true; // an ion gun is fitted: the two profile types are offered
};

class CArchive;
class CFile;
class CExperiment;
class CVeltraneDoc;

class CAesExpModel : public CAcquireAES_Exp
{
public:
    // The page's type of a document's experiment code; -1 when unknown.
    static int ExpTypeOfCode(int code);
    // At the end of every acquisition: the name's trailing number counts on.
    void OnAcqEnd();
    // The checks at Start; throws CAcqException.
    void ErrorCheck() const;
    void Store(CArchive& ar) const;
    // No range check: Start refuses what is out of range.
    void Load(CArchive& ar);
    // The comment and the type of a document's experiment; the file name is
    // kept. Throws CAcqException (2082) on an unknown code.
    void LoadFromExperiment(const CExperiment& e);

    int m_iExperiment = CAcquireAES::Widescan;
    std::string m_csFileName; // a path, UTF-8 as the system spells it (not cp1252)
};

class CAesPrfModel : public CAcquireAES_Prf
{
public:
    CAesPrfModel() { m_pLevelList = &m_Levels; }
    CAesPrfModel(const CAesPrfModel&) = delete;
    CAesPrfModel& operator=(const CAesPrfModel&) = delete;

    static constexpr double MaxEtchTime = 3600;
    static bool IsProfile(int expType)
    {
        return expType == CAcquireAES::Profile || expType == CAcquireAES::FastProfile;
    }
    // Levels 1 to 25 in five rows of rising etch times.
    void OnReset();
    // Only the empty row.
    void OnClear();
    struct Totals
    {
        int levels = 0;
        long long time = 0; // seconds
    };
    // Over the valid rows: the last level and the whole etch time.
    Totals GetTotals() const;
    // The checks at Start for the profile types; throws CAcqException.
    void ErrorCheck(int expType) const;
    void Store(CArchive& ar) const;
    // The stored rows, ending with exactly one empty row.
    void Load(CArchive& ar);
    // From a stored AES document: nothing changes unless it is a profile.
    void LoadFromDocument(const CVeltraneDoc& doc);

    int m_bRotate = 0;
    int m_iSelRow = 1; // the selected row of the level table, from 1
    // Valid rows then one empty row.
    std::vector<CAcquireProfile::CLevelInfo> m_Levels{CAcquireProfile::CLevelInfo()};
};

class CAesSetup : public CAcquireAES
{
public:
    explicit CAesSetup(const SAesInstrument& instr = {}) : m_Instr(instr), m_Rgn(instr.cma)
    {
        m_Scn.m_pExpType = &m_Exp.m_iExperiment;
        FollowAnalyser();
    }
    CAesSetup(const CAesSetup&) = delete;
    CAesSetup& operator=(const CAesSetup&) = delete;

    const CAcquireAES_Exp* GetExpPage() const override { return &m_Exp; }
    const CAcquireAES_Scn* GetScnPage() const override { return &m_Scn; }
    const CAcquireAES_Prf* GetPrfPage() const override { return &m_Prf; }
    const CAcquireAES_Rgn* GetRgnPage() const override { return &m_Rgn; }
    int GetExpType() const override { return m_Exp.m_iExperiment; }
    bool FastScanMode() const override { return m_Exp.m_iExperiment == FastProfile; }

    // The page of each model in turn, as Start checks them; throws CAcqException.
    void Check() const;
    // The sections Experiment, Scan Control, Profiling, Regions (no header).
    void Store(CArchive& ar) const;
    void Load(CArchive& ar);
    // Takes every page's values of another set-up (through the sections).
    void CopyFrom(const CAesSetup& from);
    // A stored AES document's set-up (the sheet's Open of a data file):
    // throws CAcqException (2082) when its experiment code is unknown.
    void LoadFromDocument(const CVeltraneDoc& doc);
    // The two profile types are offered: an ion gun or Manual Etch.
    bool ProfileOffered() const { return m_Instr.canEtch || m_Prf.m_bManual != 0; }
    // A cylindrical mirror analyser works in CRR only, whatever a file or a
    // document says, and whether or not the regions page has been shown.
    void FollowAnalyser()
    {
        if (m_Instr.cma)
            m_Rgn.m_iAnalyserMode = 1;
    }

    SAesInstrument m_Instr;
    CAesExpModel m_Exp;
    CAesScnModel m_Scn;
    CAesPrfModel m_Prf;
    CAesRgnModel m_Rgn;
};

namespace AesSettingsFile {
// The header (AES settings) and the sections.
void Store(const CAesSetup& setup, CArchive& ar);
// Writes the header and the sections through a temporary file renamed over
// path; throws CFileException and leaves path untouched.
void Write(const CAesSetup& setup, const std::string& path);

using Kind = SettingsFile::Kind;
// Reads file (already open) into into, which the caller made fresh; shown is
// the path the messages name. On Refused error says why.
Kind Read(CFile& file, const std::string& shown, CAesSetup& into, CAcqError& error);
} // namespace AesSettingsFile

// Takes the set-up of a stored document into a fresh set-up: 2113 (with
// title) when it holds no Auger data, 2082 for an unknown experiment code.
CAcqError LoadAesFromDocument(const CVeltraneDoc& doc, const std::string& title, CAesSetup& into);

// Fills a new document from the set-up: header, experiment, source, ion gun
// and one stage position for each index up to the scan page's last.
void BuildAesDocument(CVeltraneDoc& doc, const CAesSetup& setup);
