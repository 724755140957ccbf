// The AES regions model: which list each experiment shows, the shared
// wide-scan region across the lists, edits from the table and the periodic
// table, clipboard records, the checks at Start, the settings-file section
// and the set-up taken from a document.

#include "SettingsBytes.h"
#include "acquire/core/AcqError.h"
#include "acquire/core/AesSetup.h"
#include "acquire/core/RegionClip.h"
#include "data/Region.h"
#include "data/StagePosn.h"
#include "data/VeltraneDoc.h"
#include "data/formats/RecordBuilder.h"
#include "platform/Archive.h"
#include "platform/Exceptions.h"
#include "platform/File.h"

#include <gtest/gtest.h>
#include <sstream>

namespace {
using A = CAcquireAES;
using R = CAesRgnModel;

// Copper with three Auger peaks, carbon with one, hydrogen with none.
const CPkLib& Lib()
{
    static const CPkLib lib = [] {
        CPkLib l;
        std::istringstream in("1s\n2p3/2\nKL1L1\nL3M23M23\nL3M45M45\nKLL\n\n"
                              "[PHYSICAL INFORMATION]\nCopper Cu 29 63.54\n[PHOTO PEAK DATA]\n"
                              "-2 931.1 555.5 15.95 16.76 0.0 0.0\n[AUGER PEAK DATA]\n"
                              "3 770.9 77\n4 846.1 89\n5 921.4 100\n\n"
                              "[PHYSICAL INFORMATION]\nCarbon C 6 12.01\n[PHOTO PEAK DATA]\n"
                              "-1 284.5 1202.1 1.0 1.0 2.0 2.0\n[AUGER PEAK DATA]\n6 263.0 100\n\n"
                              "[PHYSICAL INFORMATION]\nHydrogen H 1 1.01\n[PHOTO PEAK DATA]\n"
                              "1 13.6 1473.0 0.1 0.1 2.0 2.0\n[AUGER PEAK DATA]\n");
        EXPECT_EQ(l.Load(in), 0);
        return l;
    }();
    return lib;
}
const CPkLibElement* El(const char* symbol)
{
    return Lib().GetElement(symbol);
}

template <class F> unsigned Refusal(F f)
{
    try {
        f();
    } catch (const CAcqException& e) {
        return e.Error().id;
    }
    return 0;
}

std::vector<uint8_t> Stored(const CAesRgnModel& m)
{
    CMemFile file;
    {
        CArchive ar(&file, CArchive::store);
        m.Store(ar);
        ar.Flush();
    }
    return file.Data();
}

void LoadBytes(CAesRgnModel& m, const std::vector<uint8_t>& bytes)
{
    CMemFile file(bytes.data(), bytes.size());
    CArchive ar(&file, CArchive::load);
    m.Load(ar);
}

// A narrow-scan model holding Cu and C, with the wide-scan region between them.
void CuWideC(CAesRgnModel& m, int exp = A::Narrowscan)
{
    m.OnExpTypeChange(exp);
    m.AddRegion(El("Cu"), -1);
    m.UpdateRegion(nullptr, 1, -1);
    m.AddRegion(El("C"), -1);
}
} // namespace

TEST(AesRegions, ListShownAndWideOfferedByExperimentType)
{
    struct Case
    {
        int exp;
        bool list, peak, repeat, offersWide;
    } cases[] = {
        {A::Widescan, true, false, false, false},  {A::Narrowscan, true, false, false, true},
        {A::Profile, true, false, true, true},     {A::FastProfile, true, true, true, true},
        {A::AugerImage, true, true, false, false}, {A::SEImage, false, false, false, false},
    };
    CAesRgnModel m;
    for (const Case& c : cases) {
        m.OnExpTypeChange(c.exp);
        EXPECT_EQ(m.m_pRgnList != nullptr, c.list) << c.exp;
        EXPECT_EQ(R::PeakMode(c.exp), c.peak) << c.exp;
        EXPECT_EQ(R::RepeatUsed(c.exp), c.repeat) << c.exp;
        EXPECT_EQ(m.OffersWide(0), c.offersWide) << c.exp;
    }
    m.OnExpTypeChange(A::Widescan);
    ASSERT_EQ(m.NumRegions(), 1);
    const CRegion* wide = m.RegionAt(0);
    EXPECT_EQ(wide->GetName(), "Wide");
    EXPECT_EQ(wide->m_dFinish, 1000);
    EXPECT_EQ(wide->m_dBk2, 1000);
    EXPECT_EQ(wide->GetRetardRatio(), "Low");
    EXPECT_EQ(CAesRgnModel(true).GetWidescanRgn()->GetRetardRatio(), "High");
}

