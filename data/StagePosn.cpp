#include "data/StagePosn.h"

#include "data/Extremes.h"
#include "data/Header.h"
#include "data/Utility.h"
#include "platform/Archive.h"
#include "platform/Exceptions.h"

#include <algorithm>
#include <cmath>
#include <utility>

namespace {

void WriteList(CArchive& ar, const std::vector<double>& list)
{
    ar << static_cast<int32_t>(list.size());
    if (!list.empty())
        ar.WriteDoubles(list.data(), list.size());
}

void ReadList(CArchive& ar, std::vector<double>& list, uint64_t end)
{
    int32_t count = 0;
    ar >> count;
    Block::CheckCount(ar, count, sizeof(double), end);
    list.assign(static_cast<size_t>(count), 0.0);
    if (count > 0)
        ar.ReadDoubles(list.data(), list.size());
}

// The nested region blocks must be of the kind the position's counts announce.
void ExpectBlock(CArchive& ar, uint16_t expected)
{
    uint16_t id = 0;
    ar >> id;
    if (id != expected)
        CUtility::ThrowError(2070, ar.GetFile()->GetFileTitle().c_str());
}

} // namespace

CArchive& CLevel::operator>>(CArchive& ar) const
{
    ar << m_dTime;
    return ar;
}

CArchive& CLevel::operator<<(CArchive& ar)
{
    ar >> m_dTime;
    return ar;
}

CArchive& CStagePosn::operator>>(CArchive& ar) const
{
    const uint64_t lengthPos = Block::BeginBlock(ar, BlockID, FileVersion);
    ar << m_csComment << m_csGroup << m_AnalyserMode << m_ScanMode << m_PosnMode << m_iPosn << m_nX << m_nY
       << m_X0 << m_Y0 << m_X1 << m_Y1 << m_dX << m_dY;
    WriteList(ar, m_X);
    WriteList(ar, m_Y);
    ar << static_cast<int32_t>(m_caLevels.size());
    for (const CLevel& level : m_caLevels)
        level >> ar;
    ar << static_cast<int32_t>(m_caSpecRgns.size());
    for (const auto& region : m_caSpecRgns)
        *region >> ar;
    ar << static_cast<int32_t>(m_caImageRgns.size());
    for (const auto& region : m_caImageRgns)
        *region >> ar;
    Block::EndBlock(ar, lengthPos);
    return ar;
}

CArchive& CStagePosn::operator<<(CArchive& ar)
{
    const Block::SHead head = Block::ReadHead(ar);
    Block::ReadString(ar, m_csComment, head.end);
    Block::ReadString(ar, m_csGroup, head.end);
    ar >> m_AnalyserMode >> m_ScanMode >> m_PosnMode >> m_iPosn >> m_nX >> m_nY >> m_X0 >> m_Y0 >> m_X1 >>
        m_Y1 >> m_dX >> m_dY;
    ReadList(ar, m_X, head.end);
    ReadList(ar, m_Y, head.end);
    // Point and area lists are indexed through both coordinates together.
    if ((m_PosnMode == PointList && m_X.size() != m_Y.size()) ||
        (m_PosnMode == AreaList && (m_X.size() != m_Y.size() || m_X.size() % 2 != 0)))
        throw CArchiveException(CArchiveException::badIndex);

    int32_t count = 0;
    ar >> count;
    Block::CheckCount(ar, count, sizeof(double), head.end);
    m_caLevels.assign(static_cast<size_t>(count), CLevel());
    for (CLevel& level : m_caLevels)
        level << ar;

    // A nested block takes at least its identifier, version and length.
    constexpr size_t minBlock = 8;
    ar >> count;
    Block::CheckCount(ar, count, minBlock, head.end);
    m_caSpecRgns.clear();
    m_caSpecRgns.reserve(static_cast<size_t>(count));
    for (int i = 0; i < count; ++i) {
        ExpectBlock(ar, CSpecRgn::BlockID);
        m_caSpecRgns.push_back(std::make_unique<CSpecRgn>());
        m_caSpecRgns.back()->Read(ar, head.end);
    }
    ar >> count;
    Block::CheckCount(ar, count, minBlock, head.end);
    m_caImageRgns.clear();
    m_caImageRgns.reserve(static_cast<size_t>(count));
    for (int i = 0; i < count; ++i) {
        ExpectBlock(ar, CImageRgn::BlockID);
        m_caImageRgns.push_back(std::make_unique<CImageRgn>());
        m_caImageRgns.back()->Read(ar, head.end);
    }
    Block::MoveToEnd(ar, head);
    return ar;
}

const CLevel* CStagePosn::GetLevel(int i) const
{
    return i >= 0 && i < GetNumLevels() ? &m_caLevels[static_cast<size_t>(i)] : nullptr;
}

CSpecRgn* CStagePosn::GetSpecRgn(int i)
{
    return i >= 0 && i < GetNumSpecRgns() ? m_caSpecRgns[static_cast<size_t>(i)].get() : nullptr;
}

const CSpecRgn* CStagePosn::GetSpecRgn(int i) const
{
    return i >= 0 && i < GetNumSpecRgns() ? m_caSpecRgns[static_cast<size_t>(i)].get() : nullptr;
}

CImageRgn* CStagePosn::GetImageRgn(int i)
{
    return i >= 0 && i < GetNumImageRgns() ? m_caImageRgns[static_cast<size_t>(i)].get() : nullptr;
}

