#include "acquire/core/AesScnModel.h"

#include "acquire/core/AcqError.h"
#include "data/Experiment.h"
#include "data/Region.h"
#include "data/StagePosn.h"
#include "data/VeltraneDoc.h"
#include "platform/Archive.h"
#include "platform/Exceptions.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <limits>

using AesScan::kMissing;

bool CAesScnModel::IsImage() const
{
    return ExpType() == CAcquireAES::AugerImage || ExpType() == CAcquireAES::SEImage;
}

bool CAesScnModel::UsePts() const
{
    return !IsImage() && m_iControl == Point;
}

bool CAesScnModel::UseAreas() const
{
    if (ExpType() == CAcquireAES::AugerImage)
        return true;
    return ExpType() != CAcquireAES::SEImage && m_iControl == AreaScan;
}

bool CAesScnModel::UseLinescan() const
{
    return ExpType() == CAcquireAES::AugerImage && m_bLinescan;
}

int CAesScnModel::GetMoveType() const
{
    return IsImage() ? int(None) : m_iControl;
}

int CAesScnModel::GetEndPosn() const
{
    switch (ExpType()) {
    case CAcquireAES::Profile:
    case CAcquireAES::FastProfile:
        if (m_iControl == Point)
            return int(m_Points.size()) - 1;
        if (m_iControl == AreaScan)
            return int(m_Areas.size()) - 1;
        return 0;
    case CAcquireAES::AugerImage:
        return int(m_Areas.size()) - 1;
    default:
        return 0;
    }
}

void CAesScnModel::ErrorCheck() const
{
    AesScan::CheckPositions(ExpType(), m_iControl, UseLinescan(), m_Points, m_Areas, uint32_t(m_iMag));
    if (ExpType() == CAcquireAES::AugerImage && !m_bLinescan && m_iResol == 0)
        ThrowAcq(2101);
    // A map takes one point for every m_iResol pixels of its area, rounded:
    // an area less than half that wide or high gave an image of no points,
    // and a run that measured nothing ended as a success.
    if (ExpType() == CAcquireAES::AugerImage && !m_bLinescan) {
        const auto pixels = [this](int a, int b) {
            const int n = std::abs(CStagePosn::NormalizeAESCoord(b, m_iImageSize) -
                                   CStagePosn::NormalizeAESCoord(a, m_iImageSize)) +
                          1;
            return std::floor(n / double(unsigned(m_iResol)) + 0.5);
        };
        for (const CScanArea& a : m_Areas)
            if (pixels(a.x0, a.x1) < 1 || pixels(a.y1, a.y0) < 1)
                ThrowAcq(2102, {std::to_string(unsigned(m_iResol))});
    }
}

void CAesScnModel::Store(CArchive& ar) const
{
    ar << int32_t(m_iControl) << int32_t(m_iImageSize) << uint32_t(m_iMag) << uint32_t(m_iResol)
       << int32_t(m_bLinescan);
    ar << int32_t(m_Points.size());
    for (const CScanPoint& p : m_Points)
        ar << int32_t(p.x) << int32_t(p.y);
    ar << int32_t(m_Areas.size());
    for (const CScanArea& a : m_Areas)
        ar << int32_t(a.x0) << int32_t(a.y0) << int32_t(a.x1) << int32_t(a.y1);
}

namespace {
int32_t ReadInt(CArchive& ar)
{
    int32_t v = 0;
    ar >> v;
    return v;
}

// A count from the file: never negative; the entries themselves are read
// one by one, so a large count ends at the end of the file, not in an
// allocation.
int ReadCount(CArchive& ar)
{
    const int32_t n = ReadInt(ar);
    if (n < 0)
        throw CArchiveException(CArchiveException::badIndex);
    return n;
}
} // namespace

void CAesScnModel::Load(CArchive& ar)
{
    // Read whole before anything is taken, so a short file changes nothing.
    const int control = ReadInt(ar);
    const int size = ReadInt(ar);
    // Any other size would be the image an acquisition allocates (size squared).
    if (!AesScan::IsImageSize(size))
        throw CArchiveException(CArchiveException::badIndex);
    const int mag = ReadInt(ar);
    const int resol = ReadInt(ar);
    const int linescan = ReadInt(ar);
    std::vector<CScanPoint> points;
    for (int i = 0, n = ReadCount(ar); i < n; ++i) {
        CScanPoint p;
        p.x = ReadInt(ar);
        p.y = ReadInt(ar);
        points.push_back(p);
    }
    std::vector<CScanArea> areas;
    for (int i = 0, n = ReadCount(ar); i < n; ++i) {
        CScanArea a;
        a.x0 = ReadInt(ar);
        a.y0 = ReadInt(ar);
        a.x1 = ReadInt(ar);
        a.y1 = ReadInt(ar);
        areas.push_back(a);
    }
    m_iControl = control;
    m_iImageSize = size;
    m_iMag = mag;
    m_iResol = resol;
    m_bLinescan = linescan;
    m_Points = std::move(points);
    m_Areas = std::move(areas);
    m_iSelPt = m_iSelArea = -1;
}

