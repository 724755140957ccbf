#include "Fixtures.h"
#include "tests/common/ScopedLocale.h"

#include "data/Source.h"
#include "data/formats/Norvale.h"
#include "platform/File.h"

#include <gtest/gtest.h>

#include <cmath>
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
    const double* y = s->GetRgnData(0, 0);
    EXPECT_EQ(std::vector<double>(y, y + 4), (std::vector<double>{1, 2, 3, 4}));
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
        {"25 regions",
         [](VamasSpec& v) {
             v.nRgns = 25;
             v.blocks.assign(25, VamasBlockSpec{});
         },
         2085},
        {"25 blocks of one region without a region count",
         [](VamasSpec& v) {
             v.nRgns = 0;
             v.blocks.assign(25, VamasBlockSpec{});
         },
         0},
        {"more blocks announced than any layout holds",
         [](VamasSpec& v) { v.nRgns = 0, v.nBlocksOverride = 24 * 32767 + 1; }, 2085},
        {"25 different blocks without a region count",
         [](VamasSpec& v) {
             v.nRgns = 0;
             v.blocks.assign(25, VamasBlockSpec{});
             for (size_t k = 0; k < v.blocks.size(); ++k)
                 v.blocks[k].start = 1000.0 + double(k);
         },
         2085},
        {"exclusion list", [](VamasSpec& v) { v.includeCount = -2; }, 2083},
        {"parameter 129", [](VamasSpec& v) { v.include = {129}; }, 2083},
        {"manual item", [](VamasSpec& v) { v.manualItems = 1; }, 2086},
        {"negative source strength", [](VamasSpec& v) { v.strength = "-1"; }, 2083},
        {"no corresponding variable", [](VamasSpec& v) { v.corrVars = "0"; }, 2084},
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
        {"unknown abscissa start", [](VamasSpec& v) { v.blocks[0].start = 1e37; }, 2088},
        {"unknown abscissa step", [](VamasSpec& v) { v.blocks[0].step = 1e37; }, 2088},
        {"binding energy without a photon energy",
         [](VamasSpec& v) {
             v.sourceEnergy = "1e37";
             v.blocks[0].abscissaLabel = "Binding Energy";
         },
         2083},
        {"too many ordinates", [](VamasSpec& v) { v.blocks[0].values.assign(32768, 1.0); }, 2083},
        {"32767 ordinates", [](VamasSpec& v) { v.blocks[0].values.assign(32767, 1.0); }, 0},
        {"too many levels", [](VamasSpec& v) { v.nBlocksOverride = 32768; }, 2083},
        // A long block among short ones is a region of its own: nothing is padded.
        {"one long block among many short ones",
         [](VamasSpec& v) {
             v.include = {31};
             v.blocks.assign(16, VamasBlockSpec{});
             v.blocks[0].values.assign(32767, 1.0);
             for (size_t k = 1; k < v.blocks.size(); ++k)
                 v.blocks[k].values = {1.0};
         },
         0},
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

// A depth profile saved with 0 regions in its header: three regions at ten
// levels, more blocks than regions can be, open as three regions of ten levels.
TEST(VamasReader, AProfileWithoutARegionCountOpensAsItsRepeatingRegions)
{
    VamasSpec v;
    v.nRgns = 0;
    v.expMode = "SDP";
    v.expVars = {{"Etch Time", "s"}};
    v.blocks.clear();
    for (int level = 0; level < 10; ++level)
        for (const auto& [species, start] : {std::pair{"C", 700.0}, {"O", 950.0}, {"N", 1080.0}}) {
            VamasBlockSpec b;
            b.species = species;
            b.start = start;
            b.expVar = 30.0 * level;
            b.values = {double(level), 1.0, 2.0, 3.0};
            v.blocks.push_back(b);
        }
    CNorvale model;
    ASSERT_EQ(Read(v, model), 0);
    const CNorvale::Spectrum* s = model.GetSpectrum(0);
    ASSERT_EQ(s->nRgns, 3);
    ASSERT_EQ(s->nLevels, 10);
    EXPECT_EQ(FieldText(s->m_pRgns[1].szElement), "O");
    EXPECT_DOUBLE_EQ(s->m_pRgns[2].dStart, 1080.0);
    EXPECT_DOUBLE_EQ(s->m_pLevels[9].dTime, 270.0);
}

