// Acquired data blocks folded into curves and image planes.

#include "records_fixture.h"

#include "data/ImageRgn.h"
#include "data/SpecRgn.h"
#include "data/Update.h"
#include "data/Utility.h"

#include <gtest/gtest.h>

#include <cmath>
#include <tuple>

using namespace rectest;

namespace {

CRegion Params(double start, double finish, double step, double bk1 = kInf, double bk2 = kInf)
{
    CRegion r;
    r.m_dStart = start, r.m_dFinish = finish, r.m_dStep = step, r.m_dBk1 = bk1, r.m_dBk2 = bk2;
    return r;
}

SAcqUpdate Block(std::vector<int>& data, int trace, int scan, int start, int end,
                 int type = WMAPP_ACQ_SPECTRALDATA, int line = 0, int kind = 0)
{
    return SAcqUpdate(nullptr, reinterpret_cast<unsigned char*>(data.data()), 0, 0, trace, scan, start, end,
                      line, kind, type);
}

} // namespace

TEST(RecordsAcquire, PointCountsOfNewRegions)
{
    CSpecRgn up, down, intensity1, intensity2;
    CRegion upParams = Params(100, 110, 0.1), downParams = Params(110, 100, 0.1);
    up.Create(&upParams, 0, 1, 0);
    down.Create(&downParams, 0, 1, 0);
    EXPECT_EQ(up.GetNumPoints_x(), 101);
    EXPECT_EQ(down.GetNumPoints_x(), 101);
    // Energies as the pages store them (kinetic from binding, tenths of an eV):
    // the span is a hair short of a whole number of steps, and the last step
    // is still measured.
    for (const auto& [start, finish, step, n] : {std::tuple{853.6, 1253.6, 2.0, 201},
                                                 {1.4, 16.4, 0.1, 151},
                                                 {16.9, 1.9, 0.1, 151},
                                                 {0.0, 9.0, 2.0, 5}}) {
        CRegion p = Params(start, finish, step);
        CSpecRgn rgn;
        rgn.Create(&p, 0, 1, 0);
        EXPECT_EQ(rgn.GetNumPoints_x(), n) << start << " to " << finish << " by " << step;
    }
    CRegion oneBk = Params(100, 110, 0.1, 95.0), noBk = Params(100, 110, 0.1);
    intensity1.Create(&oneBk, 0, 3, 1);
    intensity2.Create(&noBk, 0, 3, 1);
    EXPECT_EQ(intensity1.GetTrace(2)->GetNumPoints(), 2);
    EXPECT_EQ(intensity2.GetTrace(0)->GetNumPoints(), 1);

    // Copying parameters keeps the target's point counts.
    CRegion copy;
    copy = up;
    EXPECT_EQ(copy.GetNumPoints_x(), 0);
    EXPECT_EQ(copy.GetStart(), 100.0);
}

TEST(RecordsAcquire, SpectralScansAveragedOrReplaced)
{
    CSpecRgn rgn;
    CRegion p = Params(0, 2, 1);
    rgn.Create(&p, 0, 2, 0);
    // Running mean rounded on the sum: 10, then 21/2, then 32/3.
    for (auto [scan, value] : {std::pair{0, 10}, {1, 11}, {2, 11}}) {
        std::vector<int> data{value};
        SAcqUpdate u = Block(data, 1, scan, 2, 2);
        rgn.UpdateData(&u, true);
    }
    EXPECT_DOUBLE_EQ(rgn.GetTrace(1)->GetData()[1], 32.0 / 3.0);

    // Refresh mode: the scan replaces the points.
    std::vector<int> data{5, 6, 7};
    SAcqUpdate u = Block(data, 0, 1, 1, 3);
    rgn.UpdateData(&u, false);
    EXPECT_EQ(std::vector<double>(rgn.GetTrace(0)->GetData(), rgn.GetTrace(0)->GetData() + 3),
              (std::vector<double>{5, 6, 7}));
    EXPECT_DOUBLE_EQ(rgn.GetMaxValue(), 32.0 / 3.0);
    EXPECT_DOUBLE_EQ(rgn.GetMinValue(), 0.0);
}