TEST(AesRegions, ElementsAndWideFillTheNarrowList)
{
    CAesRgnModel m;
    m.OnExpTypeChange(A::Narrowscan);
    // The default Auger peak is the last flagged one, else the first.
    EXPECT_TRUE(m.UpdateRegion(El("Cu"), 0, -1));
    const CRegion* cu = m.RegionAt(0);
    EXPECT_EQ(cu->GetRegion(), "KL1L1");
    EXPECT_EQ(cu->m_iRegion, 1);
    CPkLibElement flagged = *El("Cu");
    flagged.m_AugerPeaks[0].m_bDefaultPeak = flagged.m_AugerPeaks[1].m_bDefaultPeak = 1;
    m.AddRegion(&flagged, -1);
    EXPECT_EQ(m.RegionAt(1)->GetRegion(), "L3M23M23");
    EXPECT_EQ(m.RegionAt(1)->m_iRegion, 2);
    m.DeleteRegion(1);
    EXPECT_DOUBLE_EQ(cu->m_dPeak, 770.9);
    EXPECT_DOUBLE_EQ(cu->m_dStart, 760.9);
    EXPECT_DOUBLE_EQ(cu->m_dFinish, 780.9);
    EXPECT_DOUBLE_EQ(cu->m_dBk1, 780.9);
    EXPECT_DOUBLE_EQ(cu->m_dBk2, 760.9);
    EXPECT_DOUBLE_EQ(cu->m_dStep, 0.1);
    EXPECT_EQ(cu->m_dAnalyserEnergy, 10);
    EXPECT_EQ(cu->GetRetardRatio(), "High");

    // The periodic table's explicit index; an element without Auger peaks takes the stand-by peak.
    m.AddRegion(El("Cu"), 3);
    EXPECT_EQ(m.RegionAt(1)->GetRegion(), "L3M45M45");
    m.AddRegion(El("H"), -1);
    EXPECT_DOUBLE_EQ(m.RegionAt(2)->m_dPeak, 10);
    EXPECT_EQ(m.RegionAt(2)->m_iRegion, 1);
    // Its window starts at 0; the background below the peak is still measured.
    EXPECT_EQ(m.RegionAt(2)->m_dStart, 0);
    EXPECT_GT(m.RegionAt(2)->m_dBk2, 0);

    // "Wide" over a region replaces it; then it is offered only in its own column.
    EXPECT_FALSE(m.UpdateRegion(nullptr, 1, -1));
    EXPECT_TRUE(m.IsWide(m.RegionAt(1)));
    EXPECT_TRUE(m.WidescanUsed());
    EXPECT_TRUE(m.OffersWide(1));
    EXPECT_FALSE(m.OffersWide(0));
    EXPECT_FALSE(m.OffersWide(3));
    EXPECT_FALSE(m.UpdateRegion(nullptr, 3, -1)) << "never a second time";
    EXPECT_EQ(m.NumRegions(), 3);

    // An element chosen in the Wide column makes a region of its own there.
    m.UpdateRegion(El("C"), 1, -1);
    EXPECT_EQ(m.RegionAt(1)->GetName(), "C");
    EXPECT_EQ(m.GetWidescanRgn()->GetName(), "Wide");
    EXPECT_FALSE(m.WidescanUsed());
    // The wide-scan list is never edited from the table.
    m.OnExpTypeChange(A::Widescan);
    EXPECT_FALSE(m.UpdateRegion(El("C"), 0, -1));
    EXPECT_EQ(m.GetWidescanRgn()->GetName(), "Wide");
}

