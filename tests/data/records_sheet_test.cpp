// Records built from the acquisition sheets, through test doubles of the
// sheet interfaces.

#include "records_fixture.h"
#include "tests/common/SheetDoubles.h"

#include "data/AcquireSheet.h"
#include "data/Experiment.h"
#include "data/Header.h"
#include "data/InstrumentInfo.h"
#include "data/IonGun.h"
#include "data/Source.h"

#include <gtest/gtest.h>

using namespace rectest;

namespace {

struct XpsExp : CAcquireXPS_Exp
{
    int GetNumPosns() const override { return 4; }
};
struct XpsStg : CAcquireXPS_Stg
{
    const CAcquireGroup* GetGroup(const std::string&) const override { return nullptr; }
};
struct XpsImg : CAcquireXPS_Img
{
    double GetStep() const override { return 0.05; }
    double GetXStep() const override { return 0.1; }
    double GetYStep() const override { return 0.2; }
    int GetXSize() const override { return 10; }
    int GetYSize() const override { return 20; }
};

using XpsSheet = CXpsSheetDouble<XpsExp, XpsStg, XpsImg>;

struct AesScn : CAcquireAES_Scn
{
    int move = Point, size = 512, resol = 4, mag = 2000;
    std::vector<CScanPoint> points;
    std::vector<CScanArea> areas;
    int GetMoveType() const override { return move; }
    int GetSize() const override { return size; }
    int GetResol() const override { return resol; }
    int GetMag() const override { return mag; }
    bool UseAreas() const override { return false; }
    bool UsePts() const override { return true; }
    const std::vector<CScanPoint>& GetPointList() const override { return points; }
    const std::vector<CScanArea>& GetAreaList() const override { return areas; }
};

using AesSheet = CAesSheetDouble<AesScn>;

struct Instrument : IInstrumentInfo
{
    double offset = 0.0;
    int aesMode = 0;
    bool cma = false, mied = false;
    IInstrumentInfo* previous = SetInstrumentInfo(this);
    ~Instrument() override { SetInstrumentInfo(previous); }
    double GetOffset() const override { return offset; }
    int GetAESMode() const override { return aesMode; }
    bool IsCMA() const override { return cma; }
    bool HasMIED() const override { return mied; }
};

} // namespace

TEST(RecordsSheet, XpsExperimentByType)
{
    Instrument instrument;
    instrument.offset = 1.5;
    XpsSheet sheet;
    sheet.exp.m_csComment = "survey";
    sheet.src.m_bAuto = 1;
    sheet.move = CAcquireXPS::Memory;
    struct Row
    {
        int type, fast, expType, dataType, profile;
    };
    for (const Row& r :
         {Row{CAcquireXPS::Widescan, 0, 0x101, 0x100, 0}, Row{CAcquireXPS::Narrowscan, 0, 0x102, 0x100, 0},
          Row{CAcquireXPS::DepthProfile, 1, 0x404, 0x100, 1},
          Row{CAcquireXPS::AngleResolved, 0, 0x104, 0x100, 2},
          Row{CAcquireXPS::TotalReflection, 1, 0x404, 0x100, 3},
          Row{CAcquireXPS::Image, 0, 0x201, 0x200, 0}}) {
        SCOPED_TRACE(r.type);
        sheet.type = r.type;
        sheet.fast = r.fast;
        const CExperiment exp(&sheet);
        EXPECT_EQ(exp.GetExpType(), r.expType);
        EXPECT_EQ(exp.GetDataType(), r.dataType);
        EXPECT_EQ(exp.GetProfileType(), r.profile);
        EXPECT_EQ(exp.GetScanType(), r.fast ? CExperiment::Fast : CExperiment::Full);
        EXPECT_EQ(exp.GetTechnique(), 2);
        EXPECT_EQ(exp.GetMoveType(), CAcquireXPS::Memory);
        EXPECT_EQ(exp.GetNumStagePosns(), 4);
        EXPECT_EQ(exp.GetComment(), "survey");
        EXPECT_EQ(exp.GetAutoFlag(), 1);
        EXPECT_DOUBLE_EQ(exp.GetOffset(), 1.5);
        EXPECT_DOUBLE_EQ(exp.GetStep(), r.type == CAcquireXPS::Image ? 0.05 : 1.0);
    }
}

