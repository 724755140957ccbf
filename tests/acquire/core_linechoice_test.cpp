// The line a new region measures when only an element is chosen, and the
// window placed around a line near either end of the analyser's range.

#include "acquire/core/LineChoice.h"
#include "data/Region.h"
#include "data/Source.h"
#include "data/formats/PkLib.h"

#include <gtest/gtest.h>
#include <sstream>

namespace {
// Magnesium: its default 1s line lies beyond the photons of a Mg anode, and
// the library gives it no Mg cross-section; 2s is its strongest line there.
// Carbon: one line. Boron: no line marked default.
const CPkLib& Lib()
{
    static const CPkLib lib = [] {
        CPkLib l;
        std::istringstream in("1s\n2s\n2p3/2\nKLL\n\n"
                              "[PHYSICAL INFORMATION]\nMagnesium Mg 12 24.32\n[PHOTO PEAK DATA]\n"
                              "-1 1305.0 181.6 0 11.16 2.0 2.0\n2 89.4 1397.2 0.5254 0.5749 2.0 2.0\n"
                              "3 51.4 1435.2 0.239 0.9 0.0 0.0\n[AUGER PEAK DATA]\n4 1180.9 100\n\n"
                              "[PHYSICAL INFORMATION]\nCarbon C 6 12.01\n[PHOTO PEAK DATA]\n"
                              "-1 284.5 1202.1 1.0 1.0 2.0 2.0\n[AUGER PEAK DATA]\n4 263.0 100\n\n"
                              "[PHYSICAL INFORMATION]\nBoron B 5 10.81\n[PHOTO PEAK DATA]\n"
                              "1 188.0 1298.6 0.49 0.48 2.0 2.0\n2 7.0 1479.6 0.9 0.9 2.0 2.0\n"
                              "[AUGER PEAK DATA]\n\n");
        EXPECT_EQ(l.Load(in), 0);
        return l;
    }();
    return lib;
}
} // namespace

TEST(LineChoice, AnElementAloneGetsALineTheSourceReaches)
{
    const double mg = CSource::m_MgKaEnergy, al = CSource::m_AlKaEnergy;
    struct Case
    {
        const char* element;
        int anode;
        double photon;
        int line;
        const char* why;
    } cases[] = {
        {"Mg", 1, al, 0, "Al reaches the default 1s"},
        {"Mg", 0, mg, 1, "Mg cannot reach 1s: the strongest line it reaches, by the Mg cross-sections"},
        {"Mg", 2, 1300, 1, "another source near Mg's energy weighs lines as Mg does"},
        {"Mg", 2, 2500, 0, "a harder source reaches the default"},
        {"Mg", 2, 0, 0, "no photon energy given: nothing in reach, the default stays"},
        {"C", 2, 5000, 0, "its one line beyond the analyser's range: the default stays"},
        {"B", 0, mg, 0, "no line marked default: the first"},
        {"B", 2, 100, 1, "the first is out of reach: the line the source reaches"},
    };
    for (const Case& c : cases) {
        const CPkLibElement* e = Lib().GetElement(c.element);
        ASSERT_NE(e, nullptr);
        EXPECT_EQ(ProposedXpsLine(*e, c.anode, c.photon), c.line) << c.why;
    }
}

TEST(LineChoice, TheWindowStaysWhereTheAnalyserMeasures)
{
    struct Case
    {
        double ke;
        bool bk2;
        double start, finish, bk1, bk2Value;
        const char* why;
    } cases[] = {
        {500, true, 490, 510, 510, 490, "10 eV either side"},
        {500, false, 490, 510, 510, 1, "background 2 kept unless asked"},
        {4, true, 0, 14, 14, 0.001, "a low line starts at 0; its low background stays measured"},
        {2995.5, true, 2985.5, 3000, 3000, 2985.5, "a high line ends at the largest energy"},
        {-50, true, -60, -40, -40, -60, "a line out of reach is left for the check at Start to refuse"},
    };
    for (const Case& c : cases) {
        CRegion r;
        r.m_dBk1 = r.m_dBk2 = 1;
        PlaceLineWindow(r, c.ke, c.bk2);
        EXPECT_DOUBLE_EQ(r.m_dPeak, c.ke) << c.why;
        EXPECT_DOUBLE_EQ(r.m_dStart, c.start) << c.why;
        EXPECT_DOUBLE_EQ(r.m_dFinish, c.finish) << c.why;
        EXPECT_DOUBLE_EQ(r.m_dBk1, c.bk1) << c.why;
        EXPECT_DOUBLE_EQ(r.m_dBk2, c.bk2Value) << c.why;
    }
    // A background switched off stays off.
    CRegion off;
    PlaceLineWindow(off, 500, true);
    EXPECT_EQ(off.m_dBk1, 0);
    EXPECT_EQ(off.m_dBk2, 0);
}
