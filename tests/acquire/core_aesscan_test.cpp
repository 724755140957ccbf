// AES scan positions: table units, image pixels at each image size, the
// line hit distance and the clipboard records.

#include "acquire/core/AesScan.h"

#include <gtest/gtest.h>

using namespace AesScan;

TEST(AesScan, TableUnitsFollowImageSize)
{
    struct Case
    {
        int size;
        int32_t scan, shown, back;
    };
    const Case cases[] = {
        {256, -512, -128, -512}, {256, 511, 127, 508},  {512, 511, 255, 510},
        {512, -3, -1, -2},       {1024, 511, 511, 511}, {1024, -512, -512, -512},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.size);
        EXPECT_EQ(ToTable(c.scan, c.size), c.shown);
        EXPECT_EQ(FromTable(c.shown, c.size), c.back);
    }
    EXPECT_EQ(ToTable(kMissing, 256), kMissing);
    EXPECT_EQ(FromTable(kMissing, 256), kMissing);
    // A huge typed value stays huge (refused later), it never wraps into the field.
    EXPECT_GT(FromTable(INT32_MAX / 2, 256), 511);
    EXPECT_LT(FromTable(INT32_MIN / 2, 256), -512);
}

TEST(AesScan, ScanAndImagePixelsAtEachSize)
{
    struct Case
    {
        int width;
        Point scan, pixel, back;
    };
    const Case cases[] = {
        {256, {-512, 511}, {0, 0}, {-512, 508}},  {256, {511, -512}, {255, 255}, {508, -512}},
        {512, {0, 0}, {256, 255}, {0, 0}},        {512, {-512, 511}, {0, 0}, {-512, 510}},
        {1024, {-512, 511}, {0, 0}, {-512, 511}}, {1024, {511, -512}, {1023, 1023}, {511, -512}},
        // Another width: an entry placed on a pixel is drawn on that pixel.
        {100, {-40, 39}, {10, 10}, {-40, 39}},    {100, {49, -50}, {99, 99}, {49, -50}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.width);
        EXPECT_EQ(ScanToImage(c.scan, c.width), c.pixel);
        EXPECT_EQ(ImageToScan(c.pixel, c.width), c.back);
    }
    for (int width : {256, 512, 1024, 100, 8})
        for (Point pixel : {Point{0, 0}, Point{width / 3, width - 1}, Point{width - 1, 1}}) {
            SCOPED_TRACE(width);
            EXPECT_EQ(ScanToImage(ImageToScan(pixel, width), width), pixel);
        }
}

TEST(AesScan, ConversionsNeverLeaveTheImage)
{
    // Out-of-field or extreme values (a table still being typed, a pasted
    // record) must not yield a pixel outside the image.
    const int32_t extremes[] = {INT32_MIN + 1, -513, 512, INT32_MAX};
    for (int width : {256, 512, 1024})
        for (int32_t v : extremes) {
            const Point p = ScanToImage({v, v}, width);
            EXPECT_GE(p.x, 0);
            EXPECT_LT(p.x, width);
            EXPECT_GE(p.y, 0);
            EXPECT_LT(p.y, width);
            const Point s = ImageToScan({v, v}, width);
            EXPECT_GE(s.x, -512);
            EXPECT_LE(s.x, 511);
        }
}

TEST(AesScan, SquaredDistanceToLineIn64Bits)
{
    EXPECT_EQ(SquaredDistanceToSegment({0, 0}, {10, 0}, {5, 3}), 9);
    EXPECT_EQ(SquaredDistanceToSegment({0, 0}, {10, 0}, {-3, 4}), 25); // beyond an end
    EXPECT_EQ(SquaredDistanceToSegment({2, 2}, {2, 2}, {5, 6}), 25);   // a line of no length
    // Far-apart window coordinates overflow a 32-bit square.
    EXPECT_EQ(SquaredDistanceToSegment({0, 0}, {0, 0}, {100000, 0}), int64_t{10000000000});
}