TEST(AesRegions, PeakChosenInTheRegionList)
{
    for (int exp : {A::Narrowscan, A::FastProfile}) {
        CAesRgnModel m;
        CuWideC(m, exp);
        EXPECT_TRUE(m.ChoosePeak(Lib(), 0, 2, "L3M45M45"));
        const CRegion* cu = m.RegionAt(0);
        EXPECT_EQ(cu->m_iRegion, 3);
        EXPECT_EQ(cu->GetRegion(), "L3M45M45");
        EXPECT_DOUBLE_EQ(cu->m_dPeak, 921.4);
        EXPECT_DOUBLE_EQ(cu->m_dBk1, 931.4);
        // Background 2 follows the peak only in peak mode.
        EXPECT_DOUBLE_EQ(cu->m_dBk2, exp == A::FastProfile ? 911.4 : 760.9);
        EXPECT_FALSE(m.ChoosePeak(Lib(), 1, 0, "KL1L1")) << "the Wide column";
        EXPECT_FALSE(m.ChoosePeak(Lib(), 3, 0, "KL1L1")) << "no region";
        EXPECT_FALSE(m.ChoosePass(3, "High"));
        EXPECT_FALSE(m.ChoosePass(0, ""));
        EXPECT_TRUE(m.ChoosePass(0, "20"));
        EXPECT_EQ(cu->m_dAnalyserEnergy, 20);
    }
}

TEST(AesRegions, TypedCellsAndTheEnergyResolution)
{
    struct Case
    {
        int exp, row;
        const char* typed;
        double CRegion::*field;
        double stored;
        const char* shown; // null: the text stays
    } cases[] = {
        {A::Narrowscan, R::Start, "12.345", &CRegion::m_dStart, 12.345, nullptr},
        {A::Narrowscan, R::Start, "12.3456", &CRegion::m_dStart, 12.345, "12.345"},
        {A::Narrowscan, R::Start, " 1.005 ", &CRegion::m_dStart, 1.005, nullptr},
        {A::Narrowscan, R::Finish, "2000.0009", &CRegion::m_dFinish, 2000.0, "2000.000"},
        {A::Narrowscan, R::Step, "0.0005", &CRegion::m_dStep, 0.0, "0.000"},
        {A::FastProfile, R::Start, "500.5", &CRegion::m_dPeak, 500.5, nullptr},
        {A::FastProfile, R::Finish, "", &CRegion::m_dBk1, 0.0, nullptr},
        {A::FastProfile, R::Step, "480.1239", &CRegion::m_dBk2, 480.123, "480.123"},
        {A::Narrowscan, R::Dwell, "250", &CRegion::m_dDwell, 250, nullptr},
    };
    for (const Case& c : cases) {
        CAesRgnModel m;
        CuWideC(m, c.exp);
        std::string text = c.typed;
        EXPECT_EQ(m.EditCell(0, c.row, text), c.shown != nullptr) << c.typed;
        EXPECT_EQ(m.RegionAt(0)->*c.field, c.stored) << c.typed;
        EXPECT_EQ(text, c.shown ? c.shown : c.typed);
    }
    CAesRgnModel m;
    CuWideC(m, A::Profile);
    std::string scans = "7", repeat = "99999999999", none = "5";
    m.EditCell(0, R::Scans, scans);
    m.EditCell(0, R::Repeat, repeat);
    EXPECT_EQ(m.RegionAt(0)->m_nScans, 7);
    EXPECT_EQ(m.RegionAt(0)->m_iRepeat, 2000000000) << "held to an int";
    EXPECT_FALSE(m.EditCell(5, R::Scans, none)) << "a column without region";
}