TEST(RecordsAcquire, MinimumAndMaximumDuringFirstFill)
{
    CSpecRgn rgn;
    CRegion p = Params(1, 100, 1);
    rgn.Create(&p, 0, 1, 0);
    std::vector<int> first(50, 40), second(50, 30);
    SAcqUpdate a = Block(first, 0, 0, 1, 50);
    rgn.UpdateData(&a, true);
    EXPECT_EQ(rgn.GetTrace(0)->GetMinValue(), 0.0); // the zeros it was created with
    EXPECT_EQ(rgn.GetTrace(0)->GetMaxValue(), 40.0);
    SAcqUpdate b = Block(second, 0, 0, 51, 100);
    rgn.UpdateData(&b, true);
    EXPECT_EQ(rgn.GetTrace(0)->GetMinValue(), 30.0);
}

TEST(RecordsAcquire, OutOfRangeBlocksIgnored)
{
    CSpecRgn rgn;
    CRegion p = Params(0, 3, 1);
    rgn.Create(&p, 0, 1, 0);
    std::vector<int> data(8, 99);
    for (auto [trace, start, end] : {std::tuple{1, 1, 4}, {-1, 1, 1}, {0, 0, 2}, {0, 3, 5}, {0, 3, 2}}) {
        SAcqUpdate u = Block(data, trace, 0, start, end);
        rgn.UpdateData(&u, false);
    }
    SAcqUpdate nullData(nullptr, nullptr, 0, 0, 0, 0, 1, 1, 0, 0, WMAPP_ACQ_SPECTRALDATA);
    rgn.UpdateData(&nullData, false);
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(rgn.GetTrace(0)->GetData()[i], 0.0);

    CImageRgn img;
    img.Create(&p, 3, 2);
    for (auto [line, start, end] : {std::tuple{0, 1, 1}, {3, 1, 1}, {1, 0, 1}, {1, 2, 4}, {2, 3, 2}}) {
        SAcqUpdate u = Block(data, 0, 0, start, end, WMAPP_ACQ_IMAGEDATA, line, 0);
        img.UpdateData(&u, true);
    }
    SAcqUpdate pixel = Block(data, 6, 0, 1, 1, WMAPP_ACQ_INTENSITYDATA);
    img.UpdateData(&pixel, true);
    for (int i = 0; i < 6; ++i)
        EXPECT_EQ(img.GetPkData()[i], 0);
}

TEST(RecordsAcquire, IntensityRegionWithSecondBackgroundOnly)
{
    // The block holds peak, -1 (first background not measured), second background.
    CSpecRgn rgn;
    CRegion p = Params(0, 0, 1, kInf, 300.0);
    rgn.Create(&p, 0, 1, 1);
    std::vector<int> data{500, -1, 120};
    SAcqUpdate u = Block(data, 0, 0, 1, 2, WMAPP_ACQ_INTENSITYDATA);
    rgn.UpdateData(&u, true);
    EXPECT_EQ(rgn.GetTrace(0)->GetData()[0], 500.0);
    EXPECT_EQ(rgn.GetTrace(0)->GetData()[1], 120.0);
}

