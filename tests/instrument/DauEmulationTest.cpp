// The emulated DAU: its replies, series and framing, through the link's
// ordinary reply parser.

#include "instrument/DAU.h"
#include "platform/Clock.h"

#include <cstring>
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace {

struct SEmulated
{
    SEmulated()
    {
        m_previous = SetClock(&m_clock);
        m_dau.SetSourceID(0x201);
        m_dau.SeedEmulation(7);
    }
    ~SEmulated() { SetClock(m_previous); }
    // Sends a command and reads its reply; returns the reply text ("" for none).
    std::string Ask(const std::string& cmd, int* result = nullptr)
    {
        EXPECT_EQ(m_dau.SendCommand(cmd.c_str()), 0);
        char* reply = nullptr;
        int r = m_dau.ReadReply(reply, 1000);
        if (result)
            *result = r;
        return reply ? reply : "";
    }
    std::vector<int> Values(int kind = 0)
    {
        int start, end, line, k;
        const unsigned char* data;
        m_dau.GetImageData(&start, &end, &line, &k, data);
        std::vector<int> v;
        for (int p = start; data && p <= end; ++p) {
            if (kind == -1)
                v.push_back(data[p - start]);
            else {
                int x;
                std::memcpy(&x, data + 4 * (p - start), 4);
                v.push_back(x);
            }
        }
        return v;
    }
    CManualClock m_clock;
    IClock* m_previous;
    CDAU m_dau;
};

} // namespace

TEST(DauEmulation, FixedReplies)
{
    SEmulated e;
    EXPECT_EQ(e.m_dau.Open(), 0);
    EXPECT_EQ(e.m_dau.GetConfiguration(), 0);
    EXPECT_EQ(e.m_dau.GetAnalyser(), CDAU::CMA);
    EXPECT_EQ(e.m_dau.GetTechniques(), CDAU::XPS | CDAU::AES | CDAU::UPS);
    EXPECT_TRUE(e.m_dau.HasMIED());

    int r;
    EXPECT_EQ(e.Ask("BEAM MD=SPOT,X0=1,Y0=2,X1=3,Y1=4,BR=256", &r), "DAUS CD=0");
    EXPECT_EQ(r, 0);
    EXPECT_EQ(e.Ask("ABRT", &r), "DAUS CD=4");
    EXPECT_EQ(r, 2276);
    EXPECT_EQ(e.Ask("ETCH TM=5", &r), "DAUS CD=3,TI=5");
    EXPECT_EQ(r, 0);

    // The emulation toggles whatever the operation asks.
    EXPECT_EQ(e.Ask("XRAY KD=MG,HT=10.0,EM=10.0,OP=ON", &r), "DAUS CD=1");
    EXPECT_EQ(r, 2273);
    EXPECT_EQ(e.Ask("XRAY KD=MG,HT=10.0,EM=10.0,OP=MD"), "DAUS CD=0");
    EXPECT_EQ(e.Ask("XRAY KD=MG,HT=10.0,EM=10.0,OP=ON", &r), "DAUS CD=2");
    EXPECT_EQ(r, 2274);
}

TEST(DauEmulation, SpectrumSeries)
{
    SEmulated e;
    EXPECT_EQ(e.Ask("SPEC TE=XPS,DT=SINGLE,MD=CAE,EP=20,ST=100,SW=1,PT=10,DW=100"), "DAUS CD=0");
    EXPECT_EQ(e.Ask("RQSP"), "SBSP BL=4,ST=1,FN=1");
    EXPECT_EQ(e.Values().size(), 1u);
    EXPECT_EQ(e.Ask("RQSP"), "SBSP BL=4,ST=2,FN=10");
    std::vector<int> v = e.Values();
    ASSERT_EQ(v.size(), 9u);
    // A Lorentzian of height 8000 centred on the range, plus noise below 256.
    for (int i = 0; i < 9; ++i) {
        double x = i + 3, c = 5.5, B = 10 / 8.0;
        int base = static_cast<int>(8000 * B * B / ((x - c) * (x - c) + B * B));
        EXPECT_GE(v[i], base);
        EXPECT_LT(v[i], base + 256);
    }
    int r;
    EXPECT_EQ(e.Ask("RQSP", &r), "DAUS CD=6");
    EXPECT_EQ(r, 2278);
}

