// The DAU reply parser over packet bytes: status mapping, data replies in
// both packet sizes, intensities, and packets that must be refused.

#include "instrument/DauReply.h"
#include "tools/dausim/DauSimulator.h"

#include <cstring>
#include <gtest/gtest.h>

namespace {

int Parse(Packet& p, const char* last, SDauReply& r)
{
    char cmd[4] = {};
    std::memcpy(cmd, last, std::min<size_t>(std::strlen(last), 4));
    return ParseDauReply(p.data(), p.size(), cmd, r);
}

int ParseText(const std::string& text, const char* last = "")
{
    Packet p = CDauSimulator::FrameText(text);
    SDauReply r;
    return Parse(p, last, r);
}

Packet Values(std::initializer_list<uint32_t> values)
{
    Packet d;
    for (uint32_t v : values)
        for (int s = 24; s >= 0; s -= 8)
            d.push_back(static_cast<uint8_t>(v >> s));
    return d;
}

} // namespace

TEST(DauReply, StatusCharactersMapToMessages)
{
    struct
    {
        const char* text;
        const char* last;
        int id;
    } cases[] = {
        {"DAUS CD=0", "SPEC", 0},
        {"DAUS CD=1", "XRAY", 2273},
        {"DAUS CD=3", "ETCH", 0},
        {"DAUS CD=3", "BEAM", 2275},
        {"DAUS CD=9", "XRAY", 2281},
        {"DAUS CD=A", "", 2282},
        {"DAUS CD=F", "RQSP", 2287},
        {"DAUS CD=G", "", 2288},
        {"DAUS CD=:", "", 2282},
        {"DAUS CD=?", "", 2287},
        {"DAUS CD=@", "", 2288},
        {"DAUS CD=/", "", 2288},
        {"DAUS", "", 0},
        {"DAUS XX=1", "", 0},
        {"DAUS CD=3,TI=5", "ETCH", 0},
        {"CNFG AN=HSA,TE=AES,IG=NO", "GETI", 0},
        {"CNFG AN=HSA,TE=AES,IG=NO", "BEAM", 2288},
        {"WHAT", "", 2288},
        {"", "", 2288},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ParseText(c.text, c.last), c.id) << c.text << " after " << c.last;
}

TEST(DauReply, SpectrumDataAreSwappedToNativeIntegers)
{
    Packet p = CDauSimulator::FrameData("SBSP BL=4,ST=1,FN=3", Values({1, 2, 3}));
    SDauReply r;
    ASSERT_EQ(Parse(p, "RQSP", r), 0);
    EXPECT_STREQ(r.m_pszText, "SBSP BL=4,ST=1,FN=3");
    EXPECT_EQ(r.m_iStart, 1);
    EXPECT_EQ(r.m_iEnd, 3);
    ASSERT_EQ(r.m_nDataBytes, 12u);
    int32_t v[3];
    std::memcpy(v, r.m_pbData, 12);
    EXPECT_EQ(v[0], 1);
    EXPECT_EQ(v[1], 2);
    EXPECT_EQ(v[2], 3);
}

TEST(DauReply, LongPacketsCarryLargeBlocks)
{
    std::initializer_list<uint32_t> none{};
    Packet data = Values(none);
    for (uint32_t i = 1; i <= 100; ++i) {
        Packet one = Values({0x01020300u + i});
        data.insert(data.end(), one.begin(), one.end());
    }
    Packet p = CDauSimulator::FrameData("SBSA BL=4,KD=B2,LN=7,ST=101,FN=200", data);
    ASSERT_EQ(p.size(), 512u);
    EXPECT_EQ(p[2], 0);
    SDauReply r;
    ASSERT_EQ(Parse(p, "RQSA", r), 0);
    EXPECT_EQ(r.m_iKind, 2);
    EXPECT_EQ(r.m_iLine, 7);
    EXPECT_EQ(r.m_iStart, 101);
    EXPECT_EQ(r.m_iEnd, 200);
    uint32_t last;
    std::memcpy(&last, r.m_pbData + 396, 4);
    EXPECT_EQ(last, 0x01020300u + 100);
}

