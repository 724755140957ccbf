#include "acquire/core/AesScan.h"

#include "acquire/core/AcqError.h"
#include "data/AcquireSheet.h"

#include <algorithm>
#include <cstdint>

namespace AesScan {
namespace {
constexpr int32_t kScanMin = -512, kScanMax = 511;

void Put(std::vector<uint8_t>& out, int32_t v)
{
    const auto u = static_cast<uint32_t>(v);
    for (int i = 0; i < 4; ++i)
        out.push_back(static_cast<uint8_t>(u >> (8 * i)));
}

int32_t Get(const uint8_t* p)
{
    uint32_t u = 0;
    for (int i = 0; i < 4; ++i)
        u |= static_cast<uint32_t>(p[i]) << (8 * i);
    return static_cast<int32_t>(u);
}

// Scan units per image pixel. An image of another width (only a file can
// hold one) takes scan units as pixels both ways, so that an entry placed
// with the mouse is drawn where it was placed.
int ImageFactor(int width)
{
    switch (width) {
    case 256:
        return 4;
    case 512:
        return 2;
    default:
        return 1;
    }
}
} // namespace

bool IsImageSize(int size)
{
    return size == 256 || size == 512 || size == 1024;
}

int TableFactor(int imageSize)
{
    return imageSize == 256 ? 4 : imageSize == 512 ? 2 : 1;
}

int32_t ToTable(int32_t scan, int imageSize)
{
    return scan == kMissing ? kMissing : scan / TableFactor(imageSize);
}

int32_t FromTable(int32_t typed, int imageSize)
{
    if (typed == kMissing)
        return kMissing;
    // Widened so that an absurd typed value stays out of range (and is
    // refused at Start) rather than wrapping into the field.
    const int64_t v = int64_t{typed} * TableFactor(imageSize);
    return static_cast<int32_t>(std::clamp<int64_t>(v, kMissing + 1, INT32_MAX));
}

Point ScanToImage(Point scan, int imageWidth)
{
    if (imageWidth <= 0)
        return {0, 0};
    const int f = ImageFactor(imageWidth);
    const int64_t h = imageWidth / 2;
    const int64_t x = int64_t{scan.x} / f + h;
    const int64_t y = h - 1 - int64_t{scan.y} / f;
    return {static_cast<int32_t>(std::clamp<int64_t>(x, 0, imageWidth - 1)),
            static_cast<int32_t>(std::clamp<int64_t>(y, 0, imageWidth - 1))};
}

Point ImageToScan(Point pixel, int imageWidth)
{
    const int f = ImageFactor(imageWidth);
    const int64_t h = imageWidth / 2;
    const int64_t x = (int64_t{pixel.x} - h) * f;
    const int64_t y = (h - 1 - int64_t{pixel.y}) * f;
    return {static_cast<int32_t>(std::clamp<int64_t>(x, kScanMin, kScanMax)),
            static_cast<int32_t>(std::clamp<int64_t>(y, kScanMin, kScanMax))};
}

int64_t SquaredDistanceToSegment(Point a, Point b, Point p)
{
    // Differences fit 64 bits but their squares may not for far-apart
    // values, so the products are taken in double (exact below 2^53, which
    // covers any window) and the result saturates.
    const double dx = double(b.x) - a.x, dy = double(b.y) - a.y;
    const double px = double(p.x) - a.x, py = double(p.y) - a.y;
    const double len2 = dx * dx + dy * dy;
    const double dot = px * dx + py * dy;
    double d2;
    if (len2 == 0 || dot <= 0)
        d2 = px * px + py * py;
    else if (dot >= len2) {
        const double qx = double(p.x) - b.x, qy = double(p.y) - b.y;
        d2 = qx * qx + qy * qy;
    } else {
        const double cross = px * dy - py * dx;
        d2 = cross * cross / len2;
    }
    return d2 >= 9.2e18 ? INT64_MAX : static_cast<int64_t>(d2);
}

std::vector<uint8_t> EncodePoint(const Point& p)
{
    std::vector<uint8_t> out;
    Put(out, p.x);
    Put(out, p.y);
    return out;
}

std::vector<uint8_t> EncodeArea(const Area& a)
{
    std::vector<uint8_t> out;
    Put(out, a.x0);
    Put(out, a.y0);
    Put(out, a.x1);
    Put(out, a.y1);
    return out;
}

std::optional<Point> DecodePoint(const uint8_t* data, std::size_t size)
{
    if (!data || size != 8)
        return std::nullopt;
    return Point{Get(data), Get(data + 4)};
}

std::optional<Area> DecodeArea(const uint8_t* data, std::size_t size)
{
    if (!data || size != 16)
        return std::nullopt;
    return Area{Get(data), Get(data + 4), Get(data + 8), Get(data + 12)};
}

void CheckPositions(int expType, int control, bool lineScan, const std::vector<Point>& points,
                    const std::vector<Area>& areas, uint32_t mag)
{
    if (expType == CAcquireAES::SEImage) {
        // Only the magnification matters for a secondary-electron image.
    } else if (expType == CAcquireAES::AugerImage || control == CAcquireAES_Scn::AreaScan) {
        if (areas.empty())
            ThrowAcq(2096);
        const auto inField = [](int32_t v) { return v >= kScanMin && v <= kScanMax; };
        for (const Area& a : areas) {
            const bool ordered = lineScan || (a.x0 < a.x1 && a.y0 > a.y1);
            if (!Complete(a) || !ordered || !inField(a.x0) || !inField(a.y0) || !inField(a.x1) ||
                !inField(a.y1))
                ThrowAcq(2097);
        }
    } else if (control == CAcquireAES_Scn::Point) {
        if (points.empty())
            ThrowAcq(2099);
        for (const Point& p : points)
            if (!Complete(p) || p.x < kScanMin || p.x > kScanMax || p.y < kScanMin || p.y > kScanMax)
                ThrowAcq(2098);
    }
    if ((expType == CAcquireAES::AugerImage || expType == CAcquireAES::SEImage) && (mag == 0 || mag > 200000))
        ThrowAcq(2100, {"200000"});
}

} // namespace AesScan
