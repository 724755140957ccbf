#include "app/image/ImageMath.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstring>

namespace img {

SGreyScale GreyScaleForDepth(int bitsPerPixel)
{
    switch (bitsPerPixel) {
    case 4:
        return {16, 15.99999999};
    case 8:
        return {128, 127.99999999};
    case 15:
    case 16:
        return {32, 31.99999999};
    default:
        return {256, 255.99999999};
    }
}

namespace {
// F / R for the range, R = iMax - iMin with 0 taken as 1.
double Scale(int iMin, int iMax, const SGreyScale& s)
{
    int64_t r = int64_t(iMax) - int64_t(iMin);
    if (r == 0)
        r = 1;
    return s.factor / double(r);
}

int Level(int64_t v, int iMin, double scale, int levels)
{
    const double d = std::floor(double(v - int64_t(iMin)) * scale);
    if (!(d > 0.0)) // NaN as well
        return 0;
    return d >= double(levels - 1) ? levels - 1 : int(d);
}
} // namespace

int GreyLevel(int64_t v, int iMin, int iMax, const SGreyScale& s)
{
    return Level(v, iMin, Scale(iMin, iMax, s), s.levels);
}

PixelFormat FormatForDepth(int bitsPerPixel)
{
    if (bitsPerPixel <= 8)
        return PixelFormat::Index8;
    if (bitsPerPixel <= 16)
        return PixelFormat::Rgb555;
    // A 24-bit screen keeps its pixels in 32 bits: the fastest to draw.
    return PixelFormat::Rgb32;
}

int BytesPerPixel(PixelFormat f)
{
    switch (f) {
    case PixelFormat::Index8:
        return 1;
    case PixelFormat::Rgb555:
        return 2;
    case PixelFormat::Rgb24:
        return 3;
    default:
        return 4;
    }
}

SGreyScale GreyScaleFor(PixelFormat f)
{
    switch (f) {
    case PixelFormat::Index8:
        return GreyScaleForDepth(8);
    case PixelFormat::Rgb555:
        return GreyScaleForDepth(16);
    default:
        return GreyScaleForDepth(32);
    }
}

namespace {
template <typename T>
void ConvertRun(uint8_t* p, PixelFormat f, const T* src, int n, int iMin, double scale, int levels)
{
    switch (f) {
    case PixelFormat::Index8:
        for (int i = 0; i < n; ++i)
            p[i] = uint8_t(Level(src[i], iMin, scale, levels));
        break;
    case PixelFormat::Rgb555:
        for (int i = 0; i < n; ++i) {
            const int l = Level(src[i], iMin, scale, levels);
            const uint16_t w = uint16_t(l + l * 32 + l * 1024);
            std::memcpy(p + 2 * i, &w, 2);
        }
        break;
    case PixelFormat::Rgb24:
        for (int i = 0; i < n; ++i) {
            const uint8_t l = uint8_t(Level(src[i], iMin, scale, levels));
            p[3 * i] = p[3 * i + 1] = p[3 * i + 2] = l;
        }
        break;
    case PixelFormat::Rgb32:
        for (int i = 0; i < n; ++i) {
            const uint32_t l = uint32_t(Level(src[i], iMin, scale, levels));
            const uint32_t px = 0xFF000000u | l << 16 | l << 8 | l;
            std::memcpy(p + 4 * i, &px, 4);
        }
        break;
    }
}
} // namespace

void ConvertPoints(uint8_t* bits, int bytesPerLine, PixelFormat f, int nX, const int* piData,
                   const uint8_t* pbData, int iFrom, int iTo, int iMin, int iMax)
{
    if (!bits || nX <= 0 || iFrom > iTo || (!piData && !pbData))
        return;
    const SGreyScale s = GreyScaleFor(f);
    const double scale = Scale(iMin, iMax, s);
    const int bpp = BytesPerPixel(f);
    // Row by row: each run is contiguous in the data and in the raster.
    for (int i = iFrom; i <= iTo;) {
        const int row = i / nX, col = i % nX;
        const int n = std::min(nX - col, iTo - i + 1);
        uint8_t* p = bits + std::ptrdiff_t(row) * bytesPerLine + std::ptrdiff_t(col) * bpp;
        if (piData)
            ConvertRun(p, f, piData + i, n, iMin, scale, s.levels);
        else
            ConvertRun(p, f, pbData + i, n, iMin, scale, s.levels);
        i += n;
    }
}

void HalveRows(const uint8_t* src, int srcBytesPerLine, uint8_t* dst, int dstBytesPerLine, int dstWidth,
               int y0, int y1)
{
    for (int y = y0; y <= y1; ++y) {
        const uint8_t* a = src + std::ptrdiff_t(2 * y) * srcBytesPerLine;
        const uint8_t* b = a + srcBytesPerLine;
        uint8_t* d = dst + std::ptrdiff_t(y) * dstBytesPerLine;
        for (int x = 0; x < dstWidth; ++x, a += 8, b += 8, d += 4)
            for (int c = 0; c < 4; ++c)
                d[c] = uint8_t((a[c] + a[c + 4] + b[c] + b[c + 4] + 2) / 4);
    }
}

void MinMax(const int* p, int n, int* pMin, int* pMax)
{
    int lo = n > 0 ? p[0] : 0, hi = lo;
    for (int i = 1; i < n; ++i) {
        if (p[i] < lo)
            lo = p[i];
        else if (p[i] > hi)
            hi = p[i];
    }
    *pMin = lo;
    *pMax = hi;
}

CRect FitRect(const CRect& avail, int nX, int nY)
{
    const int64_t W = avail.Width(), H = avail.Height();
    if (nX <= 0 || nY <= 0 || W <= 0 || H <= 0)
        return CRect();
    // However thin the image, it keeps at least one window pixel across.
    const int64_t w = std::max<int64_t>(H * nX / nY, 1);
    if (W < w) {
        const int64_t h = std::max<int64_t>(W * nY / nX, 1);
        const int top = avail.top + int((H - h) / 2);
        return CRect(avail.left, top, avail.right, top + int(h));
    }
    const int left = avail.left + int((W - w) / 2);
    return CRect(left, avail.top, left + int(w), avail.bottom);
}

namespace {
bool Fit(SView& v, const CRect& avail, int nX, int nY, bool bApply)
{
    const CRect r = FitRect(avail, nX, nY);
    const bool change = nX != v.cX || nY != v.cY || !(r == v.rImage) || v.iZoom != 0;
    if (bApply) {
        v.ix0 = r.left;
        v.iy0 = r.top;
        v.cx = r.Width();
        v.cy = r.Height();
        v.iX0 = v.iY0 = 0;
        v.cX = nX;
        v.cY = nY;
        v.rImage = r;
        v.iZoom = 0;
    }
    return change;
}
} // namespace

bool ZoomStep(SView& v, const CRect& avail, int nX, int nY, int iZoom, bool bApply)
{
    if (nX <= 0 || nY <= 0)
        return false;
    if (iZoom == 0)
        return Fit(v, avail, nX, nY, bApply);
    if (iZoom > 0) {
        const int hx = v.cX / 2, hy = v.cY / 2;
        if (hx < 2 || hy < 2)
            return false;
        if (bApply) {
            v.iX0 += v.cX / 4;
            v.iY0 += v.cY / 4;
            v.cX = hx;
            v.cY = hy;
            ++v.iZoom;
        }
        return true;
    }
    if (v.iZoom <= 0)
        return false;
    if (v.iZoom == 1)
        return Fit(v, avail, nX, nY, bApply);
    const int64_t dx = int64_t(v.cX) * 2, dy = int64_t(v.cY) * 2;
    if (dx > nX || dy > nY)
        return false;
    if (bApply) {
        // Doubled about the centre, kept inside the image.
        v.iX0 = int(std::clamp<int64_t>(int64_t(v.iX0) - v.cX / 2, 0, nX - dx));
        v.iY0 = int(std::clamp<int64_t>(int64_t(v.iY0) - v.cY / 2, 0, nY - dy));
        v.cX = int(dx);
        v.cY = int(dy);
        --v.iZoom;
    }
    return true;
}

CPoint ImageToWindow(const SView& v, CPoint p)
{
    if (v.cX == 0 || v.cY == 0)
        return CPoint(v.ix0, v.iy0);
    return CPoint(int((int64_t(p.x) - v.iX0) * v.cx / v.cX + v.ix0),
                  int((int64_t(p.y) - v.iY0) * v.cy / v.cY + v.iy0));
}

CPoint WindowToImage(const SView& v, CPoint p)
{
    if (v.cx == 0 || v.cy == 0)
        return CPoint(v.iX0, v.iY0);
    return CPoint(int((int64_t(p.x) - v.ix0) * v.cX / v.cx + v.iX0),
                  int((int64_t(p.y) - v.iy0) * v.cY / v.cy + v.iY0));
}

SStrip RowStrip(const SView& v, int r0, int r1)
{
    if (v.cY == 0)
        return {};
    return {int(v.iy0 + (int64_t(r0) - v.iY0) * v.cy / v.cY),
            int(v.iy0 + (int64_t(r1) - v.iY0 + 1) * v.cy / v.cY + 1)};
}

double RunningMean(double old, double v, int scan)
{
    return (double(scan) * old + v) / (double(scan) + 1.0);
}

namespace {
void Put(std::vector<uint8_t>& b, size_t at, uint32_t v, int n)
{
    for (int i = 0; i < n; ++i)
        b[at + size_t(i)] = uint8_t(v >> (8 * i));
}
} // namespace

std::vector<uint8_t> EncodeGreyBitmap(const uint8_t* grey, int nX, int nY)
{
    if (nX < 0 || nY < 0)
        return {};
    const uint64_t pad = (4 - uint64_t(nX) % 4) % 4;
    const uint64_t line = uint64_t(nX) + pad;
    const uint64_t size = line * uint64_t(nY) + 1078;
    if (size > 0xFFFFFFFFu)
        return {};
    std::vector<uint8_t> b(size, 0);
    b[0] = 'B';
    b[1] = 'M';
    Put(b, 2, uint32_t(size), 4);
    Put(b, 10, 1078, 4);
    Put(b, 14, 40, 4);
    Put(b, 18, uint32_t(nX), 4);
    Put(b, 22, uint32_t(nY), 4); // positive: bottom-up rows
    Put(b, 26, 1, 2);
    Put(b, 28, 8, 2);
    for (uint32_t i = 0; i < 256; ++i)
        Put(b, 54 + 4 * i, i | i << 8 | i << 16, 4);
    for (int r = 0; r < nY; ++r) {
        const uint8_t* src = grey + size_t(nY - 1 - r) * size_t(nX);
        if (nX > 0)
            std::memcpy(&b[1078 + size_t(r) * line], src, size_t(nX));
    }
    return b;
}

std::vector<uint8_t> GreyBytes(const int* piData, const uint8_t* pbData, int nX, int nY, int iMin, int iMax)
{
    const size_t n = nX > 0 && nY > 0 ? size_t(nX) * size_t(nY) : 0;
    std::vector<uint8_t> out(n, 0);
    if (piData) {
        const SGreyScale s = GreyScaleForDepth(32);
        const double scale = Scale(iMin, iMax, s);
        for (size_t i = 0; i < n; ++i)
            out[i] = uint8_t(Level(piData[i], iMin, scale, s.levels));
    } else if (pbData && n > 0) {
        std::memcpy(out.data(), pbData, n);
    }
    return out;
}

std::string BitmapFileName(const std::string& path, const std::string& defaultExt, int n, int i,
                           size_t maxLen)
{
    std::string p = path;
    while (!p.empty() && p.back() == ' ')
        p.pop_back();
    // Only the file name's own dot starts an extension, not one in a folder name.
    size_t nameStart = p.find_last_of('/');
    nameStart = nameStart == std::string::npos ? 0 : nameStart + 1;
    const size_t dot = p.find_last_of('.');
    std::string stem, ext;
    if (dot == std::string::npos || dot < nameStart) {
        stem = p;
        ext = "." + defaultExt;
    } else {
        stem = p.substr(0, dot);
        ext = p.substr(dot);
    }
    std::string name = stem;
    if (n > 1)
        name += "_" + std::to_string(i);
    name += ext;
    return name.size() > maxLen ? std::string() : name;
}

} // namespace img
