#include "Fixtures.h"

#include "data/formats/Norvale.h"
#include "platform/File.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>

using fixtures::BuildVamas;
using fixtures::VamasBlockSpec;
using fixtures::VamasSpec;

namespace {

int Read(const std::string& text, CNorvale& model)
{
    CMemFile file(text.data(), text.size(), "test.npl");
    return model.ReadVamas(file);
}

int Read(const VamasSpec& spec, CNorvale& model)
{
    return Read(BuildVamas(spec), model);
}

int Read(const VamasSpec& spec)
{
    CNorvale model;
    return Read(spec, model);
}

VamasSpec TwoLevels()
{
    VamasSpec v;
    v.blocks = {VamasBlockSpec{}, VamasBlockSpec{}};
    v.blocks[1].values = {5, 6, 7, 8};
    v.blocks[1].expVar = 30;
    v.expVars = {{"Etch Time", "s"}};
    return v;
}

} // namespace

TEST(VamasReader, SingleBlockGivesOneSpectrumWithTheFilesOrdinates)
{
    CNorvale model;
    ASSERT_EQ(Read(VamasSpec{}, model), 0);
    ASSERT_EQ(model.GetSize(), 1);
    EXPECT_EQ(FieldText(model.GetFileHeader()->szProgName), "VAMAS");
    EXPECT_EQ(model.GetFileHeader()->wVersion, 0);
    const CNorvale::Spectrum* s = model.GetSpectrum(0);
    EXPECT_EQ(s->iDataType, 2);
    EXPECT_EQ(s->iMode, 256);
    EXPECT_EQ(s->Source.iType, 2);
    EXPECT_EQ(s->Source.lCurrent, 20000);
    EXPECT_EQ(s->lOffset, 4500);
    EXPECT_EQ(FieldText(s->szMode), "FAT");
    ASSERT_NE(s->m_pVamas, nullptr);
    EXPECT_EQ(FieldText(s->m_pVamas->szComment), "one");
    const CNorvale::SpecRgn& r = s->m_pRgns[0];
    EXPECT_EQ(FieldText(r.szElement), "C");
    EXPECT_EQ(r.lPass_V, 20);
    EXPECT_EQ(r.iDwell, 100);
    EXPECT_EQ(r.nScans, 3);
    EXPECT_EQ(r.nPts, 4);
    EXPECT_NEAR(r.RetardVoltsToKE(r.lStart_RV) - r.lOffset / 1000.0, 1000.0, 1e-9);
    EXPECT_EQ(r.lStep_RV, 500);
    const float* y = s->GetRgnData(0, 0);
    EXPECT_EQ(std::vector<float>(y, y + 4), (std::vector<float>{1, 2, 3, 4}));
}