TEST(AesRegions, CopyPasteCutAndTheirEnableRules)
{
    CAesRgnModel m;
    CuWideC(m);
    unsigned format = 0;
    const auto wideBytes = m.CopyRegion(1, format);
    EXPECT_EQ(format, RegionClip::CF_WDERGN);
    const auto cuBytes = m.CopyRegion(0, format);
    EXPECT_EQ(format, RegionClip::CF_NRWRGN);
    EXPECT_TRUE(m.CopyRegion(3, format).empty());

    struct Enable
    {
        int col;
        bool narrow, wide, paste, cut;
    } rules[] = {
        {0, true, false, true, true},    {3, true, false, true, false}, {4, true, false, false, false},
        {-1, true, false, false, false}, {0, false, true, false, true}, {1, false, true, true, true},
        {3, false, false, false, false},
    };
    for (const Enable& e : rules) {
        EXPECT_EQ(m.CanPaste(e.col, e.narrow, e.wide), e.paste) << e.col << e.narrow << e.wide;
        EXPECT_EQ(m.CanCut(e.col), e.cut) << e.col;
        EXPECT_EQ(m.CanCopy(e.col), e.col >= 0 && e.col < 3) << e.col;
    }

    // A region pasted onto column 1 moves the others right.
    ASSERT_TRUE(m.PasteRegion(1, RegionClip::CF_NRWRGN, cuBytes.data(), cuBytes.size()));
    ASSERT_EQ(m.NumRegions(), 4);
    EXPECT_EQ(m.RegionAt(1)->GetName(), "Cu");
    EXPECT_NE(m.RegionAt(1), m.RegionAt(0));
    EXPECT_TRUE(m.IsWide(m.RegionAt(2)));

    // Cutting the Wide column keeps the region; "Wide" is offered again.
    m.DeleteRegion(2);
    EXPECT_EQ(m.NumRegions(), 3);
    EXPECT_FALSE(m.WidescanUsed());
    EXPECT_TRUE(m.OffersWide(3));
    EXPECT_EQ(m.GetWidescanRgn()->GetName(), "Wide");
    EXPECT_TRUE(m.CanPaste(0, false, true));

    // Nothing is pasted into the wide-scan list, nor from a block without a whole record.
    m.OnExpTypeChange(A::Widescan);
    EXPECT_FALSE(m.CanPaste(0, true, true));
    EXPECT_FALSE(m.CanCut(0));
    EXPECT_FALSE(m.PasteRegion(0, RegionClip::CF_NRWRGN, cuBytes.data(), cuBytes.size()));
    m.DeleteRegion(0);
    EXPECT_EQ(m.NumRegions(), 1);
    m.OnExpTypeChange(A::Narrowscan);
    for (size_t cut : {size_t(0), size_t(1), size_t(40), cuBytes.size() - 1})
        EXPECT_FALSE(m.PasteRegion(0, RegionClip::CF_NRWRGN, cuBytes.data(), cut)) << cut;
    std::vector<uint8_t> hostile(600, 0xFF);
    EXPECT_FALSE(m.PasteRegion(0, RegionClip::CF_WDERGN, hostile.data(), hostile.size()));
    EXPECT_FALSE(m.PasteRegion(0, RegionClip::CF_NRWRGN, nullptr, 100));
    EXPECT_EQ(m.NumRegions(), 3);
}

TEST(AesRegions, PastedWideReplacesItInEveryListAndNothingDangles)
{
    // Run under AddressSanitizer: a list that kept the freed region would be caught here.
    auto m = std::make_unique<CAesRgnModel>();
    CuWideC(*m);
    unsigned format = 0;
    auto bytes = m->CopyRegion(1, format);
    // The wide-scan region also goes into the image list by paste.
    m->OnExpTypeChange(A::AugerImage);
    m->AddRegion(El("C"), -1);
    ASSERT_TRUE(m->PasteRegion(0, format, bytes.data(), bytes.size()));
    CRegion* wide = m->GetWidescanRgn();
    EXPECT_EQ(m->RegionAt(0), wide);
    EXPECT_EQ(m->m_NarrowscanRegions[1], wide) << "the narrow list follows";

    // A changed wide-scan region pasted over the Wide column of the narrow list.
    m->OnExpTypeChange(A::Narrowscan);
    CRegion changed = *wide;
    changed.m_dFinish = 1500;
    bytes = RegionClip::Encode(changed);
    ASSERT_TRUE(m->PasteRegion(1, RegionClip::CF_WDERGN, bytes.data(), bytes.size()));
    wide = m->GetWidescanRgn();
    EXPECT_EQ(wide->m_dFinish, 1500);
    ASSERT_EQ(m->NumRegions(), 3) << "the pasted region took the old one's column";
    EXPECT_EQ(m->RegionAt(1), wide);
    EXPECT_EQ(m->m_ImageRegions[0], wide);
    for (const auto* list : {&m->m_NarrowscanRegions, &m->m_ImageRegions})
        for (const CRegion* r : *list)
            EXPECT_FALSE(r->GetName().empty()); // reads every entry

    // Cut from one list, pasted as Wide into the other, then "Wide" chosen again.
    m->DeleteRegion(1);
    m->OnExpTypeChange(A::AugerImage);
    m->DeleteRegion(0);
    ASSERT_TRUE(m->PasteRegion(1, RegionClip::CF_WDERGN, bytes.data(), bytes.size()));
    m->OnExpTypeChange(A::Narrowscan);
    m->UpdateRegion(nullptr, 0, -1);
    EXPECT_EQ(m->RegionAt(0), m->GetWidescanRgn());
    m.reset();
}