// A depth profile written region by region (every level of C, then of O, ...),
// as some instruments' exports do, with no region count in the header.
TEST(VamasReader, AProfileWrittenRegionByRegionOpensAsItsRegionsAndLevels)
{
    const std::pair<const char*, double> regions[] = {{"C", 700.0}, {"O", 950.0}, {"N", 1080.0}};
    VamasSpec v;
    v.nRgns = 0;
    v.expVars = {{"Etch Time", "s"}};
    v.blocks.clear();
    for (int r = 0; r < 3; ++r)
        for (int level = 0; level < 10; ++level) {
            VamasBlockSpec b;
            std::tie(b.species, b.start) = regions[r];
            b.values.assign(r == 2 ? 3 : 4, 100.0 * r + level);
            b.expVar = 60.0 * level;
            v.blocks.push_back(b);
        }
    CNorvale model;
    ASSERT_EQ(Read(v, model), 0);
    const CNorvale::Spectrum* s = model.GetSpectrum(0);
    ASSERT_EQ(s->nRgns, 3);
    ASSERT_EQ(s->nLevels, 10);
    for (int r = 0; r < 3; ++r) {
        EXPECT_EQ(FieldText(s->m_pRgns[r].szElement), regions[r].first);
        EXPECT_DOUBLE_EQ(s->m_pRgns[r].dStart, regions[r].second);
        for (int level = 0; level < 10; ++level)
            EXPECT_EQ(s->GetRgnData(r, level)[s->m_pRgns[r].nPts - 1], 100.0 * r + level);
    }
    EXPECT_EQ(s->m_pRgns[2].nPts, 3);
    EXPECT_DOUBLE_EQ(s->m_pLevels[9].dTime, 540.0);
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

TEST(VamasReader, AnAnodeIsKnownByAnEnergyNearItsConfiguredOne)
{
    // Other programs write Al K-alpha as 1486.61, 1486.68, 1486.7 or 1486.74;
    // 0.4 eV either side of the configured energy is still that anode. The
    // photon energy itself stays the file's.
    struct Case
    {
        const char* technique;
        const char* energy;
        double configuredAl;
        int type;
        int32_t lSource;
    };
    const Case cases[] = {
        {"XPS", "1253.6", 1486.6, 1, 1253600},
        {"XPS", "1253.5", 1486.6, 1, 1253500},
        {"XPS", "1253.2", 1486.6, 1, 1253200},
        {"XPS", "1254.1", 1486.6, 3, 1254100},
        {"XPS", "1486.6", 1486.6, 2, 1486600},
        {"XPS", "1486.61", 1486.6, 2, 1486610},
        {"XPS", "1486.68", 1486.6, 2, 1486680},
        {"XPS", "1486.74", 1486.6, 2, 1486740},
        {"XPS", "1487", 1486.6, 2, 1487000},
        {"XPS", "1487.1", 1486.6, 3, 1487100},
        {"XPS", "1487.1", 1486.7, 2, 1487100},
        {"XPS", "1486.2", 1486.7, 3, 1486200},
        {"AES dir", "1486.6", 1486.6, 3, 1486600},
        {"XPS", "21.22", 1486.6, 3, 21220},
        {"XPS", "1e+37", 1486.6, 3, 0},
    };
    struct Restore
    {
        ~Restore() { CSource::SetPhotonEnergies(1253.6, 1486.6); }
    } restore;
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.technique) + " " + c.energy + " with Al at " +
                     std::to_string(c.configuredAl));
        CSource::SetPhotonEnergies(1253.6, c.configuredAl);
        VamasSpec v;
        v.technique = c.technique;
        v.sourceEnergy = c.energy;
        CNorvale model;
        ASSERT_EQ(Read(v, model), 0);
        EXPECT_EQ(model.GetSpectrum(0)->Source.iType, c.type);
        EXPECT_EQ(model.GetSpectrum(0)->Source.lSource, c.lSource);
    }
}

