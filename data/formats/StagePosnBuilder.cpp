// Stage positions of a new document, built from the acquisition sheets.

#include "data/AcquireSheet.h"
#include "data/ImageRgn.h"
#include "data/Region.h"
#include "data/SpecRgn.h"
#include "data/StagePosn.h"
#include "data/Utility.h"
#include "data/formats/RecordBuilder.h"
#include "platform/Strings.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace {

using LevelList = std::vector<CAcquireProfile::CLevelInfo>;

// No list runs to more levels than this, whatever a row's numbers say (a
// damaged settings file). It is the most that a list Start accepts can hold,
// a turn of 0 to 360 degrees by 0.01, so every such list gets all its levels,
// as many as the profiling page's totals show.
constexpr int MaxLevels = 36001;

// The rows that carry values: the lists end with one empty row, which is
// never walked.
std::vector<CAcquireProfile::CLevelInfo> ValidRows(const LevelList* list)
{
    std::vector<CAcquireProfile::CLevelInfo> rows;
    if (list)
        for (const auto& row : *list)
            if (row.IsValid())
                rows.push_back(row);
    return rows;
}

// A table value that is there (the empty row holds NotValid; NaN counts as absent).
bool IsSet(double v)
{
    return v < CAcquireProfile::CLevelInfo::NotValid || v > CAcquireProfile::CLevelInfo::NotValid;
}

// (int) of a count computed in double, kept within what a position can hold.
int CountOf(double v)
{
    if (!(v >= 0.0))
        return 0;
    return v > MaxLevels ? MaxLevels : static_cast<int>(v);
}

// The angles of a row, within what a position can hold.
int AngleCount(const CAcquireProfile::CLevelInfo& row)
{
    return CountOf(CAcquireProfile::CLevelInfo::AngleCount(row.m_dFrom, row.m_dTo, row.m_dStep));
}

// The row's levels from, from + step, ... up to to, as many as the row
// counts, while the list holds fewer than limit. Each is from + i * step,
// not a running sum, and none passes to; one that decimal steps bring within
// a hair of to (0.7 as 7 x 0.1) is to itself.
void AppendSteps(std::vector<CLevel>& levels, const CAcquireProfile::CLevelInfo& row, size_t limit)
{
    const int count = AngleCount(row);
    for (int i = 0; i < count && levels.size() < limit; ++i) {
        const double angle = std::min(row.m_dFrom + i * row.m_dStep, row.m_dTo);
        levels.emplace_back(row.m_dTo - angle <= 1e-6 * std::fabs(row.m_dStep) ? row.m_dTo : angle);
    }
}

// The running etch time of a depth profile, count levels (as many as the
// regions get curves). Each level adds the etch time of the row whose level
// numbers take it in; a level that no row names adds nothing, as a gap row of
// 0 s would, so a list that starts at level 3 measures levels 1 and 2 before
// any etching and every level keeps its own etch time.
std::vector<CLevel> DepthLevels(const std::vector<CAcquireProfile::CLevelInfo>& rows, int count)
{
    std::vector<double> etch(static_cast<size_t>(std::max(count, 0)), 0.0);
    for (const auto& row : rows) {
        // A level number below 1 (only a file can hold one) is level 1.
        const int first = std::max(1, CountOf(row.m_dFrom));
        const int last = std::min(count, std::max(1, CountOf(row.m_dTo)));
        for (int level = first; level <= last; ++level)
            etch[static_cast<size_t>(level - 1)] = row.m_dStep;
    }
    std::vector<CLevel> levels;
    double time = 0.0;
    for (double e : etch) {
        time += e;
        levels.emplace_back(time);
    }
    return levels;
}

// A region as the sheet holds it, with "no background" (0 on the pages) made
// the document's +infinity.
CRegion DocumentRegion(const CRegion& sheetRegion)
{
    CRegion r(sheetRegion);
    if (r.m_dBk1 == 0.0)
        r.m_dBk1 = CUtility::Infinity;
    if (r.m_dBk2 == 0.0)
        r.m_dBk2 = CUtility::Infinity;
    return r;
}

// The instrument measures a spectrum (not intensities) from its start in
// whole steps, as many points as the region counts: a finish between two
// steps is not reached. The document's region ends at the last energy
// measured, so that its curves are not spread over a wider range than that.
void EndAtLastStep(CSpecRgn& spec)
{
    if (spec.GetNumPoints_x() < 1)
        return;
    const double last = spec.m_dStart + (spec.GetNumPoints_x() - 1) * spec.m_dStep;
    if (std::fabs(last - spec.m_dFinish) > 1e-6 * std::fabs(spec.m_dStep))
        spec.m_dFinish = std::round(last * 1000.0) / 1000.0;
}

std::string DefaultGroup()
{
    std::string name;
    return TryLoadString(1139, name) ? name : std::string("Default");
}

} // namespace

