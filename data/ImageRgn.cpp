#include "data/ImageRgn.h"

#include "data/Header.h"
#include "data/Update.h"
#include "data/Utility.h"
#include "platform/Archive.h"
#include "platform/Exceptions.h"
#include "platform/Strings.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <type_traits>
#include <utility>

namespace {

// a * b * c items of elementSize bytes must fit before end; returns a * b * c.
size_t CheckedProduct(CArchive& ar, int32_t a, int32_t b, int32_t c, size_t elementSize, uint64_t end)
{
    if (a < 0 || b < 0 || c < 0)
        throw CArchiveException(CArchiveException::badIndex);
    if (a == 0 || b == 0 || c == 0)
        return 0;
    // Each factor alone must fit, so the partial products stay below 2^62.
    const uint64_t cap = UINT64_C(1) << 31;
    const uint64_t ab = uint64_t(a) * uint64_t(b);
    if (ab >= cap)
        throw CArchiveException(CArchiveException::badIndex);
    const uint64_t abc = ab * uint64_t(c);
    if (abc >= cap)
        throw CArchiveException(CArchiveException::badIndex);
    Block::CheckCount(ar, static_cast<int64_t>(abc), elementSize, end);
    return static_cast<size_t>(abc);
}

int SaturatedAdd(int a, int b)
{
    const int64_t s = int64_t(a) + b;
    return s > INT32_MAX ? INT32_MAX : s < INT32_MIN ? INT32_MIN : static_cast<int>(s);
}

template <typename T> void WriteExactly(CArchive& ar, const std::vector<T>& v, size_t count)
{
    // The file must hold exactly what the region's counts announce.
    std::vector<T> padded;
    const std::vector<T>* src = &v;
    if (v.size() != count) {
        padded.assign(count, T());
        std::copy_n(v.begin(), std::min(v.size(), count), padded.begin());
        src = &padded;
    }
    if (count == 0)
        return;
    if constexpr (std::is_same_v<T, double>)
        ar.WriteDoubles(src->data(), count);
    else if constexpr (std::is_same_v<T, int>)
        Block::WriteInts(ar, src->data(), count);
    else
        ar.Write(src->data(), count);
}

} // namespace

size_t CImageRgn::PlaneSize() const
{
    return static_cast<size_t>(CountProduct(m_nx, m_ny, 1));
}

int* CImageRgn::Plane(int index)
{
    return const_cast<int*>(std::as_const(*this).Plane(index));
}

const int* CImageRgn::Plane(int index) const
{
    if (!m_Planes || index < 0)
        return nullptr;
    const size_t plane = PlaneSize();
    if ((static_cast<size_t>(index) + 1) * plane > m_Planes->size())
        return nullptr;
    return m_Planes->data() + static_cast<size_t>(index) * plane;
}

const int* CImageRgn::GetPkData() const
{
    return Plane(0);
}

const int* CImageRgn::GetBk1Data() const
{
    return Plane(m_iBk1Plane);
}

const int* CImageRgn::GetBk2Data() const
{
    return Plane(m_iBk2Plane);
}

void CImageRgn::AssignBackgroundPlanes()
{
    // Create lays out the backgrounds in use: a second background alone is
    // the second plane.
    int next = 1;
    m_iBk1Plane = m_dBk1 != CUtility::Infinity ? next++ : -1;
    m_iBk2Plane = m_dBk2 != CUtility::Infinity ? next++ : -1;
}

void CImageRgn::AssignReadPlanes()
{
    // A file's planes are taken by their number alone: the second is the
    // first background, the third the second. The corrected values do not
    // depend on it, as they use whichever background planes there are.
    m_iBk1Plane = m_nz > 1 ? 1 : -1;
    m_iBk2Plane = m_nz > 2 ? 2 : -1;
}

void CImageRgn::Create(const CRegion* pRegion, int nx, int ny)
{
    CRegion::operator=(*pRegion);
    m_nx = std::max(nx, 0);
    m_ny = std::max(ny, 0);
    m_nz = 1 + (m_dBk1 != CUtility::Infinity ? 1 : 0) + (m_dBk2 != CUtility::Infinity ? 1 : 0);
    m_Planes.emplace(PlaneSize() * static_cast<size_t>(m_nz), 0);
    AssignBackgroundPlanes();
    m_Image.reset();
    m_nPending = 0;
    m_SEData.reset();
    m_Linescan.reset();
}

void CImageRgn::CreateSE(int nx, int ny)
{
    m_csName = LoadString(1162);
    m_csRegion.clear();
    m_csRetardRatio.clear();
    m_dStart = m_dFinish = m_dStep = m_dPeak = m_dBk1 = m_dBk2 = m_dDwell = m_dAnalyserEnergy = 0.0;
    m_nScans = 1;
    m_iRepeat = 1;
    m_iRegion = -1;
    m_nx = std::max(nx, 0);
    m_ny = std::max(ny, 0);
    m_nz = 1;
    m_SEData.emplace(PlaneSize(), 0);
    m_Planes.reset();
    m_iBk1Plane = m_iBk2Plane = -1;
    m_Image.reset();
    m_nPending = 0;
    m_Linescan.reset();
}