TEST(DauEmulation, LineProfileWithBothBackgrounds)
{
    SEmulated e;
    e.Ask("LINP MD=CAE,EP=20,PK=1000,B1=990,B2=1010,DW=100,X0=0,Y0=0,X1=2,Y1=0,BR=256,MG=1000");
    EXPECT_EQ(e.Ask("RQLP"), "SBLP BL=4,KD=PK,ST=1,FN=3");
    EXPECT_EQ(e.Values(), (std::vector<int>{8, 12, 16}));
    EXPECT_EQ(e.Ask("RQLP"), "SBLP BL=4,KD=B1,ST=1,FN=3");
    EXPECT_EQ(e.Values(), (std::vector<int>{2, 3, 4}));
    EXPECT_EQ(e.Ask("RQLP"), "SBLP BL=4,KD=B2,ST=1,FN=3");
    EXPECT_EQ(e.Values(), (std::vector<int>{6, 9, 12}));
    EXPECT_EQ(e.Ask("RQLP"), "DAUS CD=6");
}

TEST(DauEmulation, LineCountsComeFromAbsoluteDifferences)
{
    SEmulated e;
    // A line drawn right to left has as many points as one drawn left to right.
    e.Ask("LINP MD=CAE,EP=20,PK=1000,DW=50,X0=40,Y0=0,X1=0,Y1=0,BR=256,MG=1000");
    EXPECT_EQ(e.Ask("RQLP"), "SBLP BL=4,KD=PK,ST=1,FN=21"); // 1000 / 50 = 20, plus the first
    EXPECT_EQ(e.Ask("RQLP"), "SBLP BL=4,KD=PK,ST=22,FN=41");
    EXPECT_EQ(e.Ask("RQLP"), "DAUS CD=6");
}

TEST(DauEmulation, MapAndSecondaryElectronImage)
{
    SEmulated e;
    e.Ask("SAMI MD=CAE,EP=20,PK=1000,B1=990,DW=10,X0=0,Y0=1,X1=1,Y1=0,DN=1,BR=256,MG=1000");
    std::vector<std::string> seen;
    for (std::string r = e.Ask("RQSA"); r.rfind("SBSA", 0) == 0; r = e.Ask("RQSA"))
        seen.push_back(r);
    EXPECT_EQ(seen,
              (std::vector<std::string>{"SBSA BL=4,KD=PK,LN=1,ST=1,FN=2", "SBSA BL=4,KD=B1,LN=1,ST=1,FN=2",
                                        "SBSA BL=4,KD=PK,LN=2,ST=1,FN=2", "SBSA BL=4,KD=B1,LN=2,ST=1,FN=2"}));

    e.Ask("SEMI PX=4,MG=1000");
    for (int line = 1; line <= 4; ++line) {
        EXPECT_EQ(e.Ask("RQSE"), "SBSE BL=1,LN=" + std::to_string(line) + ",ST=1,FN=4");
        EXPECT_EQ(e.Values(-1), (std::vector<int>{0, 1, 2, 3}));
    }
    EXPECT_EQ(e.Ask("RQSE"), "DAUS CD=6");
}

