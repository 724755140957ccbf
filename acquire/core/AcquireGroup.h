#pragma once
// Stage-position groups and their profile levels. A group names the regions
// and the profile that the positions assigned to it are measured with; the
// profile keeps one level list per method, each ending with one empty row in
// which the user types the next level.

#include "data/AcquireSheet.h"

#include <array>
#include <limits>
#include <string>
#include <vector>

class CArchive;
class CStagePosn;

using CLevelInfo = CAcquireProfile::CLevelInfo;
using CLevelList = std::vector<CLevelInfo>;

// Stores and loads one level row: first value, to, third value.
void StoreLevel(CArchive& ar, const CLevelInfo& row);
void LoadLevel(CArchive& ar, CLevelInfo& row);

class CProfileLevels : public CAcquireProfile
{
public:
    CProfileLevels();

    const CLevelList* GetLevelList(int method) const override { return &m_Lists.at(size_t(method)); }
    CLevelList* GetLevelList(int method) { return &m_Lists.at(size_t(method)); }
    int& SelectedRow(int method) { return m_iSelectedRow.at(size_t(method)); }

    // Rebuilds the method's list from the levels stored with a position:
    // consecutive levels with the same difference share one row.
    void Load(const CStagePosn* pPosn, int method);

    // The four lists, each as a count and its rows; the selected rows are not stored.
    void Store(CArchive& ar) const;
    // Replaces the four lists with the stored rows; a count that the file cannot hold throws.
    void Load(CArchive& ar);

private:
    std::array<CLevelList, nMethods> m_Lists;
    std::array<int, nMethods> m_iSelectedRow{1, 1, 1, 1};
};

class CStageGroup : public CAcquireGroup
{
public:
    explicit CStageGroup(std::string name = {}) : m_csName(std::move(name)) {}
    // Deletes nothing: the owner frees the group's own regions (never the shared wide-scan region).
    ~CStageGroup() override = default;
    CStageGroup(const CStageGroup&) = delete;
    CStageGroup& operator=(const CStageGroup&) = delete;

    const std::string& GetName() const { return m_csName; }
    const CAcquireProfile* GetProfile() const override { return &m_Profile; }
    CProfileLevels* GetProfile() { return &m_Profile; }
    const std::vector<CRegion*>* GetRegions() const override { return &m_Regions; }
    std::vector<CRegion*>* GetRegions() { return &m_Regions; }

    // Name, profile, region count and the region records.
    void Store(CArchive& ar) const;
    // Into a new group: the regions are created and owned by the caller's rules.
    void Load(CArchive& ar);

    std::string m_csName;
    std::vector<CRegion*> m_Regions;
    CProfileLevels m_Profile;
};

// The edit-row table over a level list (both profiling pages): editing
// happens in a locked top row that shows the selected row.
namespace LevelTable {
// Applies an edit of column col (0..2) of selected row s (1-based) with text;
// keeps the list ordered, fills gaps, trims overlaps, merges equal steps and
// keeps one empty row at the end. s follows the edited row. depth: "0 becomes
// 1" applies (level numbers), for angles 0 is a value like any other.
void Commit(CLevelList& list, int& s, int col, const std::string& text, bool depth);
// Moves the selection to row (1-based); row n + 1 only when the last row is
// valid, which appends an empty row. False when refused.
bool Select(CLevelList& list, int& s, int row);

// The whole part of a total or a level number, within what T holds: a
// damaged settings file may hold 1e300, which no cast may meet.
template <class T>
T Whole(double v)
{
    constexpr double hi = double(std::numeric_limits<T>::max()), lo = double(std::numeric_limits<T>::min());
    if (!(v == v))
        return 0;
    if (v >= hi)
        return std::numeric_limits<T>::max();
    if (v <= lo)
        return std::numeric_limits<T>::min();
    return static_cast<T>(v);
}

struct Totals
{
    double time = 0.0; // depth: the sum of levels x time
    long long levels = 0;
};
// Over the valid rows: depth profile levels and time, or the number of angles.
Totals Compute(const CLevelList& list, bool depth);
} // namespace LevelTable
