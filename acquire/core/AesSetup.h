#pragma once
// Everything the AES acquisition sheet holds, without the toolkit: one model
// per page (they implement the page interfaces the records read when a new
// document is built), the settings-file sections and the checks made at
// Start. The sheet and its pages on Qt show and edit this model; a settings
// file is read into a second model, which takes effect only once the whole
// file was read.

#include "acquire/core/AesRegions.h"
#include "acquire/core/AesScnModel.h"
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

class CAesExpModel : public CAcquireAES_Exp
{
public:
    int m_iExperiment = CAcquireAES::Widescan;
    std::string m_csFileName;
};

class CAesPrfModel : public CAcquireAES_Prf
{
public:
    CAesPrfModel() { m_pLevelList = &m_Levels; }
    CAesPrfModel(const CAesPrfModel&) = delete;
    CAesPrfModel& operator=(const CAesPrfModel&) = delete;

    // Valid rows then one empty row.
    std::vector<CAcquireProfile::CLevelInfo> m_Levels{CAcquireProfile::CLevelInfo()};
};

class CAesSetup : public CAcquireAES
{
public:
    explicit CAesSetup(const SAesInstrument& instr = {}) : m_Instr(instr), m_Rgn(instr.cma)
    {
        m_Scn.m_pExpType = &m_Exp.m_iExperiment;
    }
    CAesSetup(const CAesSetup&) = delete;
    CAesSetup& operator=(const CAesSetup&) = delete;

    const CAcquireAES_Exp* GetExpPage() const override { return &m_Exp; }
    const CAcquireAES_Scn* GetScnPage() const override { return &m_Scn; }
    const CAcquireAES_Prf* GetPrfPage() const override { return &m_Prf; }
    const CAcquireAES_Rgn* GetRgnPage() const override { return &m_Rgn; }
    int GetExpType() const override { return m_Exp.m_iExperiment; }
    bool FastScanMode() const override { return m_Exp.m_iExperiment == FastProfile; }

    SAesInstrument m_Instr;
    CAesExpModel m_Exp;
    CAesScnModel m_Scn;
    CAesPrfModel m_Prf;
    CAesRgnModel m_Rgn;
};