TEST(VamasReader, SpeciesThatCarriesItsLineGivesElementAndLine)
{
    struct Case
    {
        const char *species, *transition, *element, *line;
    };
    const Case cases[] = {
        {"Mn2p", "", "Mn", "2p"},
        {"Mn 2p", "", "Mn", "2p"},
        {"C1s", "", "C", "1s"},
        {"Pt 4f7/2", "", "Pt", "4f7/2"},
        {"Mn2p", "2p3/2", "Mn2p", "2p3/2"}, // the file names a transition: kept
        {"Survey", "", "Survey", ""},
        {"Mn", "", "Mn", ""},
        {"Xy2p", "", "Xy2p", ""},     // no such element
        {"MnO 2p", "", "MnO 2p", ""}, // a compound, not an element
        {"mn2p", "", "mn2p", ""},
        {"Mn2s1/2", "", "Mn2s1/2", ""},
        {"Mn2p5/2", "", "Mn2p5/2", ""},
        {"Mn2p3", "", "Mn2p3", ""},
        {"Cu LMM", "", "Cu LMM", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.species) + "|" + c.transition);
        VamasSpec v;
        v.blocks[0].species = c.species;
        v.blocks[0].transition = c.transition;
        CNorvale model;
        ASSERT_EQ(Read(v, model), 0);
        EXPECT_EQ(FieldText(model.GetSpectrum(0)->m_pRgns[0].szElement), c.element);
        EXPECT_EQ(FieldText(model.GetSpectrum(0)->m_pRgns[0].szRegion), c.line);
    }
}