TEST(RecordsAcquire, ImagePlanesSummedReplacedAndCorrected)
{
    CImageRgn both, second, none;
    CRegion pb = Params(0, 0, 1, 10, 20), p2 = Params(0, 0, 1, kInf, 20), p0 = Params(0, 0, 1);
    both.Create(&pb, 4, 2);
    second.Create(&p2, 4, 2);
    none.Create(&p0, 4, 2);
    EXPECT_EQ(both.GetNumPoints_z(), 3);
    EXPECT_EQ(second.GetNumPoints_z(), 2);
    EXPECT_EQ(second.GetBk1Data(), nullptr);
    EXPECT_EQ(second.GetBk2Data(), second.GetPkData() + 8);

    std::vector<int> data{5, 2, 3};
    for (int scan = 0; scan < 2; ++scan) {
        SAcqUpdate u = Block(data, 7, scan, 1, 3, WMAPP_ACQ_INTENSITYDATA);
        both.UpdateData(&u, true);
        second.UpdateData(&u, true);
        none.UpdateData(&u, true);
    }
    EXPECT_EQ(both.GetPkData()[7], 10);
    EXPECT_EQ(both.GetBk1Data()[7], 4);
    EXPECT_EQ(both.GetBk2Data()[7], 6);
    EXPECT_EQ(second.GetBk2Data()[7], 6);
    EXPECT_EQ(none.GetPkData()[7], 10);
    EXPECT_EQ(none.GetData(7), 10.0);
    EXPECT_EQ(both.GetData(7), 5.0); // 10 - (4 + 6) / 2

    // A line replaces the pixels of its plane; a plane the region lacks gets nothing.
    std::vector<int> line{10, 4, 7};
    SAcqUpdate pk = Block(line, 0, 0, 2, 4, WMAPP_ACQ_IMAGEDATA, 2, 0);
    both.UpdateData(&pk, true);
    EXPECT_EQ(both.GetPkData()[5], 10);
    std::vector<int> bk{4, 4, 4}, bk2{7, 7, 7};
    SAcqUpdate b1 = Block(bk, 0, 0, 2, 4, WMAPP_ACQ_IMAGEDATA, 2, 1);
    SAcqUpdate b2 = Block(bk2, 0, 0, 2, 4, WMAPP_ACQ_IMAGEDATA, 2, 2);
    both.UpdateData(&b1, true);
    both.UpdateData(&b2, true);
    EXPECT_DOUBLE_EQ(both.GetData(5), 4.5);
    EXPECT_DOUBLE_EQ(both.GetData(6), 0.0); // 4 - (4 + 7) / 2 is below 0
    none.UpdateData(&b1, true);
    EXPECT_EQ(none.GetPkData()[5], 0);

    int lo = 0, hi = 0;
    const CImageRgn::SImagePixels pixels = both.CalcImage(&lo, &hi);
    ASSERT_NE(pixels.pInts, nullptr);
    EXPECT_EQ(pixels.pInts[5], 5); // integer halving: 10 - 11 / 2
    EXPECT_EQ(lo, 0);
    EXPECT_EQ(hi, 5);
    EXPECT_EQ(both.GetMaxValue(), 5.0);
}

TEST(RecordsAcquire, ImageLineWithoutItsLastPlaneIsStoredAsBefore)
{
    // A run cut short between a line's planes: the file keeps the line as it
    // was, not a peak with no background under it.
    for (const auto& [bk1, kinds] :
         {std::tuple{10.0, std::vector<int>{0, 1, 2}}, {kInf, std::vector<int>{0, 2}}}) {
        CRegion p = Params(0, 0, 1, bk1, 20);
        CImageRgn img;
        img.Create(&p, 3, 2);
        std::vector<int> pk{50, 60, 70}, bk{5, 5, 5};
        auto send = [&](int line, int scan, int kind) {
            SAcqUpdate u = Block(kind == 0 ? pk : bk, 0, scan, 1, 3, WMAPP_ACQ_IMAGEDATA, line, kind);
            img.UpdateData(&u, true);
        };
        for (int kind : kinds)
            send(1, 0, kind);
        for (size_t k = 0; k + 1 < kinds.size(); ++k)
            send(2, 0, kinds[k]);
        EXPECT_EQ(img.GetPkData()[3], 50); // held in memory as it came
        CImageRgn back;
        Load(back, Store(img));
        EXPECT_DOUBLE_EQ(back.GetData(0), 45.0) << bk1;
        for (int i = 3; i < 6; ++i)
            EXPECT_DOUBLE_EQ(back.GetData(i), 0.0) << bk1 << " pixel " << i;

        // The line's last plane completes it; a second scan cut short keeps the first.
        send(2, 0, kinds.back());
        pk = {80, 90, 100};
        send(2, 1, 0);
        Load(back, Store(img));
        EXPECT_DOUBLE_EQ(back.GetData(3), 45.0) << bk1;
        EXPECT_EQ(back.GetPkData()[5], 70) << bk1;
    }
}

