#include "acquire/core/AcquireGroup.h"

#include "data/Region.h"
#include "data/StagePosn.h"
#include "platform/Archive.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <memory>

void StoreLevel(CArchive& ar, const CLevelInfo& row)
{
    ar << row.m_dFrom << row.m_dTo << row.m_dStep;
}

void LoadLevel(CArchive& ar, CLevelInfo& row)
{
    ar >> row.m_dFrom >> row.m_dTo >> row.m_dStep;
}

CProfileLevels::CProfileLevels()
{
    for (auto& list : m_Lists)
        list.emplace_back();
}

namespace {
// Whether a difference of two stored levels is the step of a row. Angles made
// by decimal steps differ from them by rounding errors (0.3 - 0.2 is not 0.1
// in binary); such a difference still continues the row.
bool SameStep(double d, double step)
{
    return std::fabs(d - step) <= 1e-9 * std::max(1.0, std::fabs(step));
}
} // namespace

void CProfileLevels::Load(const CStagePosn* pPosn, int method)
{
    if (!pPosn || method < 0 || method >= nMethods)
        return;
    CLevelList& list = m_Lists[size_t(method)];
    const int n = pPosn->GetNumLevels();
    if (n <= 0)
        return;
    list.clear();
    auto v = [pPosn](int j) { return pPosn->GetLevel(j)->GetValue(); };
    if (method == DepthProfile) {
        list.emplace_back(1, 1, v(0));
        for (int j = 1; j < n; ++j) {
            const double d = v(j) - v(j - 1);
            if (!SameStep(d, list.back().m_dStep))
                list.emplace_back(j + 1, j + 1, d);
            else
                list.back().m_dTo = j + 1;
        }
    } else {
        list.emplace_back(v(0), v(0), n >= 2 ? v(1) - v(0) : 1.0);
        for (int j = 1; j < n; ++j) {
            const double d = v(j) - v(j - 1);
            if (!SameStep(d, list.back().m_dStep))
                list.emplace_back(v(j), v(j), d);
            else
                list.back().m_dTo = v(j);
        }
    }
    list.emplace_back();
}

void CProfileLevels::Store(CArchive& ar) const
{
    for (const auto& list : m_Lists) {
        ar << int32_t(list.size());
        for (const auto& row : list)
            StoreLevel(ar, row);
    }
}

void CProfileLevels::Load(CArchive& ar)
{
    for (auto& list : m_Lists) {
        int32_t n = 0;
        ar >> n;
        ar.CheckCount(n, 3 * sizeof(double));
        list.assign(size_t(n), CLevelInfo());
        for (auto& row : list)
            LoadLevel(ar, row);
    }
}

void CStageGroup::Store(CArchive& ar) const
{
    ar << m_csName;
    m_Profile.Store(ar);
    ar << int32_t(m_Regions.size());
    for (const CRegion* r : m_Regions)
        r->Write(ar);
}

void CStageGroup::Load(CArchive& ar)
{
    ar >> m_csName;
    m_Profile.Load(ar);
    int32_t n = 0;
    ar >> n;
    // A region record holds at least three length bytes, ten doubles and six ints.
    ar.CheckCount(n, 3 + 10 * sizeof(double) + 6 * sizeof(int32_t));
    for (int32_t i = 0; i < n; ++i) {
        auto region = std::make_unique<CRegion>();
        region->Read(ar);
        m_Regions.push_back(region.release());
    }
}