// The scan and analyser modes the region page of either sheet chose; the
// position itself starts without a movement mode.
template <class RgnPage>
void CRecordBuilder::SetModes(CStagePosn& posn, const RgnPage& rgnPage, bool widescan)
{
    if (widescan)
        posn.m_ScanMode = rgnPage.m_iWidescanMode ? CStagePosn::Refresh : CStagePosn::Average;
    else
        posn.m_ScanMode = rgnPage.m_iNarrowscanMode ? CStagePosn::Down : CStagePosn::Across;
    posn.m_AnalyserMode = rgnPage.m_iAnalyserMode ? CStagePosn::CRR : CStagePosn::CAE;
    posn.m_PosnMode = CStagePosn::None;
}

int CRecordBuilder::XpsLevelCount(const CAcquireXPS& sheet, const CAcquireGroup* group)
{
    const int type = sheet.GetExpType();
    int method = -1;
    if (type == CAcquireXPS::DepthProfile)
        method = CAcquireProfile::DepthProfile;
    else if (type == CAcquireXPS::AngleResolved)
        method = CAcquireProfile::AngleResolved;
    else if (type == CAcquireXPS::TotalReflection)
        method = CAcquireProfile::TotalReflection;
    else if ((type == CAcquireXPS::Widescan || type == CAcquireXPS::Narrowscan) &&
             sheet.GetMoveType() == CAcquireXPS::Rotary)
        method = CAcquireProfile::Rotary;
    if (method < 0)
        return 1;
    const auto rows = ValidRows(group && group->GetProfile() ? group->GetProfile()->GetLevelList(method) : nullptr);
    // A rotary series turns through its first row only.
    if (method == CAcquireProfile::Rotary)
        return rows.empty() ? 0 : AngleCount(rows.front());
    int count = 0;
    if (method == CAcquireProfile::DepthProfile) {
        count = rows.empty() ? 0 : CountOf(rows.back().m_dTo);
    } else {
        for (const auto& r : rows)
            count = std::min(MaxLevels, count + AngleCount(r));
    }
    return std::max(count, 1);
}