TEST(VamasReader, EmptyInclusionListMeansEveryBlockCarriesEveryParameter)
{
    // What this program's writer and most others produce.
    VamasSpec v = TwoLevels();
    v.blocks[1].species = "O";
    CNorvale model;
    ASSERT_EQ(Read(v, model), 0);
    const auto* s = model.GetSpectrum(0);
    ASSERT_EQ(s->nLevels, 2);
    EXPECT_FLOAT_EQ(s->m_pLevels[1].fTime, 30.0f);
    EXPECT_EQ(s->GetRgnData(0, 1)[3], 8.0);
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

// The header's region count makes levels only of blocks that share their
// energy scale; otherwise each block is a region on its own scale.
TEST(VamasReader, RegionCountThatDoesNotFitTheBlocksGivesARegionPerBlock)
{
    struct Case
    {
        const char* name;
        int headerRegions;
        std::vector<std::tuple<double, double, size_t>> blocks; // start, step, points
        int regions, levels;
    };
    const Case cases[] = {
        {"levels of one region", 1, {{1000, 0.5, 4}, {1000, 0.5, 4}, {1000, 0.5, 4}}, 1, 3},
        {"two regions, two levels", 2, {{100, 1, 4}, {200, 1, 4}, {100, 1, 4}, {200, 1, 4}}, 2, 2},
        {"no region count (CasaXPS)", 0, {{100, 1, 4}, {100, 1, 4}}, 2, 1},
        {"count that does not divide", 2, {{100, 1, 4}, {200, 1, 4}, {300, 1, 4}}, 3, 1},
        {"levels on other starts", 1, {{1000, 0.5, 4}, {500, 0.5, 4}}, 2, 1},
        {"levels on other steps", 1, {{1000, 0.5, 4}, {1000, 0.25, 4}}, 2, 1},
        {"levels of other lengths", 1, {{1000, 0.5, 4}, {1000, 0.5, 3}}, 2, 1},
        {"count dividing but wrong", 2, {{100, 1, 4}, {200, 1, 4}, {300, 1, 4}, {400, 1, 4}}, 4, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        VamasSpec v;
        v.nRgns = c.headerRegions;
        v.blocks.clear();
        for (size_t k = 0; k < c.blocks.size(); ++k) {
            VamasBlockSpec b;
            std::tie(b.start, b.step, std::ignore) = c.blocks[k];
            b.values.assign(std::get<2>(c.blocks[k]), 10.0 * static_cast<double>(k));
            v.blocks.push_back(b);
        }
        CNorvale model;
        ASSERT_EQ(Read(v, model), 0);
        const auto* s = model.GetSpectrum(0);
        ASSERT_EQ(s->nRgns, c.regions);
        ASSERT_EQ(s->nLevels, c.levels);
        // Every block keeps its own scale and values.
        for (size_t k = 0; k < c.blocks.size(); ++k) {
            const int r = static_cast<int>(k) % c.regions, l = static_cast<int>(k) / c.regions;
            const CNorvale::SpecRgn& rgn = s->m_pRgns[static_cast<size_t>(r)];
            EXPECT_EQ(rgn.dStart, std::get<0>(c.blocks[k]));
            EXPECT_EQ(rgn.dStep, std::get<1>(c.blocks[k]));
            EXPECT_EQ(static_cast<size_t>(rgn.nPts), std::get<2>(c.blocks[k]));
            EXPECT_EQ(s->GetRgnData(r, l)[0], 10.0 * static_cast<double>(k));
        }
    }
}

// A collection time that is no number is not known either: its 16-bit dwell
// was made by converting the NaN itself.
TEST(VamasReader, ACollectionTimeThatIsNoNumberIsNotKnown)
{
    for (const char* collection : {"nan", "-nan", "NaN", "inf", "-inf"}) {
        SCOPED_TRACE(collection);
        VamasSpec v;
        v.blocks[0].collection = collection;
        CNorvale model;
        ASSERT_EQ(Read(v, model), 0);
        EXPECT_EQ(model.GetSpectrum(0)->m_pRgns[0].dDwell, 0.0);
        EXPECT_EQ(model.GetSpectrum(0)->m_pRgns[0].iDwell, 0);
    }
}

// "Not known" (1E37, also written 1e+037) takes the document's default where
// it has one; a signal time correction is a real number the document ignores.
TEST(VamasReader, UnknownValuesTakeTheirDefaults)
{
    VamasSpec v;
    v.workFunction = "1e+037";
    v.strength = "1E37";
    v.sourceEnergy = "1e37";
    v.passEnergy = "1e37";
    v.timeCorrection = "1e37";
    v.blocks[0].collection = "1e+37";
    CNorvale model;
    ASSERT_EQ(Read(v, model), 0);
    const auto* s = model.GetSpectrum(0);
    EXPECT_EQ(s->lOffset, 0);
    EXPECT_EQ(s->Source.lCurrent, 0);
    EXPECT_EQ(s->Source.lSource, 0);
    EXPECT_EQ(s->Source.iType, 3);
    EXPECT_EQ(s->m_pRgns[0].dPass, 0.0);
    EXPECT_EQ(s->m_pRgns[0].dDwell, 0.0);
    EXPECT_EQ(s->m_pRgns[0].dStart, 1000.0);

    for (const char* correction : {"7e-008", "70E-9", "1"}) {
        SCOPED_TRACE(correction);
        v.timeCorrection = correction;
        EXPECT_EQ(Read(v), 0);
    }

    // A level whose value is not known keeps its number, not 1E37.
    VamasSpec levels = TwoLevels();
    levels.blocks[0].expVar = 5;
    levels.blocks[1].expVar = 1e37;
    CNorvale profile;
    ASSERT_EQ(Read(levels, profile), 0);
    const auto* p = profile.GetSpectrum(0);
    ASSERT_EQ(p->nLevels, 2);
    EXPECT_EQ(p->m_pLevels[0].dTime, 5.0);
    EXPECT_EQ(p->m_pLevels[1].dTime, 1.0);
}

// The first corresponding variable is the signal; the others (a transmission
// function, say) and their minimum and maximum lines are passed over.
TEST(VamasReader, SeveralCorrespondingVariablesKeepTheFirst)
{
    VamasSpec v = TwoLevels();
    v.corrVars = "3";
    CNorvale model;
    ASSERT_EQ(Read(v, model), 0);
    const auto* s = model.GetSpectrum(0);
    ASSERT_EQ(s->m_pRgns[0].nPts, 4);
    EXPECT_EQ(std::vector<double>(s->GetRgnData(0, 0), s->GetRgnData(0, 0) + 4),
              (std::vector<double>{1, 2, 3, 4}));
    EXPECT_EQ(std::vector<double>(s->GetRgnData(0, 1), s->GetRgnData(0, 1) + 4),
              (std::vector<double>{5, 6, 7, 8}));
}

// Some programs write a count rate ("c/s") rather than counts. The document
// holds counts per point, as its own acquisitions do, and quantification
// divides them by the dwell time: a rate read as it stood was divided by
// time twice, and a region's share of a level followed its dwell.
TEST(VamasReader, CountRatesBecomeCountsOverTheCollectionTime)
{
    struct Case
    {
        const char *unit, *collection;
        double factor;
    };
    const Case cases[] = {
        {"d", "0.4", 1.0},    // counts as they are
        {"c/s", "0.4", 0.4},  // 2.5 c/s over 0.4 s is 1 count
        {"C/S", "0.8", 0.8},  // units in any case
        {"c/s", "1e37", 1.0}, // no collection time known: the rate stays
        {"c/s", "0", 1.0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.unit) + " " + c.collection);
        VamasSpec v = TwoLevels();
        v.signalUnit = c.unit;
        v.corrVars = "2";
        for (auto& b : v.blocks)
            b.collection = c.collection;
        CNorvale model;
        ASSERT_EQ(Read(v, model), 0);
        const auto* s = model.GetSpectrum(0);
        ASSERT_EQ(s->m_pRgns[0].nPts, 4);
        for (int level = 0; level < 2; ++level)
            for (int i = 0; i < 4; ++i)
                EXPECT_DOUBLE_EQ(s->GetRgnData(0, level)[i], (1 + 4 * level + i) * c.factor)
                    << level << " " << i;
    }
}

// The file's energies at full precision: a negative step stays -0.1 (not
// -0.099 from rounding toward +infinity), a step of 1.983673 eV is not cut to
// meV, and a pass energy of 46.95 eV stays real.
TEST(VamasReader, EnergiesKeepTheFilesPrecision)
{
    const std::tuple<double, double, const char*> cases[] = {
        {1400.0, -0.1, "20"}, {19.989319, 1.983673, "46.95"}, {1000.0, 0.0005, "1e37"}};
    for (const auto& [start, step, pass] : cases) {
        SCOPED_TRACE(step);
        VamasSpec v;
        v.passEnergy = pass;
        v.blocks[0].start = start;
        v.blocks[0].step = step;
        CNorvale model;
        ASSERT_EQ(Read(v, model), 0);
        const CNorvale::SpecRgn& r = model.GetSpectrum(0)->m_pRgns[0];
        EXPECT_EQ(r.dStart, start);
        EXPECT_EQ(r.dStep, step);
        EXPECT_EQ(r.lStep_RV, std::lround(step * 1000.0));
        EXPECT_EQ(r.dPass, std::string(pass) == "1e37" ? 0.0 : std::atof(pass));
    }
}

// NPL's files label the abscissa "Electron binding energy"; any label with
// "binding" in it, in any case, is a binding-energy scale.
TEST(VamasReader, BindingEnergyAbscissaBecomesKineticEnergy)
{
    for (const char* label : {"Binding Energy", "Electron binding energy", "BINDING"}) {
        SCOPED_TRACE(label);
        VamasSpec v;
        v.workFunction = "4.19";
        v.blocks[0].abscissaLabel = label;
        v.blocks[0].start = 290;
        v.blocks[0].step = -0.05;
        CNorvale model;
        ASSERT_EQ(Read(v, model), 0);
        const auto& r = model.GetSpectrum(0)->m_pRgns[0];
        // Shown as kinetic energy the start is hv - 290 eV once the offset is
        // added back, so its binding energy is the file's 290 eV.
        EXPECT_NEAR(r.dStart + r.lOffset / 1000.0, 1486.6 - 290, 1e-9);
        EXPECT_EQ(r.dStep, 0.05);
        EXPECT_EQ(r.lStep_RV, 50);
    }
}

// Under a Turkish LC_CTYPE toupper('i') and tolower('I') leave the letter
// alone; the file's keywords still match in any case there.
TEST(VamasReader, KeywordsMatchInAnyCaseUnderATurkishLocale)
{
    CScopedLocale turkish(LC_CTYPE, "tr_TR.UTF-8");
    if (!turkish.Active())
        GTEST_SKIP() << "no tr_TR locale and none can be built";

    VamasSpec binding;
    binding.blocks[0].abscissaLabel = "BINDING ENERGY";
    binding.blocks[0].start = 290;
    binding.blocks[0].step = -0.05;
    CNorvale model;
    ASSERT_EQ(Read(binding, model), 0);
    EXPECT_EQ(model.GetSpectrum(0)->m_pRgns[0].dStep, 0.05); // turned round as a binding-energy scale

    VamasSpec auger;
    auger.technique = "AES DIR";
    CNorvale aes;
    ASSERT_EQ(Read(auger, aes), 0);
    EXPECT_TRUE(aes.GetSpectrum(0)->m_bAuger);
}

// A file that begins with a UTF-8 byte-order mark holds UTF-8 text: it is
// kept as the records' cp1252. Without the mark the bytes stay as they are.
TEST(VamasReader, TextOfAFileMarkedAsUtf8IsKeptAsCp1252)
{
    struct Case
    {
        const char* prefix;
        const char* comment;
        std::string expected;
    };
    const Case cases[] = {
        {"\xEF\xBB\xBF", "J\xC3\xBCrgen, 5 \xC2\xB5m, \xE6\x97\xA5", "J\xFCrgen, 5 \xB5m, ?"},
        {"", "J\xFCrgen, 5 \xB5m", "J\xFCrgen, 5 \xB5m"},
        {"", "J\xC3\xBCrgen", "J\xC3\xBCrgen"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.comment);
        VamasSpec v;
        v.prefix = c.prefix;
        v.comment = {c.comment};
        v.blocks[0].species = c.comment;
        CNorvale model;
        ASSERT_EQ(Read(v, model), 0);
        EXPECT_EQ(FieldText(model.GetSpectrum(0)->m_pVamas->szComment), c.expected);
        EXPECT_EQ(FieldText(model.GetSpectrum(0)->m_pRgns[0].szElement), c.expected);
    }

    // A line longer than the field is cut after the conversion, by characters.
    VamasSpec longName;
    longName.prefix = "\xEF\xBB\xBF";
    std::string umlauts;
    for (int i = 0; i < 40; ++i)
        umlauts += "\xC3\xBC";
    longName.blocks[0].species = umlauts;
    CNorvale model;
    ASSERT_EQ(Read(longName, model), 0);
    EXPECT_EQ(FieldText(model.GetSpectrum(0)->m_pRgns[0].szElement), std::string(27, '\xFC'));
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

TEST(VamasReader, BlankLinesOrAByteOrderMarkBeforeTheFormatIdentifierArePassedOver)
{
    for (const char* prefix : {"\r\n\r\n", "\xEF\xBB\xBF", "\xEF\xBB\xBF\r\n"}) {
        VamasSpec v;
        v.prefix = prefix;
        CNorvale model;
        ASSERT_EQ(Read(v, model), 0) << v.prefix.size();
        EXPECT_EQ(FieldText(model.GetSpectrum(0)->m_pVamas->szFormat).substr(0, 5), "VAMAS")
            << v.prefix.size();
        EXPECT_EQ(FieldText(model.GetSpectrum(0)->m_pVamas->szInstitute), "Institute");
    }
}

// A block short of its ordinate lines runs into the next block's lines: the
// file is incomplete, whatever those lines say.
TEST(VamasReader, ABlockShortOfItsLinesIsReportedAsAnIncompleteFile)
{
    VamasSpec v = TwoLevels();
    std::string text = BuildVamas(v);
    const std::string lastOfFirst = "\r\n4\r\nblock 2\r\n";
    const size_t at = text.find(lastOfFirst);
    ASSERT_NE(at, std::string::npos);
    text.erase(at, 3); // the first block's last ordinate
    CNorvale model;
    EXPECT_EQ(Read(text, model), 2065);
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

    // An entry beyond a day's hours is no zone: it shifts nothing.
    for (const char* entry : {"25", "-9223372036854775807", "99999999999999999999"}) {
        SCOPED_TRACE(entry);
        CNorvale::SetProfileAccess(
            [entry](const std::string& key, const std::string&) { return key == "GMT" ? entry : ""; });
        CNorvale huge;
        ASSERT_EQ(Read(VamasSpec{}, huge), 0);
        CNorvale::SetProfileAccess(nullptr);
        EXPECT_EQ(huge.GetSpectrum(0)->lTime, plain.GetSpectrum(0)->lTime);
    }

    VamasSpec zero;
    for (auto& d : zero.date)
        d = "0";
    CNorvale undated;
    ASSERT_EQ(Read(zero, undated), 0);
    EXPECT_EQ(undated.GetSpectrum(0)->lTime, -1);
}

// A date field out of its range is no date: the time is marked invalid
// rather than carried into the next field (month 2021 of one exporter's files
// would be a year in the 2190s, 30 February the 2nd of March).
TEST(VamasReader, DateFieldsOutOfRangeGiveNoTime)
{
    struct Case
    {
        int field;
        const char* value;
    };
    const Case cases[] = {{1, "2021"}, {1, "13"}, {1, "0"},  {2, "0"},
                          {2, "32"},   {3, "24"}, {4, "60"}, {5, "61"}};
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.field) + " = " + c.value);
        VamasSpec v;
        v.date[c.field] = c.value;
        CNorvale model;
        ASSERT_EQ(Read(v, model), 0);
        EXPECT_EQ(model.GetSpectrum(0)->lTime, -1);
    }

    VamasSpec feb30;
    feb30.date[1] = "2";
    feb30.date[2] = "30";
    CNorvale model;
    ASSERT_EQ(Read(feb30, model), 0);
    EXPECT_EQ(model.GetSpectrum(0)->lTime, -1);

    VamasSpec leapDay = feb30;
    leapDay.date[2] = "29";
    CNorvale kept;
    ASSERT_EQ(Read(leapDay, kept), 0);
    const std::time_t t = static_cast<std::time_t>(kept.GetSpectrum(0)->lTime);
    std::tm local{};
    localtime_r(&t, &local);
    EXPECT_EQ(local.tm_mon + 1, 2);
    EXPECT_EQ(local.tm_mday, 29);
}