TEST(RecordsAcquire, SecondaryElectronLinesWrapAt256)
{
    CImageRgn se;
    se.CreateSE(3, 2);
    std::vector<unsigned char> bytes{200, 200, 200};
    for (int scan = 0; scan < 2; ++scan) {
        SAcqUpdate u(nullptr, bytes.data(), 0, 0, 0, scan, 1, 3, 2, -1, WMAPP_ACQ_IMAGEDATA);
        se.UpdateData(&u, true);
    }
    EXPECT_EQ(se.GetSEData()[3], 144);
    EXPECT_EQ(se.GetSEData()[0], 0);
    int lo = 0, hi = 0;
    const auto pixels = se.CalcImage(&lo, &hi);
    EXPECT_EQ(pixels.pBytes, se.GetSEData());
    EXPECT_EQ(hi, 144);
}

TEST(RecordsAcquire, StoredImagesAreReturnedAsTheyAre)
{
    CImageRgn image, line;
    Load(image, ImageRgnBlock(2, 3, 2, 1));
    int lo = 0, hi = 0;
    const auto pixels = image.CalcImage(&lo, &hi);
    EXPECT_EQ(pixels.pInts, image.GetImageData());
    EXPECT_EQ(lo, -4);
    EXPECT_EQ(hi, 11);

    Load(line, ImageRgnBlock(1, 4, 1, 1));
    double dlo = 0, dhi = 0;
    EXPECT_EQ(line.CalcLinescan(&dlo, &dhi), line.GetLinescanData());
    EXPECT_EQ(dhi, 4.5);
    EXPECT_EQ(line.GetData(3), 4.5);
    EXPECT_EQ(line.GetData(4), 0.0);
}

TEST(RecordsAcquire, LineScanOfOneStoredLineAndItsFiniteRange)
{
    // A stored image of a single line is shown as a line scan of its values.
    for (int kind : {2, 3}) {
        CImageRgn r;
        Load(r, ImageRgnBlock(kind, 3, 1, 1));
        double lo = 1, hi = 1;
        const double* line = r.CalcLinescan(&lo, &hi);
        ASSERT_NE(line, nullptr) << kind;
        const std::vector<double> want = kind == 2 ? std::vector<double>{-4, -1, 2} : std::vector<double>{0, 7, 14};
        EXPECT_EQ(std::vector<double>(line, line + 3), want) << kind;
        EXPECT_EQ(lo, want.front()) << kind;
        EXPECT_EQ(hi, want.back()) << kind;
        EXPECT_EQ(r.GetMaxValue(), want.back()) << kind;
    }

    // Values that are not finite are shown as stored but set no scale.
    const double nan = std::nan(""), inf = INFINITY;
    const struct
    {
        std::vector<double> values;
        double lo, hi;
    } cases[] = {
        {{nan, 10, 20, 30}, 10, 30},
        {{10, nan, -5, 30}, -5, 30},
        {{1, inf, 2, -inf}, 1, 2},
        {{nan, nan, inf, nan}, 0, 0},
    };
    for (const auto& c : cases) {
        Bytes content = RegionParams(4, 1, 1);
        content.i32(1);
        for (double v : c.values)
            content.f64(v);
        CImageRgn r;
        Load(r, Bytes().block(6, 1, content));
        double lo = 99, hi = 99;
        const double* line = r.CalcLinescan(&lo, &hi);
        ASSERT_NE(line, nullptr);
        EXPECT_EQ(lo, c.lo) << c.values[0] << " " << c.values[1];
        EXPECT_EQ(hi, c.hi) << c.values[0] << " " << c.values[1];
        EXPECT_EQ(r.GetMinValue(), c.lo);
        EXPECT_EQ(std::isnan(line[0]), std::isnan(c.values[0]));
    }
}
