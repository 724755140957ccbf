#include "Fixtures.h"

#include "data/formats/Norvale.h"
#include "platform/Exceptions.h"
#include "platform/File.h"
#include "platform/MessageSink.h"

#include <gtest/gtest.h>

using fixtures::NorvaleFile;
using fixtures::NorvaleRegion;
using fixtures::NorvaleSpectrum;

namespace {

int Read(const std::vector<uint8_t>& bytes, CNorvale& model)
{
    CMemFile file(bytes, "old.dat");
    return model.ReadNorvale(file);
}

int Read(const std::vector<uint8_t>& bytes)
{
    CNorvale model;
    return Read(bytes, model);
}

struct RecordingSink : IMessageSink
{
    std::vector<std::string> texts;
    int ShowMessage(const std::string& text, unsigned) override
    {
        texts.push_back(text);
        return IDOK;
    }
};

} // namespace

TEST(NorvaleReader, SmallestWideScanReadsEveryField)
{
    const auto bytes = NorvaleFile{}.Build();
    ASSERT_EQ(bytes.size(), 664u);
    CNorvale model;
    ASSERT_EQ(Read(bytes, model), 0);
    ASSERT_EQ(model.GetSize(), 1);
    EXPECT_EQ(model.GetSpectrum(1), nullptr);
    EXPECT_EQ(model.GetSpectrum(-1), nullptr);
    const CNorvale::Spectrum* s = model.GetSpectrum(0);
    EXPECT_EQ(s->Source.lSource, 1253600);
    EXPECT_EQ(FieldText(s->szMode), "CAE");
    EXPECT_EQ(FieldText(s->szOperator), "Operator");
    ASSERT_EQ(s->m_pRgns.size(), 1u);
    const CNorvale::SpecRgn& r = s->m_pRgns[0];
    // 1000 V retard + 50 V pass - 120 = 930 eV.
    EXPECT_DOUBLE_EQ(r.RetardVoltsToKE(r.lStart_RV), 930.0);
    EXPECT_EQ(r.EnergyToRetardVolts(930.0), 1000000);
    const double* data = s->GetRgnData(0, 0);
    ASSERT_NE(data, nullptr);
    EXPECT_EQ(data[9], 9.0f);
    EXPECT_EQ(model.m_csFileName, "old.dat");
}

// Text fields filled to their last byte carry no terminator: each is read
// within its own field, never into the next.
TEST(NorvaleReader, FullTextFieldsStayWithinTheirField)
{
    NorvaleFile f;
    f.spectra[0].op = std::string(40, 'o');
    f.spectra[0].mode = "CRRX";
    f.spectra[0].comment = std::string(200, 'c');
    f.spectra[0].regions[0].region = std::string(12, 'r');
    f.spectra[0].regions[0].element = std::string(30, 'e');
    CNorvale model;
    ASSERT_EQ(Read(f.Build(), model), 0);
    const CNorvale::Spectrum* s = model.GetSpectrum(0);
    EXPECT_EQ(FieldText(s->szOperator), std::string(24, 'o'));
    EXPECT_EQ(FieldText(s->szMode), "CRRX");
    EXPECT_EQ(FieldText(s->szComment), std::string(128, 'c'));
    EXPECT_EQ(FieldText(s->m_pRgns[0].szRegion), std::string(10, 'r'));
    EXPECT_EQ(FieldText(s->m_pRgns[0].szElement), std::string(28, 'e'));
}

TEST(NorvaleReader, NarrowScanCarriesProfileRecordsAndLevelsLayOutPerRegion)
{
    NorvaleFile f;
    f.spectra[0].dataType = 2;
    f.spectra[0].levels = {0.0f, 10.0f};
    f.spectra[0].regions = {NorvaleRegion{}, NorvaleRegion{}};
    f.spectra[0].regions[1].nPts = 3;
    CNorvale model;
    ASSERT_EQ(Read(f.Build(), model), 0);
    const auto* s = model.GetSpectrum(0);
    EXPECT_EQ(s->m_pProfRgn.size(), 2u);
    EXPECT_EQ(s->GetRgnData(1, 1)[2], 1102.0f);
    EXPECT_EQ(s->GetRgnData(0, 1)[0], 100.0f);
    EXPECT_FLOAT_EQ(s->m_pLevels[1].fTime, 10.0f);
}

TEST(NorvaleReader, ManyLevelsAndRegionsCrossTheBufferRuns)
{
    NorvaleFile f;
    f.spectra[0].levels.assign(3000, 1.5f);
    f.spectra[0].regions.assign(1, NorvaleRegion{});
    f.spectra[0].regions[0].nPts = 1;
    CNorvale model;
    ASSERT_EQ(Read(f.Build(), model), 0);
    EXPECT_EQ(model.GetSpectrum(0)->m_pLevels.size(), 3000u);
    EXPECT_FLOAT_EQ(model.GetSpectrum(0)->m_pLevels[2999].fTime, 1.5f);

    NorvaleFile g;
    g.spectra[0].regions.assign(604, NorvaleRegion{});
    for (auto& r : g.spectra[0].regions)
        r.nPts = 1;
    ASSERT_EQ(Read(g.Build(), model), 0);
    EXPECT_EQ(model.GetSpectrum(0)->m_pRgns.size(), 604u);
    g.spectra[0].regions.push_back(g.spectra[0].regions[0]);
    EXPECT_EQ(Read(g.Build()), 2068);
}