void CAesScnModel::LoadFromDocument(const CVeltraneDoc& doc)
{
    const CExperiment& exp = *doc.GetExperiment();
    m_iControl = exp.GetMoveType();
    // A size the page does not offer (an imported file has none) keeps the page's.
    if (AesScan::IsImageSize(exp.GetSize()))
        m_iImageSize = exp.GetSize();
    const bool image = (exp.GetExpType() & CExperiment::ImageData) != 0;
    if (image) {
        const double mag = exp.GetMag();
        m_iMag = mag >= 0 && mag < double(std::numeric_limits<int>::max()) ? int(mag) : 0;
    }
    if (exp.GetExpType() == CExperiment::Image) {
        m_iResol = exp.GetResol();
        const CStagePosn* first = doc.GetStagePosn(0);
        const CRegion* rgn = first && first->GetNumImageRgns() > 0 ? first->GetImageRgn(0) : nullptr;
        m_bLinescan = rgn && rgn->GetNumPoints_y() == 1;
    }
    const bool areas = m_iControl == AreaScan || image;
    if (!areas && m_iControl != Point)
        return;
    if (areas) {
        m_Areas.clear();
        m_iSelArea = -1;
    } else {
        m_Points.clear();
        m_iSelPt = -1;
    }
    for (const auto& posn : doc.GetStagePosns()) {
        // Each position's own points: index l of that position. A raster or a
        // line gives its corners whatever the point, so it is one entry.
        const int mode = posn->GetPosnMode();
        const bool list = mode == CStagePosn::PointList || mode == CStagePosn::AreaList;
        const int n = list ? std::max(1, posn->GetNumPoints(-1)) : 1;
        for (int l = 0; l < n; ++l) {
            if (areas) {
                CScanArea a;
                a.x0 = posn->GetAESCoord(0, l, 1024);
                a.y0 = posn->GetAESCoord(1, l, 1024);
                a.x1 = posn->GetAESCoord(2, l, 1024);
                a.y1 = posn->GetAESCoord(3, l, 1024);
                m_Areas.push_back(a);
            } else {
                CScanPoint p;
                p.x = posn->GetAESCoord(0, l, 1024);
                p.y = posn->GetAESCoord(1, l, 1024);
                m_Points.push_back(p);
            }
        }
    }
}

int CAesScnModel::EntryCount() const
{
    return int(UseAreas() ? m_Areas.size() : m_Points.size());
}

int32_t CAesScnModel::GetItem(int col, int row) const
{
    if (row < 0 || row >= EntryCount() || col < 0 || col >= EntryColumns())
        return kMissing;
    if (UseAreas()) {
        const CScanArea& a = m_Areas[size_t(row)];
        const int v[4] = {a.x0, a.y0, a.x1, a.y1};
        return v[col];
    }
    const CScanPoint& p = m_Points[size_t(row)];
    return col == 0 ? p.x : p.y;
}

void CAesScnModel::SetItem(int col, int row, int32_t value)
{
    if (row < 0 || row >= EntryCount() || col < 0 || col >= EntryColumns())
        return;
    if (UseAreas()) {
        CScanArea& a = m_Areas[size_t(row)];
        int* v[4] = {&a.x0, &a.y0, &a.x1, &a.y1};
        *v[col] = value;
    } else {
        CScanPoint& p = m_Points[size_t(row)];
        (col == 0 ? p.x : p.y) = value;
    }
}

bool CAesScnModel::IsEmptyEntry(int row) const
{
    for (int c = 0; c < EntryColumns(); ++c)
        if (GetItem(c, row) != kMissing)
            return false;
    return row >= 0 && row < EntryCount();
}

void CAesScnModel::AddEntry()
{
    InsertEntry(EntryCount());
}

bool CAesScnModel::InsertEntry(int row)
{
    if (row < 0 || row > EntryCount())
        return false;
    if (UseAreas())
        m_Areas.insert(m_Areas.begin() + row, AesScan::kEmptyArea);
    else
        m_Points.insert(m_Points.begin() + row, AesScan::kEmptyPoint);
    return true;
}

bool CAesScnModel::DeleteEntry(int row)
{
    if (row < 0 || row >= EntryCount())
        return false;
    if (UseAreas())
        m_Areas.erase(m_Areas.begin() + row);
    else
        m_Points.erase(m_Points.begin() + row);
    int& sel = Selection();
    if (sel == row)
        sel = -1;
    else if (sel > row)
        --sel;
    return true;
}

void CAesScnModel::Compact(int& row)
{
    for (int i = EntryCount() - 1; i >= 0; --i) {
        if (i == row || !IsEmptyEntry(i))
            continue;
        DeleteEntry(i);
        if (i < row)
            --row;
    }
}