TEST(DauEmulation, IntensitiesSleepTheirDwell)
{
    SEmulated e;
    uint64_t t0 = e.m_clock.TickCount();
    std::string r = e.Ask("QINT TE=XPS,MD=CAE,EP=20,PK=285,B2=290,DW=250");
    EXPECT_EQ(e.m_clock.TickCount() - t0, 250u);
    // A lone second background is answered as the second background.
    EXPECT_EQ(r.find(",B1="), std::string::npos);
    int pk, b1, b2;
    e.m_dau.GetIntensityData(pk, b1, b2);
    EXPECT_GE(pk, 0);
    EXPECT_EQ(b1, -1);
    EXPECT_GE(b2, 1);

    e.Ask("QINT TE=XPS,MD=CAE,EP=20,PK=285,B1=280,B2=290,DW=10");
    e.m_dau.GetIntensityData(pk, b1, b2);
    EXPECT_GE(b1, 0);
    EXPECT_GE(b2, 1);
    e.Ask("QINT TE=XPS,MD=CAE,EP=20,PK=285,DW=10");
    e.m_dau.GetIntensityData(pk, b1, b2);
    EXPECT_EQ(b1, -1);
    EXPECT_EQ(b2, -1);
}

TEST(DauEmulation, NoReplyFallsIntoTheFramingHole)
{
    // Every size and dwell: each block parses, and the blocks cover every point once.
    for (int dwell : {0, 1, 3, 7, 20, 100}) {
        for (int n : {1, 50, 61, 62, 63, 64, 200, 999}) {
            SEmulated e;
            e.Ask("SPEC TE=XPS,DT=SINGLE,MD=CAE,EP=20,ST=100,SW=1,PT=" + std::to_string(n) +
                  ",DW=" + std::to_string(dwell));
            int next = 1, r = 0;
            for (int guard = 0; guard < 2000; ++guard) {
                e.Ask("RQSP", &r);
                if (r != 0)
                    break;
                int start, end;
                const unsigned char* data;
                e.m_dau.GetSpectralData(&start, &end, data);
                ASSERT_EQ(start, next) << n << " " << dwell;
                next = end + 1;
            }
            EXPECT_EQ(r, 2278);
            EXPECT_EQ(next, n + 1);
        }
    }
    for (int px : {200, 220, 230, 240, 250, 384, 500}) {
        SEmulated e;
        e.Ask("SEMI PX=" + std::to_string(px) + ",MG=1000");
        int r = 0, points = 0;
        for (int guard = 0; guard < 5000; ++guard) {
            e.Ask("RQSE", &r);
            if (r != 0)
                break;
            points += static_cast<int>(e.Values(-1).size());
        }
        EXPECT_EQ(r, 2278) << px;
        EXPECT_EQ(points, px * px);
    }
}

TEST(DauEmulation, NoLineOrMapBlockFallsIntoTheFramingHole)
{
    // Dwells around 1000 / 55 give blocks whose length would land on 254-256
    // bytes; every block must still parse and every point arrive once.
    for (int dwell = 1; dwell <= 60; ++dwell) {
        for (bool map : {false, true}) {
            SEmulated e;
            const std::string dw = ",DW=" + std::to_string(dwell);
            if (map)
                e.Ask("SAMI MD=CAE,EP=20,PK=1000" + dw + ",X0=0,Y0=1,X1=119,Y1=0,DN=1,BR=256,MG=1000");
            else
                e.Ask("LINP MD=CAE,EP=20,PK=1000,B1=990,B2=1010" + dw +
                      ",X0=0,Y0=0,X1=149,Y1=0,BR=256,MG=1000");
            int r = 0, points = 0;
            for (int guard = 0; guard < 1000; ++guard) {
                e.Ask(map ? "RQSA" : "RQLP", &r);
                if (r != 0)
                    break;
                points += static_cast<int>(e.Values().size());
            }
            EXPECT_EQ(r, 2278) << dwell << (map ? " map" : " line");
            EXPECT_EQ(points, map ? 240 : 450) << dwell << (map ? " map" : " line");
        }
    }
}

TEST(DauEmulation, UnreadableCommandsAreRefused)
{
    SEmulated e;
    int r;
    e.Ask("SPEC TE=XPS,PT=abc", &r);
    EXPECT_EQ(r, 2285);
    e.Ask("SAMI MD=CAE,EP=20,PK=1000,DW=10,X0=0,Y0=1,X1=1,Y1=0,DN=0,BR=256,MG=1000", &r);
    EXPECT_EQ(r, 2285);
}