TEST(VamasReader, HeaderAndBlockValuesAreCheckedAsTheFormatAllows)
{
    struct Case
    {
        const char* name;
        void (*change)(VamasSpec&);
        int expected;
    };
    const Case cases[] = {
        {"modes in lower case", [](VamasSpec& v) { v.expMode = "norm", v.scanMode = "regular"; }, 0},
        {"MAP", [](VamasSpec& v) { v.expMode = "MAP"; }, 2084},
        {"IRREGULAR", [](VamasSpec& v) { v.scanMode = "IRREGULAR"; }, 2084},
        {"UPS", [](VamasSpec& v) { v.technique = "UPS"; }, 2087},
        {"AES dir", [](VamasSpec& v) { v.technique = "aes DIR"; }, 0},
        {"24 regions",
         [](VamasSpec& v) {
             v.nRgns = 24;
             v.blocks.assign(24, VamasBlockSpec{});
         },
         0},
        {"25 regions", [](VamasSpec& v) { v.nRgns = 25; }, 2085},
        {"0 regions", [](VamasSpec& v) { v.nRgns = 0; }, 2090},
        {"6 blocks of 4 regions", [](VamasSpec& v) { v.nRgns = 4, v.nBlocksOverride = 6; }, 2083},
        {"exclusion list", [](VamasSpec& v) { v.includeCount = -2; }, 2083},
        {"parameter 129", [](VamasSpec& v) { v.include = {129}; }, 2083},
        {"manual item", [](VamasSpec& v) { v.manualItems = 1; }, 2086},
        {"zero source strength", [](VamasSpec& v) { v.strength = "0"; }, 2083},
        {"two corresponding variables", [](VamasSpec& v) { v.corrVars = "2"; }, 2084},
        {"signal time correction", [](VamasSpec& v) { v.timeCorrection = "1"; }, 2084},
        {"sputtering ion Z 104",
         [](VamasSpec& v) {
             v.expMode = "SDP";
             v.ionZ = "104";
         },
         2083},
        {"sputtering ion Z 103",
         [](VamasSpec& v) {
             v.expMode = "SDP";
             v.ionZ = "103";
         },
         0},
        {"block without ordinates", [](VamasSpec& v) { v.blocks[0].values.clear(); }, 2083},
        // "Not known" in VAMAS is 1e37, which no integer field can hold.
        {"unknown work function", [](VamasSpec& v) { v.workFunction = "1e37"; }, 2083},
        {"unknown source strength", [](VamasSpec& v) { v.strength = "1e37"; }, 2083},
        {"unknown collection time", [](VamasSpec& v) { v.blocks[0].collection = "1e37"; }, 2083},
        {"too many ordinates", [](VamasSpec& v) { v.blocks[0].values.assign(32768, 1.0); }, 2083},
        {"32767 ordinates", [](VamasSpec& v) { v.blocks[0].values.assign(32767, 1.0); }, 0},
        {"too many levels", [](VamasSpec& v) { v.nBlocksOverride = 32768; }, 2083},
        // Padding the short levels to the long one would need far more memory
        // than the file's size can justify.
        {"one long level padding many short ones",
         [](VamasSpec& v) {
             v.include = {31};
             v.blocks.assign(16, VamasBlockSpec{});
             v.blocks[0].values.assign(32767, 1.0);
             for (size_t k = 1; k < v.blocks.size(); ++k)
                 v.blocks[k].values = {1.0};
         },
         2083},
        {"ends after the last ordinate", [](VamasSpec& v) { v.end = ""; }, 2065},
        {"END OF EXPERIMENT", [](VamasSpec& v) { v.end = "END OF EXPERIMENT\r\n"; }, 0},
        {"something else at the end", [](VamasSpec& v) { v.end = "more data"; }, 2089},
        {"more blocks announced than written", [](VamasSpec& v) { v.nBlocksOverride = 2; }, 2065},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        VamasSpec v;
        c.change(v);
        EXPECT_EQ(Read(v), c.expected);
    }
}

