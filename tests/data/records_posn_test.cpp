// Points, coordinates and curve counts of stage positions.

#include "records_fixture.h"

#include "data/StagePosn.h"

#include <gtest/gtest.h>

#include <memory>

using namespace rectest;

namespace {

std::unique_ptr<CStagePosn> Make(const PosnSpec& spec)
{
    auto pos = std::make_unique<CStagePosn>();
    Load(*pos, PosnBlock(spec));
    return pos;
}

} // namespace

TEST(RecordsPosn, ImageCoordinates)
{
    PosnSpec s;
    s.mode = CStagePosn::Image;
    s.nX = 4, s.nY = 3, s.x0 = -10, s.y0 = 5, s.dX = 2, s.dY = -1, s.x1 = 7, s.y1 = 8;
    const auto pos = Make(s);
    EXPECT_DOUBLE_EQ(pos->GetCoord(0, 6), -6.0);
    EXPECT_DOUBLE_EQ(pos->GetCoord(1, 6), 4.0);
    EXPECT_DOUBLE_EQ(pos->GetCoord(2, 6), 7.0);
    EXPECT_EQ(pos->GetNumPoints(-1), 12);
    EXPECT_EQ(pos->GetNumPoints(1), 3);
}

TEST(RecordsPosn, AesCoordinates)
{
    PosnSpec s;
    s.mode = CStagePosn::PointList;
    s.x = {-511.0, 0}, s.y = {300.0, 0};
    const auto pos = Make(s);
    EXPECT_EQ(pos->GetAESCoord(0, 0, 256), -127);
    EXPECT_EQ(pos->GetAESCoord(1, 0, 256), 75);
    EXPECT_EQ(pos->GetAESCoord(0, 0, 1024), -511);
    EXPECT_EQ(pos->GetAESCoord(1, 0, 1024), 300);
    EXPECT_EQ(CStagePosn::NormalizeAESCoord(-511, 512), -255);
    // Points outside the list have no coordinate.
    EXPECT_EQ(pos->GetCoord(0, 2), 0.0);
}

TEST(RecordsPosn, CurveCounts)
{
    PosnSpec points;
    points.mode = CStagePosn::PointList;
    points.x = points.y = {1, 2, 3, 4, 5};
    points.levels = {0};
    EXPECT_EQ(Make(points)->GetNumTraces(), 5);

    PosnSpec levels;
    levels.levels = std::vector<double>(12, 1.0);
    EXPECT_EQ(Make(levels)->GetNumTraces(), 12);

    PosnSpec areas;
    areas.mode = CStagePosn::AreaList;
    areas.x = areas.y = {0, 1, 2, 3};
    EXPECT_EQ(Make(areas)->GetNumPoints(-1), 2);
}

TEST(RecordsPosn, LinearPointCounts)
{
    struct Row
    {
        double x0, x1, dX;
        int expected;
    };
    for (const Row& r : {Row{0, 10, 2.5, 5}, Row{0, 10, 0, 1}, Row{0, 10, kInf, 1},
                         Row{0, 1e30, 1e-30, INT32_MAX}, Row{10, 0, 1, 1}}) {
        SCOPED_TRACE(r.dX);
        PosnSpec s;
        s.mode = CStagePosn::Linear1D;
        s.x0 = r.x0, s.x1 = r.x1, s.dX = r.dX;
        EXPECT_EQ(Make(s)->GetNumPoints(-1), r.expected);
    }
}

TEST(RecordsPosn, StageSizeAndExtremes)
{
    PosnSpec s;
    s.x0 = 0, s.x1 = 2, s.y0 = 1, s.y1 = 1.5;
    s.specRgns = {SpecRgnBlock({{-2, 9}}, 2), SpecRgnBlock({{3, 4}}, 2)};
    const auto pos = Make(s);
    int x = -1, y = -1;
    pos->GetStageSize(x, y);
    EXPECT_EQ(x, 0); // a corner at 0 gives no size
    EXPECT_EQ(y, 501);
    EXPECT_EQ(pos->GetMaxValue(), 9.0);
    EXPECT_EQ(pos->GetMinValue(), -2.0);
    EXPECT_EQ(CStagePosn().GetMaxValue(), 0.0);

    // Without spectra the images give the extremes, once they are computed.
    PosnSpec imaged;
    imaged.imageRgns = {ImageRgnBlock(1, 4, 1, 1), ImageRgnBlock(2, 3, 2, 1)};
    const auto images = Make(imaged);
    double lineLo = 0, lineHi = 0;
    int imageLo = 0, imageHi = 0;
    images->GetImageRgn(0)->CalcLinescan(&lineLo, &lineHi);
    images->GetImageRgn(1)->CalcImage(&imageLo, &imageHi);
    EXPECT_EQ(images->GetMaxValue(), 11.0);
    EXPECT_EQ(images->GetMinValue(), -4.0);
    EXPECT_EQ(pos->GetRegion(1)->GetName(), "Cu");
    EXPECT_EQ(pos->GetRegion(2), nullptr);
}