TEST(NorvaleReader, SOrbitalNamesLoseTheirSpin)
{
    const std::pair<std::string, std::string> cases[] = {
        {"1s1/2", "1s"}, {"2p1/2", "2p1/2"}, {"7s1/2", "7s1/2"}, {"1s1/2x", "1s1/2x"}};
    for (const auto& [in, out] : cases) {
        SCOPED_TRACE(in);
        NorvaleFile f;
        f.spectra[0].regions[0].region = in;
        CNorvale model;
        ASSERT_EQ(Read(f.Build(), model), 0);
        EXPECT_EQ(FieldText(model.GetSpectrum(0)->m_pRgns[0].szRegion), out);
    }
}

TEST(NorvaleReader, MalformedFilesAreRefusedWithTheirMessage)
{
    struct Case
    {
        const char* name;
        void (*change)(NorvaleFile&);
        int expected;
    };
    const Case cases[] = {
        {"version 0x0FFF", [](NorvaleFile& f) { f.version = 0x0FFF; }, 2067},
        {"129 spectra", [](NorvaleFile& f) { f.nSpecOverride = 129; }, 2068},
        {"no spectra", [](NorvaleFile& f) { f.nSpecOverride = 0; }, 2068},
        {"second spectrum numbered 1",
         [](NorvaleFile& f) {
             f.spectra.push_back(f.spectra[0]);
             f.spectra[1].iSpec = 1;
         },
         2068},
        {"data type 0x0201", [](NorvaleFile& f) { f.spectra[0].dataType = 0x0201; }, 2068},
        {"data type 0x0003", [](NorvaleFile& f) { f.spectra[0].dataType = 0x0003; }, 2068},
        {"data type 0x0020", [](NorvaleFile& f) { f.spectra[0].dataType = 0x0020; }, 2068},
        {"data type 0x0101", [](NorvaleFile& f) { f.spectra[0].dataType = 0x0101; }, 0},
        {"no regions", [](NorvaleFile& f) { f.spectra[0].nRgnsOverride = 0; }, 2068},
        {"negative levels", [](NorvaleFile& f) { f.spectra[0].nLevelsOverride = -1; }, 2068},
        // The point count must match the regions: otherwise a region reaches
        // outside the data.
        {"point count larger than regions", [](NorvaleFile& f) { f.spectra[0].nPtsOverride = 11; }, 2068},
        {"point count smaller than regions", [](NorvaleFile& f) { f.spectra[0].nPtsOverride = 5; }, 2068},
        {"huge point count", [](NorvaleFile& f) { f.spectra[0].nPtsOverride = 0x7FFFFFFF; }, 2068},
        {"region without points", [](NorvaleFile& f) { f.spectra[0].regions[0].nPts = 0; }, 2068},
        {"later header with another spectrum count",
         [](NorvaleFile& f) {
             f.spectra.push_back(f.spectra[0]);
             f.headerNSpec = {2, 3};
         },
         2068},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        NorvaleFile f;
        c.change(f);
        EXPECT_EQ(Read(f.Build()), c.expected);
    }
}

TEST(NorvaleReader, FileCutAtAnyRecordEndsWithEndOfFile)
{
    NorvaleFile f;
    f.spectra[0].dataType = 2;
    f.spectra.push_back(f.spectra[0]);
    const auto bytes = f.Build();
    ASSERT_EQ(Read(bytes), 0);
    // Cuts inside the first header, the spectrum, levels, regions, profile
    // records, intensities and the second spectrum's header.
    for (size_t cut : {size_t(0), size_t(15), size_t(16), size_t(511), size_t(520), size_t(620), size_t(630),
                       size_t(660), size_t(667), size_t(670), bytes.size() - 1}) {
        SCOPED_TRACE(cut);
        std::vector<uint8_t> part(bytes.begin(), bytes.begin() + static_cast<long>(cut));
        EXPECT_EQ(Read(part), cut < 16 ? CNorvale::EndOfFirstHeader : 2065);
    }
}

TEST(NorvaleReader, ConstructorShowsTheMessageAndAbandons)
{
    RecordingSink sink;
    IMessageSink* old = SetMessageSink(&sink);
    NorvaleFile f;
    f.version = 0x0FFF;
    CMemFile bad(f.Build(), "old.dat");
    EXPECT_THROW(CNorvale{&bad}, CUserException);
    ASSERT_EQ(sink.texts.size(), 1u);
    EXPECT_EQ(sink.texts[0], "The file 'old.dat' cannot be read as it was written in a format which is not "
                             "compatible with this version of Veltrane");
    CMemFile tiny(std::vector<uint8_t>(10, 'N'), "tiny.dat");
    EXPECT_THROW(CNorvale{&tiny}, CFileException);
    SetMessageSink(old);
}