namespace LevelTable {
namespace {
constexpr double NotValid = CLevelInfo::NotValid;

double ReadNumber(const std::string& text)
{
    bool blank = true;
    for (char c : text)
        if (c != ' ' && c != '\t')
            blank = false;
    if (blank)
        return NotValid;
    return std::atof(text.c_str());
}
} // namespace

void Commit(CLevelList& list, int& s, int col, const std::string& text, bool depth)
{
    if (list.empty())
        list.emplace_back();
    if (s < 1 || s > int(list.size()))
        s = int(list.size());
    CLevelInfo r = list[size_t(s - 1)];
    const double value = ReadNumber(text);
    (col == 0 ? r.m_dFrom : col == 1 ? r.m_dTo : r.m_dStep) = value;

    if (r.IsEmpty()) {
        if (s < int(list.size()))
            list.erase(list.begin() + (s - 1));
        if (s > int(list.size()))
            s = int(list.size());
    } else {
        if (depth) {
            if (r.m_dFrom == 0.0)
                r.m_dFrom = 1.0;
            if (r.m_dTo == 0.0)
                r.m_dTo = 1.0;
        }
        if (r.m_dFrom != NotValid && r.m_dTo < r.m_dFrom) {
            if (col == 0)
                r.m_dTo = r.m_dFrom;
            else if (col == 1)
                r.m_dFrom = r.m_dTo;
        }
        list.erase(list.begin() + (s - 1));
        size_t at = 0;
        while (at < list.size() && !(r < list[at]))
            ++at;
        list.insert(list.begin() + long(at), r);
        size_t ri = at;
        if (r.IsValid()) {
            if (ri > 0) {
                CLevelInfo& prev = list[ri - 1];
                if (prev.IsValid() && r.m_dFrom - 1 > prev.m_dTo) {
                    list.insert(list.begin() + long(ri), CLevelInfo(prev.m_dTo + 1, r.m_dFrom - 1, 0));
                    ++ri;
                } else if (prev.m_dTo >= r.m_dFrom) {
                    prev.m_dTo = r.m_dFrom - 1;
                    if (prev.m_dTo < prev.m_dFrom) {
                        list.erase(list.begin() + long(ri - 1));
                        --ri;
                    }
                }
            }
            for (size_t j = ri + 1; j < list.size();) {
                CLevelInfo& next = list[j];
                if (!next.IsValid() || next.m_dFrom > list[ri].m_dTo)
                    break;
                if (next.m_dTo > list[ri].m_dTo) {
                    next.m_dFrom = list[ri].m_dTo + 1;
                    break;
                }
                list.erase(list.begin() + long(j));
            }
            // Rows with equal times join; for levels only when they meet. The
            // levels between two rows that do not are etched for no time (a
            // row that starts late, or one removed from the middle): joining
            // across them would etch those levels without the user saying so.
            auto meet = [depth](const CLevelInfo& a, const CLevelInfo& b) {
                return !depth || a.m_dTo + 1 >= b.m_dFrom;
            };
            if (ri > 0 && list[ri - 1].IsValid() && list[ri - 1].m_dStep == list[ri].m_dStep &&
                meet(list[ri - 1], list[ri])) {
                list[ri].m_dFrom = list[ri - 1].m_dFrom;
                list.erase(list.begin() + long(ri - 1));
                --ri;
            }
            if (ri + 1 < list.size() && list[ri + 1].IsValid() && list[ri + 1].m_dStep == list[ri].m_dStep &&
                meet(list[ri], list[ri + 1])) {
                list[ri].m_dTo = list[ri + 1].m_dTo;
                list.erase(list.begin() + long(ri + 1));
            }
        }
        s = int(ri) + 1;
    }
    if (list.empty() || list.back().IsValid())
        list.emplace_back();
}

bool Select(CLevelList& list, int& s, int row)
{
    const int n = int(list.size());
    if (row < 1 || row > n + 1)
        return false;
    if (row == s)
        return true;
    if (row == n + 1) {
        if (n == 0 || !list.back().IsValid())
            return false;
        list.emplace_back();
    }
    s = row;
    return true;
}

Totals Compute(const CLevelList& list, bool depth)
{
    Totals t;
    for (const auto& row : list) {
        if (!row.IsValid())
            continue;
        if (depth) {
            t.time += (row.m_dTo - row.m_dFrom + 1) * row.m_dStep;
            t.levels = Whole<long long>(row.m_dTo);
        } else if (row.m_dStep > 0) {
            const double k = CLevelInfo::AngleCount(row.m_dFrom, row.m_dTo, row.m_dStep);
            if (k > 0 && k < 1e15)
                t.levels += static_cast<long long>(k);
        }
    }
    return t;
}
} // namespace LevelTable