// Hour, minute and second -1 are not known (one instrument's exporter writes
// them so): the date stays, without a time of day, and no zone shifts it.
TEST(VamasReader, UnknownTimeOfDayKeepsTheDate)
{
    VamasSpec v;
    v.date[3] = v.date[4] = v.date[5] = v.date[6] = "-1";
    CNorvale model;
    ASSERT_EQ(Read(v, model), 0);
    const auto* s = model.GetSpectrum(0);
    EXPECT_TRUE(s->m_bNoTimeOfDay);
    const std::time_t t = static_cast<std::time_t>(s->lTime);
    std::tm local{};
    localtime_r(&t, &local);
    EXPECT_EQ(local.tm_year + 1900, 2024);
    EXPECT_EQ(local.tm_mon + 1, 3);
    EXPECT_EQ(local.tm_mday, 5);
    EXPECT_EQ(local.tm_hour, 0);
}

// Files written by other programs and instruments, kept in the project with
// their licences: each opens.
TEST(VamasReader, FilesOfOtherProgramsOpen)
{
    const std::filesystem::path dir =
        std::filesystem::path(VELTRANE_SOURCE_DIR) / "tests" / "formats" / "fixtures" / "vamas";
    int files = 0;
    for (const auto& entry : std::filesystem::directory_iterator(dir)) {
        if (entry.path().filename().string().starts_with("LICENSE"))
            continue;
        SCOPED_TRACE(entry.path().filename().string());
        std::ifstream in(entry.path(), std::ios::binary);
        ASSERT_TRUE(in);
        const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        CNorvale model;
        EXPECT_EQ(Read(text, model), 0);
        ++files;
    }
    EXPECT_GT(files, 0);
}

