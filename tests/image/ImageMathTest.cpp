// The arithmetic of the image display: grey levels at the range ends and
// over the whole int range, pixel layouts, fit and zoom steps, window
// mapping, repaint strips, line-scan means, the bitmap file byte by byte
// (read back by Qt) and the bitmap file names.

#include "app/image/ImageMath.h"

#include <QImage>
#include <climits>
#include <cstring>
#include <gtest/gtest.h>

using namespace img;

namespace {

uint32_t U32(const std::vector<uint8_t>& b, size_t at)
{
    return uint32_t(b[at]) | uint32_t(b[at + 1]) << 8 | uint32_t(b[at + 2]) << 16 | uint32_t(b[at + 3]) << 24;
}
uint16_t U16(const std::vector<uint8_t>& b, size_t at)
{
    return uint16_t(b[at] | b[at + 1] << 8);
}

TEST(GreyLevel, RangeEndsAndWholeIntRange)
{
    struct Case
    {
        int depth;
        int64_t v;
        int iMin, iMax;
        int level;
    } cases[] = {
        {8, 0, 0, 100, 0},
        {8, 100, 0, 100, 127},
        {8, 50, 0, 100, 63},
        {16, 100, 0, 100, 31},
        {16, 0, 0, 100, 0},
        {32, 100, 0, 100, 255},
        {24, -5, 0, 100, 0},
        {24, 1000, 0, 100, 255}, // outside the range: clamped
        {32, 7, 7, 7, 0},
        {8, 7, 7, 7, 0}, // flat image: level 0
        {32, 8, 7, 7, 255},
        {4, 100, 0, 100, 15},
        // The full int range: (v - min) and max - min do not fit 32 bits.
        {32, INT_MAX, INT_MIN, INT_MAX, 255},
        {32, INT_MIN, INT_MIN, INT_MAX, 0},
        {32, 0, INT_MIN, INT_MAX, 128},
        {8, INT_MAX, INT_MIN, INT_MAX, 127},
    };
    for (const Case& c : cases)
        EXPECT_EQ(GreyLevel(c.v, c.iMin, c.iMax, GreyScaleForDepth(c.depth)), c.level)
            << "depth " << c.depth << " v " << c.v << " range " << c.iMin << ".." << c.iMax;
}

TEST(GreyLevel, PixelLayoutsOfEachDepth)
{
    const int data[3] = {0, 50, 100};
    uint8_t raster[2 * 16] = {};
    ConvertPoints(raster, 16, PixelFormat::Rgb555, 3, data, nullptr, 1, 2, 0, 100);
    uint16_t w[3];
    std::memcpy(w, raster, 6);
    EXPECT_EQ(w[0], 0); // point 0 untouched
    EXPECT_EQ(w[1], 15 + 15 * 32 + 15 * 1024);
    EXPECT_EQ(w[2], 31 + 31 * 32 + 31 * 1024);

    uint8_t rgb[12] = {};
    ConvertPoints(rgb, 12, PixelFormat::Rgb24, 3, data, nullptr, 0, 2, 0, 100);
    EXPECT_EQ(std::vector<uint8_t>(rgb, rgb + 9),
              (std::vector<uint8_t>{0, 0, 0, 127, 127, 127, 255, 255, 255}));

    uint32_t px[3] = {};
    ConvertPoints(reinterpret_cast<uint8_t*>(px), 12, PixelFormat::Rgb32, 3, data, nullptr, 0, 2, 0, 100);
    EXPECT_EQ(px[1], 0xFF7F7F7Fu);

    // Row-major points across a row boundary land in the right rows.
    const uint8_t bytes[6] = {0, 255, 0, 255, 0, 255};
    uint8_t idx[2 * 4] = {};
    ConvertPoints(idx, 4, PixelFormat::Index8, 3, nullptr, bytes, 2, 4, 0, 255);
    EXPECT_EQ(std::vector<uint8_t>(idx, idx + 8), (std::vector<uint8_t>{0, 0, 0, 0, 127, 0, 0, 0}));
}

TEST(ZoomStep, FitCentresOnTheSpareAxisAndNeverDrifts)
{
    SView v;
    ASSERT_TRUE(ZoomStep(v, CRect(10, 10, 410, 310), 256, 256, 0, true));
    EXPECT_EQ(v.rImage, CRect(60, 10, 360, 310));
    EXPECT_EQ(v.cx, 300);
    // A fit of what is already fitted changes nothing, however often asked.
    EXPECT_FALSE(ZoomStep(v, CRect(10, 10, 410, 310), 256, 256, 0, false));

    SView wide;
    ZoomStep(wide, CRect(0, 0, 100, 100), 200, 100, 0, true);
    EXPECT_EQ(wide.rImage, CRect(0, 25, 100, 75));
    SView odd;
    ZoomStep(odd, CRect(0, 0, 101, 77), 3, 7, 0, true);
    EXPECT_FALSE(ZoomStep(odd, CRect(0, 0, 101, 77), 3, 7, 0, false));

    // An image far thinner than the pane still shows as one pixel across.
    const struct
    {
        int nX, nY;
        CRect want;
    } thin[] = {
        {3, 1000, CRect(49, 0, 50, 200)},
        {1000, 3, CRect(0, 99, 100, 100)},
        {1, 100000, CRect(49, 0, 50, 200)},
    };
    for (const auto& t : thin) {
        SView v;
        ZoomStep(v, CRect(0, 0, 100, 200), t.nX, t.nY, 0, true);
        EXPECT_EQ(v.rImage, t.want) << t.nX << " x " << t.nY;
        EXPECT_TRUE(t.want.PtInRect(ImageToWindow(v, CPoint(t.nX - 1, t.nY - 1)))) << t.nX << " x " << t.nY;
        EXPECT_EQ(WindowToImage(v, CPoint(t.want.left, t.want.top)), CPoint(0, 0)) << t.nX << " x " << t.nY;
    }
}

TEST(ZoomStep, InAndOutByHalvesAboutTheCentre)
{
    const CRect avail(0, 0, 160, 160);
    SView v;
    ZoomStep(v, avail, 4, 4, 0, true);
    EXPECT_FALSE(ZoomStep(v, avail, 4, 4, -1, false)); // fitted: no zoom out
    EXPECT_TRUE(ZoomStep(v, avail, 4, 4, 1, true));
    EXPECT_EQ((std::vector<int>{v.iX0, v.iY0, v.cX, v.cY, v.iZoom}), (std::vector<int>{1, 1, 2, 2, 1}));
    const SView before = v;
    EXPECT_FALSE(ZoomStep(v, avail, 4, 4, 1, true)); // 1 x 1 would be too small
    EXPECT_EQ(v.iX0, before.iX0);
    EXPECT_EQ(v.cX, before.cX);

    SView w;
    ZoomStep(w, avail, 16, 16, 0, true);
    ZoomStep(w, avail, 16, 16, 1, true);
    ZoomStep(w, avail, 16, 16, 1, true);
    EXPECT_EQ((std::vector<int>{w.iX0, w.cX, w.iZoom}), (std::vector<int>{6, 4, 2}));
    EXPECT_EQ(w.rImage, CRect(0, 0, 160, 160)); // the window rectangle stays
    ASSERT_TRUE(ZoomStep(w, avail, 16, 16, -1, true));
    EXPECT_EQ((std::vector<int>{w.iX0, w.cX, w.iZoom}), (std::vector<int>{4, 8, 1}));
    ASSERT_TRUE(ZoomStep(w, avail, 16, 16, -1, true)); // out of level 1: the fit
    EXPECT_EQ((std::vector<int>{w.iX0, w.cX, w.iZoom}), (std::vector<int>{0, 16, 0}));

    SView empty;
    EXPECT_FALSE(ZoomStep(empty, avail, 0, 5, 0, true));
    EXPECT_FALSE(ZoomStep(empty, avail, 5, 0, 1, true));
}

TEST(ZoomStep, WindowAndImagePointsMapBothWays)
{
    SView v;
    ZoomStep(v, CRect(20, 10, 420, 410), 100, 100, 0, true); // 4 pixels a point
    ZoomStep(v, CRect(20, 10, 420, 410), 100, 100, 1, true); // points 25..74
    EXPECT_EQ(ImageToWindow(v, CPoint(25, 25)), CPoint(20, 10));
    EXPECT_EQ(ImageToWindow(v, CPoint(30, 26)), CPoint(60, 18));
    EXPECT_EQ(WindowToImage(v, CPoint(60, 18)), CPoint(30, 26));
    EXPECT_EQ(WindowToImage(v, CPoint(27, 13)), CPoint(25, 25)); // truncated
}

TEST(RowStrip, CoversTheRowsAndOnePixelMore)
{
    SView v;
    ZoomStep(v, CRect(0, 10, 200, 210), 100, 100, 0, true); // 2 pixels a row
    const SStrip s = RowStrip(v, 3, 5);
    EXPECT_EQ(s.top, 16);
    EXPECT_EQ(s.bottom, 23);
}

TEST(RunningMean, AveragesOverScans)
{
    double y = 0.0;
    const double values[] = {10.0, 30.0, 50.0, 10.0};
    const double means[] = {10.0, 20.0, 30.0, 25.0};
    for (int s = 0; s < 4; ++s) {
        y = RunningMean(y, values[s], s);
        EXPECT_DOUBLE_EQ(y, means[s]) << "scan " << s;
    }
}

class GreyBitmap : public ::testing::TestWithParam<int>
{
};

TEST_P(GreyBitmap, HeaderPaletteAndPaddedBottomUpRows)
{
    const int nX = GetParam(), nY = 3;
    std::vector<uint8_t> grey(size_t(nX * nY));
    for (size_t i = 0; i < grey.size(); ++i)
        grey[i] = uint8_t(i * 17 + 3);
    const std::vector<uint8_t> b = EncodeGreyBitmap(grey.data(), nX, nY);
    const int pad = (4 - nX % 4) % 4, line = nX + pad;
    ASSERT_EQ(b.size(), size_t(line * nY + 1078));
    EXPECT_EQ(U16(b, 0), 19778); // "BM"
    EXPECT_EQ(U32(b, 2), uint32_t(line * nY + 1078));
    EXPECT_EQ(U16(b, 6), 0);
    EXPECT_EQ(U16(b, 8), 0);
    EXPECT_EQ(U32(b, 10), 1078u);
    EXPECT_EQ(U32(b, 14), 40u);
    EXPECT_EQ(U32(b, 18), uint32_t(nX));
    EXPECT_EQ(U32(b, 22), uint32_t(nY)); // positive: bottom-up
    EXPECT_EQ(U16(b, 26), 1);
    EXPECT_EQ(U16(b, 28), 8);
    for (size_t at = 30; at < 54; at += 4)
        EXPECT_EQ(U32(b, at), 0u) << "header field at " << at;
    for (uint32_t i = 0; i < 256; ++i)
        ASSERT_EQ(U32(b, 54 + 4 * i), i | i << 8 | i << 16) << "colour " << i;
    for (int r = 0; r < nY; ++r) {
        const size_t row = 1078 + size_t(r * line);
        for (int c = 0; c < nX; ++c)
            EXPECT_EQ(b[row + size_t(c)], grey[size_t((nY - 1 - r) * nX + c)]);
        for (int p = 0; p < pad; ++p)
            EXPECT_EQ(b[row + size_t(nX + p)], 0);
    }

    // Qt's reader sees the same picture.
    QImage q;
    ASSERT_TRUE(q.loadFromData(b.data(), int(b.size()), "BMP"));
    ASSERT_EQ(q.width(), nX);
    ASSERT_EQ(q.height(), nY);
    for (int y = 0; y < nY; ++y)
        for (int x = 0; x < nX; ++x)
            ASSERT_EQ(q.pixel(x, y),
                      qRgb(grey[size_t(y * nX + x)], grey[size_t(y * nX + x)], grey[size_t(y * nX + x)]))
                << x << "," << y;
}
INSTANTIATE_TEST_SUITE_P(OddAndEvenWidths, GreyBitmap, ::testing::Values(5, 4, 1, 7));

TEST(GreyBitmap, IntImagesUseTheRangeInUse)
{
    const int data[4] = {0, 100, 200, 300};
    EXPECT_EQ(GreyBytes(data, nullptr, 2, 2, 0, 200), (std::vector<uint8_t>{0, 127, 255, 255}));
    const uint8_t bytes[2] = {9, 250};
    EXPECT_EQ(GreyBytes(nullptr, bytes, 2, 1, 0, 100), (std::vector<uint8_t>{9, 250}));
}

TEST(BitmapFileName, JoinedNotFormattedAndBounded)
{
    struct Case
    {
        const char* path;
        int n, i;
        const char* name;
    } cases[] = {
        {"/data/map", 1, 1, "/data/map.bmp"},
        {"/data/map", 3, 2, "/data/map_2.bmp"},
        {"/data/map.BMP  ", 2, 1, "/data/map_1.BMP"},
        {"/data/run.2/map", 2, 2, "/data/run.2/map_2.bmp"}, // a folder's dot is no extension
        {"/data/a%s%n%d.x", 2, 1, "/data/a%s%n%d_1.x"},     // nothing in the path is a format
    };
    for (const Case& c : cases)
        EXPECT_EQ(BitmapFileName(c.path, "bmp", c.n, c.i), c.name) << c.path;
    EXPECT_EQ(BitmapFileName(std::string(5000, 'a'), "bmp", 2, 1), "");
    EXPECT_EQ(BitmapFileName("/d/" + std::string(20, 'a'), "bmp", 12, 10, 30),
              "/d/" + std::string(20, 'a') + "_10.bmp");
    EXPECT_EQ(BitmapFileName("/d/" + std::string(20, 'a'), "bmp", 12, 10, 29), "");
}

} // namespace