TEST(VamasReader, DataTypeFollowsModeLevelsAndWideLabel)
{
    struct Case
    {
        const char* name;
        std::string mode, label, species;
        int levels, expected;
    };
    const Case cases[] = {
        {"depth profile", "SDP", "Etch Time", "C", 1, 4},
        {"angle profile", "SDP", "Angle", "C", 1, 8},
        {"multi-level series", "NORM", "Position", "C", 2, 16},
        {"wide scan", "NORM", "", "wide", 1, 1},
        {"narrow scan", "NORM", "", "C", 1, 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        VamasSpec v;
        v.expMode = c.mode;
        if (!c.label.empty())
            v.expVars = {{c.label, "s"}};
        v.blocks.assign(static_cast<size_t>(c.levels), VamasBlockSpec{});
        v.blocks[0].species = c.species;
        CNorvale model;
        ASSERT_EQ(Read(v, model), 0);
        EXPECT_EQ(model.GetSpectrum(0)->iDataType, c.expected);
        EXPECT_EQ(model.GetSpectrum(0)->iMode, c.expected == 1 ? 0 : 256);
    }
}

TEST(VamasReader, SourceTypeNeedsTheExactPhotonEnergy)
{
    const std::tuple<const char*, const char*, int> cases[] = {
        {"XPS", "1253.6", 1}, {"XPS", "1253.5", 3}, {"AES dir", "1486.6", 3}, {"XPS", "1486.6", 2}};
    for (const auto& [technique, energy, type] : cases) {
        SCOPED_TRACE(std::string(technique) + " " + energy);
        VamasSpec v;
        v.technique = technique;
        v.sourceEnergy = energy;
        CNorvale model;
        ASSERT_EQ(Read(v, model), 0);
        EXPECT_EQ(model.GetSpectrum(0)->Source.iType, type);
    }
}

TEST(VamasReader, EmptyInclusionListMeansEveryBlockCarriesEveryParameter)
{
    // What this program's writer and most others produce.
    VamasSpec v = TwoLevels();
    v.blocks[1].species = "O";
    v.blocks[1].start = 500;
    CNorvale model;
    ASSERT_EQ(Read(v, model), 0);
    const auto* s = model.GetSpectrum(0);
    ASSERT_EQ(s->nLevels, 2);
    EXPECT_FLOAT_EQ(s->m_pLevels[1].fTime, 30.0f);
    EXPECT_EQ(s->GetRgnData(0, 1)[3], 8.0f);
    // One region, so the second block's parameters are the region's last.
    EXPECT_EQ(FieldText(s->m_pRgns[0].szElement), "O");
}

TEST(VamasReader, InclusionListDecidesWhatLaterBlocksCarry)
{
    VamasSpec v = TwoLevels();
    v.include = {11, 31};
    CNorvale model;
    ASSERT_EQ(Read(v, model), 0);
    const auto* s = model.GetSpectrum(0);
    EXPECT_FLOAT_EQ(s->m_pLevels[1].fTime, 30.0f);
    EXPECT_EQ(s->m_pRgns[0].iDwell, 1000); // not listed: 1 s
    EXPECT_EQ(s->m_pRgns[0].nScans, 1);

    v.include = {11, 35};
    EXPECT_EQ(Read(v), 2088);
}

TEST(VamasReader, ShorterBlocksArePaddedToTheRegionsLongest)
{
    VamasSpec v = TwoLevels();
    v.blocks[0].values.assign(100, 2.0);
    v.blocks[1].values.assign(90, 3.0);
    CNorvale model;
    ASSERT_EQ(Read(v, model), 0);
    const auto* s = model.GetSpectrum(0);
    EXPECT_EQ(s->m_pRgns[0].nPts, 100);
    EXPECT_EQ(s->GetRgnData(0, 1)[89], 3.0f);
    EXPECT_EQ(s->GetRgnData(0, 1)[90], 0.0f);
    EXPECT_EQ(s->GetRgnData(0, 1)[99], 0.0f);
}

TEST(VamasReader, BindingEnergyAbscissaBecomesKineticEnergy)
{
    VamasSpec v;
    v.workFunction = "0";
    v.blocks[0].abscissaLabel = "Binding Energy";
    v.blocks[0].start = 290;
    v.blocks[0].step = -0.5;
    CNorvale model;
    ASSERT_EQ(Read(v, model), 0);
    const auto& r = model.GetSpectrum(0)->m_pRgns[0];
    EXPECT_NEAR(r.RetardVoltsToKE(r.lStart_RV), 1486.6 - 290, 1e-9);
    EXPECT_EQ(r.lStep_RV, 500);
}

TEST(VamasReader, LongLinesKeepTheirStartAndTheNextLineFollows)
{
    VamasSpec v;
    v.blocks[0].species = std::string(100, 'X');
    CNorvale model;
    ASSERT_EQ(Read(v, model), 0);
    EXPECT_EQ(FieldText(model.GetSpectrum(0)->m_pRgns[0].szElement), std::string(27, 'X'));
    EXPECT_EQ(FieldText(model.GetSpectrum(0)->m_pRgns[0].szRegion), "1s");
}

TEST(VamasReader, ProfileHoursShiftTheAcquisitionTime)
{
    CNorvale plain;
    ASSERT_EQ(Read(VamasSpec{}, plain), 0);
    CNorvale::SetProfileAccess([](const std::string& key, const std::string&) {
        return key == "GMT" ? std::string("2") : std::string();
    });
    CNorvale shifted;
    ASSERT_EQ(Read(VamasSpec{}, shifted), 0);
    CNorvale::SetProfileAccess(nullptr);
    EXPECT_EQ(shifted.GetSpectrum(0)->lTime - plain.GetSpectrum(0)->lTime, 7200);

    VamasSpec zero;
    for (auto& d : zero.date)
        d = "0";
    CNorvale undated;
    ASSERT_EQ(Read(zero, undated), 0);
    EXPECT_EQ(undated.GetSpectrum(0)->lTime, -1);
}

// Files written by other programs: each opens with its ordinates, or is
// refused for the reason the format rules give.
TEST(VamasReader, FilesOfOtherProgramsOpenOrAreRefusedForTheirReason)
{
    std::filesystem::path dir =
        std::filesystem::path(VELTRANE_SOURCE_DIR) / ".." / "shared" / "data" / "vamas";
    if (!std::filesystem::exists(dir))
        dir = VELTRANE_VAMAS_SAMPLES;
    if (!std::filesystem::exists(dir))
        GTEST_SKIP() << "no sample VAMAS files beside the work tree";
    const std::pair<const char*, int> expected[] = {
        {"kherve__Pt4f.vms", 2083}, // work function 1e37 ("not known")
        {"lg4x__Mutlipak_vms.npl", 0},      {"matkrin__aes_staib.vms", 2083}, // source strength 0
        {"pynxtools__regular.vms", 2090},                                     // no regions
        {"xpsdl__Mn_references.vms", 2083},                                   // source strength 0
    };
    for (const auto& [name, code] : expected) {
        SCOPED_TRACE(name);
        std::ifstream in(dir / name, std::ios::binary);
        ASSERT_TRUE(in);
        const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        CNorvale model;
        EXPECT_EQ(Read(text, model), code);
    }
}