void CRecordBuilder::Build(CStagePosn& posn, const CAcquireXPS& sheet)
{
    const CAcquireXPS_Stg* stg = sheet.GetStgPage();
    const CAcquireXPS_Rgn* rgnPage = sheet.GetRgnPage();
    const CAcquireXPS_Img* img = sheet.GetImgPage();
    const int move = sheet.GetMoveType();
    const int type = sheet.GetExpType();

    if (move >= 0 && move < 6) {
        // A planar row holds a point's X and Y, and a linear row the first
        // and last point of the line, not a range of position numbers: the
        // one position of a planar run holds every point, and every point's
        // row names its group; a linear run goes along its first row.
        const bool planar = move == CAcquireXPS::Planar, linear = move == CAcquireXPS::Linear;
        const auto& rows = stg->m_GridData[move];
        for (const auto& row : rows) {
            const bool applies = planar   ? IsSet(row.m_dFirst) && IsSet(row.m_dLast)
                                 : linear ? &row == &rows.front()
                                          : posn.m_iPosn >= row.m_dFirst && posn.m_iPosn <= row.m_dLast;
            if (applies) {
                posn.m_csGroup = row.m_csGroup;
                posn.m_csComment = row.m_csComment;
            }
        }
    }
    SetModes(posn, *rgnPage, type == CAcquireXPS::Widescan);
    int n = 1;

    // A row whose group cell was emptied is measured with the Default group,
    // in every experiment whose regions or levels come from a group: a profile
    // position without it got no regions and one level, and measured nothing.
    const CAcquireGroup* group = stg->GetGroup(posn.m_csGroup);
    const bool byGroup = type == CAcquireXPS::Narrowscan || type == CAcquireXPS::DepthProfile ||
                         type == CAcquireXPS::AngleResolved || type == CAcquireXPS::TotalReflection ||
                         (type == CAcquireXPS::Widescan && move == CAcquireXPS::Rotary);
    if (byGroup && !group) {
        posn.m_csGroup = DefaultGroup();
        group = stg->GetGroup(posn.m_csGroup);
    }
    auto corners = [&posn, img]() {
        posn.m_X0 = img->m_dX1;
        posn.m_X1 = img->m_dX2;
        posn.m_Y0 = img->m_dY1;
        posn.m_Y1 = img->m_dY2;
    };

    switch (type) {
    case CAcquireXPS::Widescan:
    case CAcquireXPS::Narrowscan:
        if (move == CAcquireXPS::Planar) {
            posn.m_PosnMode = CStagePosn::PointList;
            // The table's empty last row, in which the user types the next
            // point, is no point to drive the stage to.
            for (const auto& row : stg->m_GridData[CAcquireXPS::Planar]) {
                if (!IsSet(row.m_dFirst) || !IsSet(row.m_dLast))
                    continue;
                posn.m_X.push_back(row.m_dFirst);
                posn.m_Y.push_back(row.m_dLast);
            }
            n = static_cast<int>(posn.m_X.size());
            corners();
        } else if (move == CAcquireXPS::Linear) {
            posn.m_PosnMode = CStagePosn::Linear1D;
            if (!stg->m_GridData[CAcquireXPS::Linear].empty()) {
                posn.m_X0 = stg->m_GridData[CAcquireXPS::Linear][0].m_dFirst;
                posn.m_X1 = stg->m_GridData[CAcquireXPS::Linear][0].m_dLast;
            }
            posn.m_dX = 1.0;
            posn.m_nX = 1;
            n = posn.GetNumPoints(-1);
        }
        if (move == CAcquireXPS::Rotary) {
            const auto rows = ValidRows(group && group->GetProfile()
                                            ? group->GetProfile()->GetLevelList(CAcquireProfile::Rotary)
                                            : nullptr);
            n = XpsLevelCount(sheet, group);
            if (!rows.empty())
                AppendSteps(posn.m_caLevels, rows.front(), static_cast<size_t>(n));
        } else {
            posn.m_caLevels.emplace_back(0.0);
        }
        break;
    case CAcquireXPS::DepthProfile:
    case CAcquireXPS::AngleResolved:
    case CAcquireXPS::TotalReflection: {
        const int method = type == CAcquireXPS::DepthProfile    ? CAcquireProfile::DepthProfile
                           : type == CAcquireXPS::AngleResolved ? CAcquireProfile::AngleResolved
                                                                : CAcquireProfile::TotalReflection;
        const auto rows =
            ValidRows(group && group->GetProfile() ? group->GetProfile()->GetLevelList(method) : nullptr);
        n = XpsLevelCount(sheet, group);
        if (method == CAcquireProfile::DepthProfile) {
            posn.m_caLevels = DepthLevels(rows, n);
        } else {
            for (const auto& r : rows)
                AppendSteps(posn.m_caLevels, r, static_cast<size_t>(n));
            // One level per curve: the angles the steps did not reach stay 0.
            posn.m_caLevels.resize(static_cast<size_t>(n));
        }
        break;
    }
    case CAcquireXPS::Image:
        posn.m_caLevels.emplace_back(0.0);
        posn.m_PosnMode = img->m_iMode ? CStagePosn::Linear2D : CStagePosn::Image;
        corners();
        posn.m_dX = img->GetXStep();
        posn.m_dY = img->GetYStep();
        posn.m_nX = img->GetXSize();
        posn.m_nY = img->GetYSize();
        break;
    default:
        break;
    }

    const std::vector<CRegion*>* regions = nullptr;
    if (type == CAcquireXPS::Widescan)
        regions = &rgnPage->m_WidescanRegions;
    else if (type == CAcquireXPS::Image)
        regions = &rgnPage->m_ImageRegions;
    else if (group)
        regions = group->GetRegions();
    if (!regions)
        return;
    for (const CRegion* region : *regions) {
        const CRegion r = DocumentRegion(*region);
        if (type == CAcquireXPS::Image) {
            auto image = std::make_unique<CImageRgn>();
            image->Create(&r, img->GetXSize(), img->GetYSize());
            posn.m_caImageRgns.push_back(std::move(image));
        } else {
            auto spec = std::make_unique<CSpecRgn>();
            spec->Create(&r, 0.0, n, sheet.FastScanMode() ? 1 : 0);
            if (!sheet.FastScanMode())
                EndAtLastStep(*spec);
            posn.m_caSpecRgns.push_back(std::move(spec));
        }
    }
}