TEST(DauReply, AnUnknownPlaneNameKeepsThePlaneOfTheLastReply)
{
    SDauReply r;
    r.m_iKind = 1;
    Packet unknown = CDauSimulator::FrameData("SBLP BL=4,KD=XX,ST=1,FN=3", Values({1, 2, 3}));
    ASSERT_EQ(Parse(unknown, "RQLP", r), 0);
    EXPECT_EQ(r.m_iKind, 1);
    EXPECT_EQ(r.m_iStart, 1);
    EXPECT_EQ(r.m_iEnd, 3);
    Packet peak = CDauSimulator::FrameData("SBSA BL=4,KD=PK,LN=2,ST=1,FN=3", Values({1, 2, 3}));
    ASSERT_EQ(Parse(peak, "RQSA", r), 0);
    EXPECT_EQ(r.m_iKind, 0);
    Packet odd = CDauSimulator::FrameData("SBSA BL=4,KD=Q?,LN=3,ST=2,FN=4", Values({1, 2, 3}));
    ASSERT_EQ(Parse(odd, "RQSA", r), 0);
    EXPECT_EQ(r.m_iKind, 0);
    EXPECT_EQ(r.m_iLine, 3);
    EXPECT_FALSE(r.m_bMalformed);
}

TEST(DauReply, SecondaryElectronBytesAreNotSwapped)
{
    Packet p = CDauSimulator::FrameData("SBSE BL=1,LN=2,ST=1,FN=4", Packet{0, 1, 2, 3});
    SDauReply r;
    ASSERT_EQ(Parse(p, "RQSE", r), 0);
    EXPECT_EQ(r.m_iKind, -1);
    EXPECT_EQ(r.m_iLine, 2);
    EXPECT_EQ(std::vector<uint8_t>(r.m_pbData, r.m_pbData + 4), (std::vector<uint8_t>{0, 1, 2, 3}));
}

TEST(DauReply, IntensityFields)
{
    struct
    {
        const char* text;
        int pk, b1, b2;
    } cases[] = {
        {"SBQI PK=100", 100, -1, -1},
        {"SBQI PK=100,B2=7", 100, -1, 7},
        {"SBQI PK=100,B1=5,B2=7", 100, 5, 7},
        {"SBQI PK=100,B1=5", 100, 5, -1},
    };
    for (const auto& c : cases) {
        Packet p = CDauSimulator::FrameText(c.text);
        SDauReply r;
        ASSERT_EQ(Parse(p, "QINT", r), 0) << c.text;
        EXPECT_EQ(r.m_iPk, c.pk) << c.text;
        EXPECT_EQ(r.m_iBk1, c.b1) << c.text;
        EXPECT_EQ(r.m_iBk2, c.b2) << c.text;
    }
    EXPECT_EQ(ParseText("SBQI PK=x", "QINT"), 2288);
}

TEST(DauReply, MalformedPacketsAreRefused)
{
    auto refused = [](Packet p, const char* what) {
        SDauReply r;
        int id = Parse(p, "RQSP", r);
        EXPECT_EQ(id, 2288) << what;
        EXPECT_TRUE(r.m_bMalformed) << what;
    };
    Packet good = CDauSimulator::FrameData("SBSP BL=4,ST=1,FN=3", Values({1, 2, 3}));
    {
        Packet p = good;
        p[p[2]] += 1; // length byte disagrees with the ';'
        refused(p, "length byte");
    }
    refused(CDauSimulator::FrameData("SBSP BL=4,ST=1,FN=3", Packet{0, 0, 0, 1, 0, 0}), "partial value");
    refused(CDauSimulator::FrameData("SBSP BL=4,ST=1,FN=4", Values({1, 2, 3})), "fewer values than named");
    refused(CDauSimulator::FrameData("SBSP BL=4,ST=3,FN=1", Values({1, 2, 3})), "end before start");
    refused(CDauSimulator::FrameData("SBSP BL=4,ST=0,FN=2", Values({1, 2, 3})), "point 0");
    refused(CDauSimulator::FrameData("SBSA BL=4,KD=PK,LN=0,ST=1,FN=3", Values({1, 2, 3})), "line 0");
    {
        Packet p(256, 'A');
        p[2] = 10; // text without its terminating 0
        refused(p, "unterminated text");
    }
    {
        Packet p(256, 0);
        p[2] = 1; // offset inside the header
        refused(p, "offset in header");
    }
    {
        Packet p(512, 0);
        p[2] = 5; // a long packet must name its offset in byte 3
        refused(p, "long packet with short header");
    }
    refused(Packet(100, 0), "odd length");
}