void CImageRgn::UpdateData(const SAcqUpdate* u, bool)
{
    if (u->m_pbData == nullptr)
        return;
    if (u->m_iType == WMAPP_ACQ_INTENSITYDATA) {
        const int pixel = u->m_iTrace;
        if (pixel < 0 || static_cast<size_t>(pixel) >= PlaneSize())
            return;
        int values[3];
        std::memcpy(values, u->m_pbData, sizeof values);
        int* planes[3] = {Plane(0), Plane(m_iBk1Plane), Plane(m_iBk2Plane)};
        for (int k = 0; k < 3; ++k)
            if (planes[k])
                planes[k][pixel] = SaturatedAdd(planes[k][pixel], values[k]);
        return;
    }
    if (u->m_iType != WMAPP_ACQ_IMAGEDATA)
        return;
    if (u->m_iLine < 1 || u->m_iLine > m_ny || u->m_iStart < 1 || u->m_iStart > u->m_iEnd || u->m_iEnd > m_nx)
        return;
    const size_t at = size_t(u->m_iLine - 1) * size_t(m_nx) + size_t(u->m_iStart - 1);
    const size_t count = size_t(u->m_iEnd - u->m_iStart + 1);
    if (u->m_iKind == -1) {
        if (!m_SEData)
            return;
        unsigned char* dst = m_SEData->data() + at;
        for (size_t k = 0; k < count; ++k)
            dst[k] = static_cast<unsigned char>(dst[k] + u->m_pbData[k]);
        return;
    }
    int* plane = nullptr;
    const int lastKind = m_iBk2Plane >= 0 ? 2 : m_iBk1Plane >= 0 ? 1 : 0;
    if (u->m_iKind != lastKind && (m_nPending == 0 || m_iPendingAt != at || m_nPending != count)) {
        // The first plane of a line: keep what every plane held there.
        m_PendingWas.clear();
        for (int z = 0; z < m_nz; ++z)
            if (const int* src = Plane(z))
                m_PendingWas.insert(m_PendingWas.end(), src + at, src + at + count);
        m_iPendingAt = at;
        m_nPending = m_PendingWas.size() == count * size_t(m_nz) ? count : 0;
    }
    if (u->m_iKind == 0)
        plane = Plane(0);
    else if (u->m_iKind == 1)
        plane = Plane(m_iBk1Plane);
    else if (u->m_iKind == 2)
        plane = Plane(m_iBk2Plane);
    if (plane)
        std::memcpy(plane + at, u->m_pbData, count * sizeof(int));
    if (u->m_iKind == lastKind)
        m_nPending = 0;
}

double CImageRgn::GetData(int i) const
{
    if (i < 0)
        return 0.0;
    const size_t k = static_cast<size_t>(i);
    if (m_Linescan)
        return k < m_Linescan->size() ? (*m_Linescan)[k] : 0.0;
    if (m_Image)
        return k < m_Image->size() ? (*m_Image)[k] : 0.0;
    if (m_SEData)
        return k < m_SEData->size() ? (*m_SEData)[k] : 0.0;
    const int* pk = Plane(0);
    if (pk == nullptr || k >= PlaneSize())
        return 0.0;
    const int* bk1 = Plane(m_iBk1Plane);
    const int* bk2 = Plane(m_iBk2Plane);
    double v = pk[k];
    if (m_nz == 3 && bk1 && bk2)
        v -= (double(bk1[k]) + double(bk2[k])) / 2.0;
    else if (m_nz == 2 && (bk1 || bk2))
        v -= double((bk1 ? bk1 : bk2)[k]);
    else
        return v;
    return v > 0.0 ? v : 0.0;
}

CImageRgn::SImagePixels CImageRgn::CalcImage(int* pMin, int* pMax)
{
    SImagePixels pixels;
    int lo = 0, hi = 0;
    if (m_Image) {
        if (!m_Image->empty()) {
            const auto [a, b] = std::minmax_element(m_Image->begin(), m_Image->end());
            lo = *a, hi = *b;
        }
        pixels.pInts = m_Image->data();
    } else if (m_SEData) {
        if (!m_SEData->empty()) {
            const auto [a, b] = std::minmax_element(m_SEData->begin(), m_SEData->end());
            lo = *a, hi = *b;
        }
        pixels.pBytes = m_SEData->data();
    } else if (const int* pk = Plane(0)) {
        const size_t n = PlaneSize();
        m_ComputedImage.assign(n, 0);
        if (n != 0)
            CUtility::CalcIntensity(m_ComputedImage.data(), pk, Plane(m_iBk1Plane), Plane(m_iBk2Plane),
                                    static_cast<int>(n), &lo, &hi);
        pixels.pInts = m_ComputedImage.data();
    }
    *pMin = lo;
    *pMax = hi;
    m_dMin = lo;
    m_dMax = hi;
    return pixels;
}