void CRecordBuilder::Build(CStagePosn& posn, const CAcquireAES& sheet)
{
    const CAcquireAES_Scn* scn = sheet.GetScnPage();
    const CAcquireAES_Rgn* rgnPage = sheet.GetRgnPage();
    const int type = sheet.GetExpType();
    const int control = scn->GetMoveType();
    const size_t index = static_cast<size_t>(std::max(posn.m_iPosn, 0));

    posn.m_csGroup = DefaultGroup();
    SetModes(posn, *rgnPage, type == CAcquireAES::Widescan);
    int n = 1;
    const auto& points = scn->GetPointList();
    const auto& areas = scn->GetAreaList();

    switch (type) {
    case CAcquireAES::Profile:
    case CAcquireAES::FastProfile: {
        if (control == CAcquireAES_Scn::Point && index < points.size()) {
            posn.m_PosnMode = CStagePosn::PointList;
            posn.m_X = {static_cast<double>(points[index].x)};
            posn.m_Y = {static_cast<double>(points[index].y)};
        } else if (control == CAcquireAES_Scn::AreaScan && index < areas.size()) {
            posn.m_PosnMode = CStagePosn::AreaList;
            posn.m_X = {static_cast<double>(areas[index].x0), static_cast<double>(areas[index].x1)};
            posn.m_Y = {static_cast<double>(areas[index].y0), static_cast<double>(areas[index].y1)};
        }
        const auto rows = ValidRows(sheet.GetPrfPage()->m_pLevelList);
        n = std::max(rows.empty() ? 0 : CountOf(rows.back().m_dTo), 1);
        posn.m_caLevels = DepthLevels(rows, n);
        break;
    }
    case CAcquireAES::AugerImage:
        if (index < areas.size()) {
            posn.m_X0 = areas[index].x0;
            posn.m_Y0 = areas[index].y0;
            posn.m_X1 = areas[index].x1;
            posn.m_Y1 = areas[index].y1;
        }
        posn.m_nX = posn.m_nY = 1;
        posn.m_PosnMode = scn->m_bLinescan ? CStagePosn::Linear2D : CStagePosn::Image;
        posn.m_caLevels.emplace_back(0.0);
        break;
    case CAcquireAES::SEImage: {
        const int s = scn->GetSize();
        posn.m_PosnMode = CStagePosn::Image;
        posn.m_X0 = -s / 2;
        posn.m_X1 = s / 2 - 1;
        posn.m_Y0 = s / 2 - 1;
        posn.m_Y1 = -s / 2;
        posn.m_dX = posn.m_dY = 1.0;
        posn.m_nX = posn.m_nY = 1;
        posn.m_caLevels.emplace_back(0.0);
        break;
    }
    default: // wide and narrow scans
        if (control == CAcquireAES_Scn::Point) {
            posn.m_PosnMode = CStagePosn::PointList;
            for (const auto& p : points) {
                posn.m_X.push_back(p.x);
                posn.m_Y.push_back(p.y);
            }
            n = static_cast<int>(points.size());
        } else if (control == CAcquireAES_Scn::AreaScan) {
            posn.m_PosnMode = CStagePosn::AreaList;
            for (const auto& a : areas) {
                posn.m_X.insert(posn.m_X.end(), {static_cast<double>(a.x0), static_cast<double>(a.x1)});
                posn.m_Y.insert(posn.m_Y.end(), {static_cast<double>(a.y0), static_cast<double>(a.y1)});
            }
            n = static_cast<int>(areas.size());
        }
        posn.m_caLevels.emplace_back(0.0);
        break;
    }

    if (type == CAcquireAES::SEImage) {
        auto image = std::make_unique<CImageRgn>();
        image->CreateSE(scn->GetSize(), scn->GetSize());
        posn.m_caImageRgns.push_back(std::move(image));
        return;
    }
    const std::vector<CRegion*>& regions = type == CAcquireAES::Widescan     ? rgnPage->m_WidescanRegions
                                           : type == CAcquireAES::AugerImage ? rgnPage->m_ImageRegions
                                                                             : rgnPage->m_NarrowscanRegions;
    int nx = 0, ny = 0;
    if (type == CAcquireAES::AugerImage) {
        const int s = scn->GetSize();
        auto N = [s](double v) { return CStagePosn::NormalizeAESCoord(CUtility::ToInt(v), s); };
        const int dx = std::abs(N(posn.m_X1) - N(posn.m_X0)) + 1;
        const int dy = std::abs(N(posn.m_Y0) - N(posn.m_Y1)) + 1;
        if (scn->m_bLinescan) {
            nx = std::max(dx, dy);
            ny = 1;
        } else {
            const double r = scn->GetResol() > 0 ? scn->GetResol() : 1;
            nx = static_cast<int>(std::floor(dx / r + 0.5));
            ny = static_cast<int>(std::floor(dy / r + 0.5));
        }
    }
    // Only a profile has levels for a region to skip. Elsewhere the sheet's
    // repeat cell is read-only but keeps what a profile set in it; a region
    // of a narrow scan repeated every 4th level was never measured at the
    // scan's one level, and the run ended as a success with nothing in it.
    const bool levelled = type == CAcquireAES::Profile || type == CAcquireAES::FastProfile;
    for (const CRegion* region : regions) {
        CRegion r = DocumentRegion(*region);
        if (!levelled)
            r.m_iRepeat = 1;
        if (type == CAcquireAES::AugerImage) {
            auto image = std::make_unique<CImageRgn>();
            image->Create(&r, nx, ny);
            posn.m_caImageRgns.push_back(std::move(image));
        } else {
            auto spec = std::make_unique<CSpecRgn>();
            spec->Create(&r, 0.0, n, type == CAcquireAES::FastProfile ? 1 : 0);
            if (type != CAcquireAES::FastProfile)
                EndAtLastStep(*spec);
            posn.m_caSpecRgns.push_back(std::move(spec));
        }
    }
}
