#pragma once
// AES scan positions: the points and areas the beam is placed at, in scan
// coordinates (a 1024 x 1024 grid centred on the field, y upwards), their
// display in the table, their place on an image and their clipboard records.

#include "data/AcquireSheet.h"

#include <cstddef>
#include <cstdint>
#include <limits>
#include <optional>
#include <vector>

namespace AesScan {

// A value not yet typed into the table.
inline constexpr int32_t kMissing = std::numeric_limits<int32_t>::min();

// The page's entries are the data interface's own records, so what the
// stage-position builder reads is what the page holds.
using Point = CAcquireAES_Scn::CScanPoint;
using Area = CAcquireAES_Scn::CScanArea;

// Without a missing value: drawn, hit, moved on the image.
inline bool Complete(const Point& p)
{
    return p.x != kMissing && p.y != kMissing;
}
inline bool Complete(const Area& a)
{
    return a.x0 != kMissing && a.y0 != kMissing && a.x1 != kMissing && a.y1 != kMissing;
}
// A new entry: every value missing.
inline constexpr Point kEmptyPoint{kMissing, kMissing};
inline constexpr Area kEmptyArea{kMissing, kMissing, kMissing, kMissing};

// The image sizes the scan page offers: 256, 512 and 1024 pixels.
bool IsImageSize(int size);
// The table shows a scan coordinate divided by this for the chosen image size.
int TableFactor(int imageSize);
// A scan coordinate as the table shows it, and a typed table value back;
// the missing value passes through unchanged.
int32_t ToTable(int32_t scan, int imageSize);
int32_t FromTable(int32_t typed, int imageSize);

// Scan coordinates to the pixels of an s x s image (origin top left, y down)
// and back. Results are clamped to the image and to the scan grid so that a
// caller indexing the image with them never leaves it.
Point ScanToImage(Point scan, int imageWidth);
Point ImageToScan(Point pixel, int imageWidth);

// Squared distance, in 64 bits, of p from the segment a-b.
int64_t SquaredDistanceToSegment(Point a, Point b, Point p);

// Private clipboard formats and their records (little-endian 32-bit integers).
inline constexpr unsigned CF_SCNPT = 0x202;
inline constexpr unsigned CF_SCNAREA = 0x203;

std::vector<uint8_t> EncodePoint(const Point& p);
std::vector<uint8_t> EncodeArea(const Area& a);
// Refuse a record of the wrong size; never read past size.
std::optional<Point> DecodePoint(const uint8_t* data, std::size_t size);
std::optional<Area> DecodeArea(const uint8_t* data, std::size_t size);

// The checks at Start for the scan positions: expType is a
// CAcquireAES::ExpType, control a CAcquireAES_Scn::ScanControl. Throws
// CAcqException (2096-2100) on the first fault.
void CheckPositions(int expType, int control, bool lineScan, const std::vector<Point>& points,
                    const std::vector<Area>& areas, uint32_t mag);

} // namespace AesScan