TEST(AesRegions, ErrorCheckPerExperimentType)
{
    auto bad = [](CRegion& r) {
        r.m_dStart = 500;
        r.m_dFinish = 400; // a spectrum range that fails
        r.m_iRepeat = 0;
    };
    struct Case
    {
        int exp;
        bool empty, spoil;
        unsigned id;
    } cases[] = {
        {A::SEImage, true, false, 0},        {A::Narrowscan, true, false, 2192},
        {A::AugerImage, true, false, 2192},  {A::Narrowscan, false, false, 0},
        {A::Narrowscan, false, true, 2200},  {A::Profile, false, true, 2111},
        {A::FastProfile, false, true, 2111}, {A::AugerImage, false, true, 0},
        {A::Widescan, false, false, 0},
    };
    for (const Case& c : cases) {
        CAesRgnModel m;
        m.OnExpTypeChange(c.exp);
        if (!c.empty && c.exp != A::Widescan)
            m.AddRegion(El("Cu"), -1);
        if (c.spoil)
            bad(*m.RegionAt(0));
        EXPECT_EQ(Refusal([&] { m.ErrorCheck(c.exp); }), c.id) << c.exp;
    }
    // Peak mode tests the backgrounds.
    CAesRgnModel m;
    m.OnExpTypeChange(A::FastProfile);
    m.AddRegion(El("Cu"), -1);
    m.RegionAt(0)->m_dBk2 = 3000.5;
    EXPECT_EQ(Refusal([&] { m.ErrorCheck(A::FastProfile); }), 2198u);
}

TEST(AesRegions, SettingsSectionRoundTripsAndMatchesTheLayout)
{
    CAesRgnModel m;
    CuWideC(m);
    m.m_iWidescanMode = 1;
    m.m_iAnalyserMode = 1;
    m.OnExpTypeChange(A::AugerImage);
    m.AddRegion(El("C"), -1);
    const auto bytes = Stored(m);

    CBytes expect;
    expect.i32(1).i32(0).i32(1).i32(1);
    expect.str("Wide").str("").f64(0).f64(1000).f64(1).f64(500).f64(0).f64(1000).f64(100).f64(50).str("Low");
    expect.i32(1).i32(1).i32(-1).i32(0).i32(0).i32(0);
    ASSERT_GE(bytes.size(), expect.b.size());
    EXPECT_TRUE(std::equal(expect.b.begin(), expect.b.end(), bytes.begin()));
    // The image list ends the section: a record with short names is the last thing read.
    CBytes tail;
    tail.i32(1).region("C", "KLL", 253, 273, 0.1, 263, 273, 253, 100, 10, 1, 1, 1);
    EXPECT_TRUE(std::equal(tail.b.begin(), tail.b.end(), bytes.end() - long(tail.b.size())));

    CAesRgnModel back;
    LoadBytes(back, bytes);
    EXPECT_EQ(back.m_iWidescanMode, 1);
    EXPECT_EQ(back.m_iAnalyserMode, 1);
    ASSERT_EQ(back.m_NarrowscanRegions.size(), 3u);
    ASSERT_EQ(back.m_ImageRegions.size(), 1u);
    EXPECT_EQ(back.m_NarrowscanRegions[0]->GetRegion(), "KL1L1");
    EXPECT_DOUBLE_EQ(back.m_NarrowscanRegions[2]->m_dPeak, 263.0);
    // The shared region comes back as a region of its own.
    EXPECT_EQ(back.m_NarrowscanRegions[1]->GetName(), "Wide");
    EXPECT_NE(back.m_NarrowscanRegions[1], back.GetWidescanRgn());
    EXPECT_EQ(Stored(back), bytes);
}