TEST(RecordsSheet, AesExperiment)
{
    Instrument instrument;
    instrument.aesMode = 1;
    AesSheet sheet;
    sheet.type = CAcquireAES::AugerImage;
    sheet.scn.m_bLinescan = 1;
    CExperiment line(&sheet);
    EXPECT_EQ(line.GetResol(), 1); // line scans keep resolution 1
    EXPECT_DOUBLE_EQ(line.GetMag(), 2000.0);
    EXPECT_EQ(line.GetDetector(), 1 + 4);
    EXPECT_EQ(line.GetSize(), 512);

    sheet.scn.m_bLinescan = 0;
    instrument.cma = true;
    instrument.aesMode = 0;
    CExperiment map(&sheet);
    EXPECT_EQ(map.GetResol(), 4);
    EXPECT_EQ(map.GetDetector(), 2);
    EXPECT_EQ(map.GetExpType(), 0x201);

    sheet.type = CAcquireAES::FastProfile;
    CExperiment fast(&sheet);
    EXPECT_EQ(fast.GetExpType(), 0x404);
    EXPECT_EQ(fast.GetDataType(), 0x100);
    EXPECT_EQ(fast.GetScanType(), CExperiment::Fast);
    EXPECT_EQ(fast.GetMoveType(), CAcquireAES_Scn::Point);
    EXPECT_EQ(fast.GetTechnique(), 1);
}

TEST(RecordsSheet, SourceFromPagesAndConfiguration)
{
    const CSource defaultSource;
    EXPECT_EQ(defaultSource.GetSourceType(), CSource::MgKa);
    EXPECT_DOUBLE_EQ(defaultSource.GetEnergy(), 1253.6);
    CSource::SetPhotonEnergies(1253.7, 1486.6);
    EXPECT_DOUBLE_EQ(CSource().GetEnergy(), 1253.7);
    EXPECT_DOUBLE_EQ(defaultSource.GetEnergy(), 1253.6); // built before the change
    CSource::SetPhotonEnergies(1253.6, 1486.6);

    XpsSheet sheet;
    sheet.src.m_dVoltage = 15000, sheet.src.m_dCurrent = 0.02, sheet.src.m_dEnergy = 1486.6;
    for (auto [choice, type] : {std::pair{0, 10}, {1, 18}, {2, 0}}) {
        sheet.src.m_iType = choice;
        EXPECT_EQ(CSource(&sheet).GetSourceType(), type);
    }
    const CSource xps(&sheet);
    EXPECT_DOUBLE_EQ(xps.GetPower(), 300.0);

    const CSource gun(static_cast<const CAcquireAES*>(nullptr));
    EXPECT_EQ(gun.GetSourceType(), CSource::ElectronGun);
    EXPECT_EQ(gun.GetEnergy(), 0.0);
    EXPECT_EQ(gun.GetSourceName(), "Electron gun");
}

TEST(RecordsSheet, IonGun)
{
    Instrument instrument;
    XpsSheet sheet;
    sheet.prf.m_iPreset = 1, sheet.prf.m_iDuty = 2;
    const CIonGun none(&sheet);
    EXPECT_EQ(none.GetType(), CIonGun::None);
    EXPECT_EQ(none.GetDutyCycle(), 1);

    sheet.type = CAcquireXPS::DepthProfile;
    EXPECT_EQ(CIonGun(&sheet).GetType(), CIonGun::MIED_ASCU);
    instrument.mied = true;
    const CIonGun dau(&sheet);
    EXPECT_EQ(dau.GetType(), CIonGun::MIED_DAU);
    EXPECT_EQ(dau.GetPreset(), 1);
    EXPECT_EQ(dau.GetDutyCycle(), 3);
    // The bytes of that block.
    EXPECT_EQ(Store(dau), (std::vector<uint8_t>{3, 0, 1, 0, 8, 0, 0, 0, 3, 0, 1, 0, 3, 0, 0, 0}));
    sheet.prf.m_iGun = 1;
    EXPECT_EQ(CIonGun(&sheet).GetType(), CIonGun::HSIG);

    AesSheet aes;
    aes.type = CAcquireAES::Profile;
    EXPECT_EQ(CIonGun(&aes).GetType(), CIonGun::MIED_DAU);
    instrument.mied = false;
    EXPECT_EQ(CIonGun(&aes).GetType(), CIonGun::None);
}

TEST(RecordsSheet, HeaderOfANewDocument)
{
    XpsSheet sheet;
    CHeader header(&sheet);
    header.SetFileType(CHeader::XPSSetupFile);
    EXPECT_EQ(header.GetFileType(), CHeader::XPSSetupFile);
    char name[13];
    header.GetProgName(name);
    EXPECT_STREQ(name, "Veltrane");
}