TEST(AesScan, ClipboardRecordsRoundTripAndRefuseWrongSizes)
{
    const Point p{-512, 511};
    const Area a{-10, 20, 30, -40};
    auto bp = EncodePoint(p);
    auto ba = EncodeArea(a);
    ASSERT_EQ(bp.size(), 8u);
    ASSERT_EQ(ba.size(), 16u);
    EXPECT_EQ(DecodePoint(bp.data(), bp.size()), p);
    EXPECT_EQ(DecodeArea(ba.data(), ba.size()), a);
    // Little-endian: -512 is 00 FE FF FF.
    EXPECT_EQ(bp[0], 0x00);
    EXPECT_EQ(bp[1], 0xFE);
    EXPECT_EQ(bp[3], 0xFF);
    for (std::size_t n = 0; n < ba.size(); ++n)
        if (n != 8) {
            EXPECT_FALSE(DecodePoint(ba.data(), n)) << n;
        }
    for (std::size_t n = 0; n < 16; ++n)
        EXPECT_FALSE(DecodeArea(ba.data(), n)) << n;
    EXPECT_FALSE(DecodeArea(nullptr, 16));
    ba.push_back(0);
    EXPECT_FALSE(DecodeArea(ba.data(), ba.size()));
}

#include "acquire/core/AcqError.h"
#include "data/AcquireSheet.h"

namespace {
unsigned CheckId(int exp, int control, bool line, std::vector<Point> pts, std::vector<Area> areas,
                 uint32_t mag = 1)
{
    try {
        CheckPositions(exp, control, line, pts, areas, mag);
    } catch (const CAcqException& e) {
        return e.Error().id;
    }
    return 0;
}
} // namespace

TEST(AesScan, StartRefusesIncompleteOrOutOfFieldPositions)
{
    using E = CAcquireAES;
    using C = CAcquireAES_Scn;
    const Area good{-10, 10, 10, -10};
    struct Case
    {
        int exp, control;
        bool line;
        std::vector<Point> pts;
        std::vector<Area> areas;
        uint32_t mag;
        unsigned id;
    };
    const Case cases[] = {
        {E::Widescan, C::None, false, {}, {}, 1, 0},
        {E::Widescan, C::FullScan, false, {}, {}, 1, 0},
        {E::Profile, C::Point, false, {}, {}, 1, 2099},
        {E::Profile, C::Point, false, {{0, kMissing}}, {}, 1, 2098},
        {E::Profile, C::Point, false, {{512, 0}}, {}, 1, 2098},
        {E::Profile, C::Point, false, {{-512, 511}}, {}, 1, 0},
        {E::Narrowscan, C::AreaScan, false, {}, {}, 1, 2096},
        {E::Narrowscan, C::AreaScan, false, {}, {{10, 10, -10, -10}}, 1, 2097}, // x0 not below x1
        {E::Narrowscan, C::AreaScan, false, {}, {{-10, -10, 10, 10}}, 1, 2097}, // y0 not above y1
        {E::Narrowscan, C::AreaScan, false, {}, {good}, 1, 0},
        {E::AugerImage, C::None, false, {}, {}, 1, 2096},
        {E::AugerImage, C::None, true, {}, {{10, -10, -10, 10}}, 1, 0}, // a line may run any way
        {E::AugerImage, C::None, true, {}, {{10, -10, -10, 512}}, 1, 2097},
        {E::AugerImage, C::None, false, {}, {good}, 0, 2100},
        {E::SEImage, C::None, false, {}, {}, 200000, 0},
        {E::SEImage, C::None, false, {}, {}, 200001, 2100},
    };
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        const Case& c = cases[i];
        EXPECT_EQ(CheckId(c.exp, c.control, c.line, c.pts, c.areas, c.mag), c.id) << "case " << i;
    }
    CAcqError e{2100, {"200000"}};
    EXPECT_EQ(e.Text(), "The magnification must be between 1 and 200000");
}