const CImageRgn* CStagePosn::GetImageRgn(int i) const
{
    return i >= 0 && i < GetNumImageRgns() ? m_caImageRgns[static_cast<size_t>(i)].get() : nullptr;
}

int CStagePosn::GetNumRgns() const
{
    return m_caSpecRgns.empty() ? GetNumImageRgns() : GetNumSpecRgns();
}

CRegion* CStagePosn::GetRegion(int i)
{
    return const_cast<CRegion*>(std::as_const(*this).GetRegion(i));
}

const CRegion* CStagePosn::GetRegion(int i) const
{
    if (const CSpecRgn* spec = GetSpecRgn(i))
        return spec;
    return GetImageRgn(i);
}

int CStagePosn::GetNumTraces() const
{
    const int levels = GetNumLevels();
    if (m_PosnMode != None) {
        const int points = GetNumPoints(-1);
        if (points > levels)
            return points;
    }
    return levels;
}

int CStagePosn::GetNumPoints(int axis) const
{
    switch (m_PosnMode) {
    case Point:
        return 1;
    case Linear1D: {
        // A degenerate step (0, not finite, or pointing away from the end)
        // still measures the start point.
        if (m_dX == 0.0 || !std::isfinite(m_dX))
            return 1;
        const double n = std::floor((m_X1 - m_X0) / m_dX) + 1.0;
        return std::isfinite(n) && n >= 1.0 ? CUtility::ToInt(n) : 1;
    }
    case Linear2D:
        return std::max(m_nX, 0);
    case Image:
        if (axis == 0)
            return std::max(m_nX, 0);
        if (axis == 1)
            return std::max(m_nY, 0);
        return CRegion::CountProduct(m_nX, m_nY, 1);
    case PointList:
        return static_cast<int>(m_X.size());
    case AreaList:
        return static_cast<int>(m_X.size() / 2);
    default:
        return 1;
    }
}

double CStagePosn::GetCoord(int axis, int i) const
{
    auto at = [](const std::vector<double>& list, int64_t k) {
        return k >= 0 && k < int64_t(list.size()) ? list[static_cast<size_t>(k)] : 0.0;
    };
    switch (m_PosnMode) {
    case Point:
        return axis == 0 ? double(m_iPosn) : 0.0;
    case Linear1D:
        return axis == 0 ? m_X0 + double(i) * m_dX : 0.0;
    case Linear2D:
    case Image: {
        const int col = m_nX > 0 ? i % m_nX : 0;
        const int line = m_nX > 0 ? i / m_nX : 0;
        switch (axis) {
        case 0:
            return m_X0 + m_dX * col;
        case 1:
            return m_Y0 + m_dY * (m_PosnMode == Image ? line : i);
        case 2:
            return m_X1;
        case 3:
            return m_Y1;
        }
        return 0.0;
    }
    case PointList:
        return axis == 0 ? at(m_X, i) : axis == 1 ? at(m_Y, i) : 0.0;
    case AreaList:
        switch (axis) {
        case 0:
            return at(m_X, 2 * int64_t(i));
        case 1:
            return at(m_Y, 2 * int64_t(i));
        case 2:
            return at(m_X, 2 * int64_t(i) + 1);
        case 3:
            return at(m_Y, 2 * int64_t(i) + 1);
        }
        return 0.0;
    default:
        return 0.0;
    }
}

int CStagePosn::GetAESCoord(int axis, int i, int size) const
{
    double v = 0.0;
    switch (m_PosnMode) {
    case Linear2D:
    case Image: {
        const double corners[4] = {m_X0, m_Y0, m_X1, m_Y1};
        v = axis >= 0 && axis < 4 ? corners[axis] : 0.0;
        break;
    }
    case PointList:
    case AreaList:
        v = GetCoord(axis, i);
        break;
    default:
        break;
    }
    return NormalizeAESCoord(CUtility::ToInt(v), size);
}

void CStagePosn::NormalizeAESCoord(int* pValue, int size)
{
    *pValue = NormalizeAESCoord(*pValue, size);
}

int CStagePosn::NormalizeAESCoord(int value, int size)
{
    switch (size) {
    case 256:
        return value / 4;
    case 512:
        return value / 2;
    default:
        return value;
    }
}

void CStagePosn::GetStageSize(int& x, int& y) const
{
    auto extent = [](double v0, double v1) {
        if (v0 == 0.0 || v1 == 0.0)
            return 0;
        const int v = CUtility::ToInt((v1 - v0) * 1000.0);
        return v == INT32_MAX ? v : v + 1;
    };
    x = extent(m_X0, m_X1);
    y = extent(m_Y0, m_Y1);
}

double CStagePosn::GetMaxValue() const
{
    // The spectra decide when there are any, else the images.
    if (!m_caSpecRgns.empty())
        return MaxValueOf(m_caSpecRgns, &CSpecRgn::GetMaxValue);
    return MaxValueOf(m_caImageRgns, &CImageRgn::GetMaxValue);
}

double CStagePosn::GetMinValue() const
{
    // The spectra decide when there are any, else the images.
    if (!m_caSpecRgns.empty())
        return MinValueOf(m_caSpecRgns, &CSpecRgn::GetMinValue);
    return MinValueOf(m_caImageRgns, &CImageRgn::GetMinValue);
}