// What each of those files holds, as its exporter wrote it: blocks as regions
// or levels, points, the abscissa as kinetic energy without the work function
// (binding-energy scales with their negative increment turned round), the
// technique of the blocks and the anode, labels (a species that carries its
// line as element and line), the first and last ordinates, and the date
// (CasaXPS writes month 2021 in two of them: no time then).
TEST(VamasReader, FilesOfOtherProgramsReadAsTheyWereWritten)
{
    enum class When
    {
        Time,
        DateOnly,
        None
    };
    struct Case
    {
        const char* file;
        int regions, levels;
        std::vector<int> points;
        double start, step;
        int offset;
        bool auger;
        const char *species, *transition;
        double first, last;
        When when;
    };
    const Case cases[] = {
        {"kherve__Pt4f.vms", 1, 1, {281}, 1396.68, 0.1, 0, false, "Pt", "4f", 544.369, 136.04, When::Time},
        {"lg4x__Mutlipak_vms.npl",
         5,
         1,
         {601, 601, 501, 401, 401},
         1486.6 - 305 - 4.19,
         0.05,
         4190,
         false,
         "C",
         "1s",
         819.0, // 2047.5 c/s over 0.4 s
         549.0, // 1372.5 c/s
         When::DateOnly},
        {"matkrin__aes_staib.vms",
         1,
         1,
         {1100},
         19.989319,
         1.983673,
         0,
         true,
         "species",
         "",
         -3423633,
         46755,
         When::Time},
        {"pynxtools__regular.vms",
         1,
         1,
         {1351},
         136.61,
         1.0,
         4108,
         false,
         "Survey",
         "",
         1559.87,
         18.1529,
         When::Time},
        {"xpsdl__Mn_references.vms",
         1,
         3,
         {400},
         816.71,
         0.1,
         0,
         false,
         "Mn",
         "2p",
         1597.57,
         397.435,
         When::None},
        {"xpsdl__mno_gas-phase_removed.vms",
         4,
         1,
         {630, 401, 401, 630},
         798.71,
         0.1,
         0,
         false,
         "Mn",
         "2p",
         1512.04,
         389.71,
         When::None},
    };
    const std::filesystem::path dir =
        std::filesystem::path(VELTRANE_SOURCE_DIR) / "tests" / "formats" / "fixtures" / "vamas";
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        std::ifstream in(dir / c.file, std::ios::binary);
        ASSERT_TRUE(in);
        const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        CNorvale model;
        ASSERT_EQ(Read(text, model), 0);
        const CNorvale::Spectrum* s = model.GetSpectrum(0);
        ASSERT_EQ(s->nRgns, c.regions);
        ASSERT_EQ(s->nLevels, c.levels);
        for (int r = 0; r < c.regions; ++r)
            EXPECT_EQ(s->m_pRgns[size_t(r)].nPts, c.points[size_t(r)]) << "region " << r;
        const CNorvale::SpecRgn& r0 = s->m_pRgns[0];
        EXPECT_NEAR(r0.dStart, c.start, 1e-9);
        EXPECT_NEAR(r0.dStep, c.step, 1e-12);
        EXPECT_EQ(s->lOffset, c.offset);
        EXPECT_EQ(s->m_bAuger, c.auger);
        EXPECT_EQ(s->Source.iType, c.auger ? 3 : 2); // every XPS file here is Al K-alpha
        EXPECT_EQ(FieldText(r0.szElement), c.species);
        EXPECT_EQ(FieldText(r0.szRegion), c.transition);
        const double* y = s->GetRgnData(0, 0);
        ASSERT_NE(y, nullptr);
        EXPECT_NEAR(y[0], c.first, 1e-6 * std::fabs(c.first));
        EXPECT_NEAR(y[r0.nPts - 1], c.last, 1e-6 * std::fabs(c.last));
        EXPECT_EQ(s->lTime == -1, c.when == When::None);
        EXPECT_EQ(s->m_bNoTimeOfDay, c.when == When::DateOnly);
    }
}