const double* CImageRgn::CalcLinescan(double* pMin, double* pMax)
{
    const double* result = nullptr;
    double lo = 0.0, hi = 0.0;
    const size_t nLine = std::min(PlaneSize(), static_cast<size_t>(std::max(m_nx, 0)));
    if (m_Linescan) {
        // A value that is not a number, or infinite, has no place on a scale:
        // the range is that of the finite values, (0, 0) without any.
        bool any = false;
        for (const double v : *m_Linescan) {
            if (!std::isfinite(v))
                continue;
            lo = any ? std::min(lo, v) : v;
            hi = any ? std::max(hi, v) : v;
            any = true;
        }
        result = m_Linescan->data();
    } else if (m_Image || m_SEData) {
        // A stored image of one line is shown as a line scan of its values.
        m_ComputedLine.assign(nLine, 0.0);
        const size_t have = m_Image ? m_Image->size() : m_SEData->size();
        for (size_t i = 0; i < std::min(nLine, have); ++i)
            m_ComputedLine[i] = m_Image ? double((*m_Image)[i]) : double((*m_SEData)[i]);
        if (nLine != 0) {
            const auto [a, b] = std::minmax_element(m_ComputedLine.begin(), m_ComputedLine.end());
            lo = *a, hi = *b;
        }
        result = m_ComputedLine.data();
    } else if (const int* pk = Plane(0)) {
        // A line scan is one line; a region of more lines gives its first.
        const size_t n = nLine;
        m_ComputedLine.assign(n, 0.0);
        if (n != 0)
            CUtility::CalcIntensity(m_ComputedLine.data(), pk, Plane(m_iBk1Plane), Plane(m_iBk2Plane),
                                    static_cast<int>(n), &lo, &hi);
        result = m_ComputedLine.data();
    }
    *pMin = lo;
    *pMax = hi;
    m_dMin = lo;
    m_dMax = hi;
    return result;
}

CArchive& CImageRgn::operator>>(CArchive& ar) const
{
    const uint64_t lengthPos = Block::BeginBlock(ar, BlockID, FileVersion);
    Write(ar, 0);
    const size_t plane = PlaneSize();
    if (m_Linescan) {
        ar << int32_t(LinescanData);
        WriteExactly(ar, *m_Linescan, static_cast<size_t>(std::max(m_nx, 0)));
    } else if (m_Image) {
        ar << int32_t(CorrectedImage);
        WriteExactly(ar, *m_Image, plane);
    } else if (m_SEData) {
        ar << int32_t(SEImageData);
        WriteExactly(ar, *m_SEData, plane);
    } else {
        ar << int32_t(RawPlanes);
        static const std::vector<int> none;
        const size_t total = plane * size_t(std::max(m_nz, 0));
        if (m_Planes && m_nPending != 0 && m_Planes->size() == total) {
            std::vector<int> planes = *m_Planes;
            for (int z = 0; z < m_nz; ++z)
                std::copy_n(m_PendingWas.begin() + ptrdiff_t(size_t(z) * m_nPending), m_nPending,
                            planes.begin() + ptrdiff_t(size_t(z) * plane + m_iPendingAt));
            WriteExactly(ar, planes, total);
        } else {
            WriteExactly(ar, m_Planes ? *m_Planes : none, total);
        }
    }
    Block::EndBlock(ar, lengthPos);
    return ar;
}

CArchive& CImageRgn::operator<<(CArchive& ar)
{
    Read(ar, UINT64_MAX);
    return ar;
}

void CImageRgn::Read(CArchive& ar, uint64_t limit)
{
    const Block::SHead head = Block::ReadHead(ar, limit);
    CRegion::Read(ar, 0, head.end);
    int32_t kind = 0;
    ar >> kind;
    m_Planes.reset();
    m_Image.reset();
    m_nPending = 0;
    m_SEData.reset();
    m_Linescan.reset();
    m_iBk1Plane = m_iBk2Plane = -1;
    m_dMin = m_dMax = 0.0;
    switch (kind) {
    case LinescanData: {
        const size_t n = CheckedProduct(ar, m_nx, 1, 1, sizeof(double), head.end);
        m_Linescan.emplace(n, 0.0);
        if (n != 0)
            ar.ReadDoubles(m_Linescan->data(), n);
        break;
    }
    case CorrectedImage: {
        const size_t n = CheckedProduct(ar, m_nx, m_ny, 1, sizeof(int32_t), head.end);
        m_Image.emplace(n, 0);
        Block::ReadInts(ar, m_Image->data(), n);
        break;
    }
    case SEImageData: {
        const size_t n = CheckedProduct(ar, m_nx, m_ny, 1, 1, head.end);
        m_SEData.emplace(n, 0);
        if (n != 0)
            ar.Read(m_SEData->data(), n);
        break;
    }
    default: {
        // Raw pixels without a peak plane cannot be shown or summed into.
        if (m_nz < 1 && m_nx > 0 && m_ny > 0)
            throw CArchiveException(CArchiveException::badIndex);
        const size_t n = CheckedProduct(ar, m_nx, m_ny, m_nz, sizeof(int32_t), head.end);
        m_Planes.emplace(n, 0);
        Block::ReadInts(ar, m_Planes->data(), n);
        AssignReadPlanes();
        break;
    }
    }
    Block::MoveToEnd(ar, head);
}