TEST(AesRegions, ShortOrCorruptSectionChangesNothing)
{
    CAesRgnModel m;
    CuWideC(m);
    const auto bytes = Stored(m);
    CAesRgnModel into;
    into.OnExpTypeChange(A::Narrowscan);
    into.AddRegion(El("C"), -1);
    const auto before = Stored(into);
    for (size_t n = 0; n < bytes.size(); ++n) {
        const std::vector<uint8_t> cut(bytes.begin(), bytes.begin() + long(n));
        EXPECT_THROW(LoadBytes(into, cut), CArchiveException) << n;
    }
    auto badMode = bytes;
    badMode[0] = 2;
    auto noWide = bytes;
    noWide[12] = 0;
    auto hugeCount = bytes;
    hugeCount[15] = 0x7F;
    for (const auto* b : {&badMode, &noWide, &hugeCount})
        EXPECT_THROW(LoadBytes(into, *b), CArchiveException);
    EXPECT_EQ(Stored(into), before);
    EXPECT_EQ(into.NumRegions(), 1);
}

TEST(AesRegions, SetUpTakenFromADocument)
{
    // Documents built from a set-up by the record builder, as Start builds them.
    auto document = [](CAesSetup& src, int exp) {
        src.m_Exp.m_iExperiment = exp;
        src.m_Rgn.OnExpTypeChange(exp);
        auto doc = std::make_unique<CVeltraneDoc>();
        auto posn = std::make_unique<CStagePosn>(0);
        CRecordBuilder::Build(*posn, src);
        doc->GetStagePosns()->push_back(std::move(posn));
        return doc;
    };
    CAesSetup src;
    CuWideC(src.m_Rgn, A::FastProfile);
    src.m_Rgn.RegionAt(0)->m_dBk1 = 0; // no background: +infinity in the document
    src.m_Rgn.m_iNarrowscanMode = 1;
    src.m_Rgn.m_iAnalyserMode = 1;
    src.m_Rgn.GetWidescanRgn()->m_dFinish = 1200;
    auto narrow = document(src, A::FastProfile);
    src.m_Rgn.GetWidescanRgn()->m_dFinish = 1300;
    src.m_Rgn.m_iWidescanMode = 1;
    auto wideDoc = document(src, A::Widescan);

    CAesRgnModel m;
    m.OnExpTypeChange(A::FastProfile);
    m.AddRegion(El("H"), -1);
    m.LoadFromDocument(*narrow, A::FastProfile);
    EXPECT_EQ(m.m_iNarrowscanMode, 1);
    EXPECT_EQ(m.m_iAnalyserMode, 1);
    ASSERT_EQ(m.NumRegions(), 3);
    EXPECT_EQ(m.RegionAt(0)->GetName(), "Cu");
    EXPECT_EQ(m.RegionAt(0)->m_dBk1, 0);
    EXPECT_TRUE(m.IsWide(m.RegionAt(1)));
    EXPECT_EQ(m.GetWidescanRgn()->m_dFinish, 1200);

    m.LoadFromDocument(*wideDoc, A::Widescan);
    EXPECT_EQ(m.m_iWidescanMode, 1);
    EXPECT_EQ(m.GetWidescanRgn()->m_dFinish, 1300);
    EXPECT_EQ(m.m_NarrowscanRegions[1], m.GetWidescanRgn()) << "the new one takes the old one's place";

    // An SE image document, or one without positions, changes nothing.
    CVeltraneDoc empty;
    m.LoadFromDocument(empty, A::Narrowscan);
    m.LoadFromDocument(*narrow, A::SEImage);
    EXPECT_EQ(m.m_NarrowscanRegions.size(), 3u);
}
